#pragma once
// What the reader's tests share: the time their recordings start at, the midnight after it, and
// an owner for the packets the reader hands out.

#include <cstdint>
#include <memory>

#include "engine/record/record_format.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace record_tests {

// 2023-11-14 22:13:20 UTC, a plain afternoon; times of the tests count from here.
inline constexpr uint64_t kT0 = 1'700'000'000'000;
inline constexpr uint64_t kMidnight = (kT0 / record_format::kMsPerDay + 1) * record_format::kMsPerDay;

struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

}  // namespace record_tests
