#include "tests/corpus/damage.h"

#include <algorithm>
#include <limits>

#include "engine/record/record_format.h"

namespace rf = record_format;

namespace {

std::vector<size_t> FrameOffsets(const std::vector<uint8_t>& bytes) {
    std::vector<size_t> offsets;
    size_t at = rf::kFileHeaderSize;
    while (at + rf::kFrameHeaderSize <= bytes.size()) {
        offsets.push_back(at);
        at += rf::kFrameHeaderSize + rf::LoadLe32(&bytes[at + 4]);
    }
    return offsets;
}

bool LooksLikeRecording(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= rf::kFileHeaderSize && rf::LoadLe32(bytes.data()) == rf::kMagic;
}

}  // namespace

Damager::Damager(std::vector<uint8_t> good, uint32_t seed)
    : m_good(std::move(good)), m_recording(LooksLikeRecording(m_good)), m_random(seed) {
    if (m_recording) m_frameOffsets = FrameOffsets(m_good);
    if (m_frameOffsets.empty()) m_recording = false;
}

DamagedFile Damager::Next() {
    const int turn = m_turn++;
    if (m_recording && turn % 2 == 1) return RecordingDamage(turn / 2);
    return AnyFileDamage(m_recording ? turn / 2 : turn);
}

DamagedFile Damager::AnyFileDamage(int turn) {
    switch (turn % 6) {
        case 0: return FlipBytes(1);
        case 1: return FlipBytes(8 + static_cast<int>(Pick(120)));
        case 2: return ZeroRange();
        case 3: return RepeatRange();
        case 4: return CutAtFraction();
        default: return FlipBytes(static_cast<int>(std::max<size_t>(m_good.size() / 200, 2)));
    }
}

DamagedFile Damager::RecordingDamage(int turn) {
    switch (turn % 5) {
        case 0: return CutAtFrameBoundary();
        case 1: return FrameSizeNearLimit();
        case 2: return AbsurdHeader();
        case 3: return OddTimeStamps();
        default: return OddFrameKind();
    }
}

size_t Damager::Pick(size_t below) {
    if (below == 0) return 0;
    return std::uniform_int_distribution<size_t>(0, below - 1)(m_random);
}

size_t Damager::PickFrame() { return Pick(m_frameOffsets.size()); }

uint32_t Damager::PickFrom(const std::vector<uint32_t>& values) { return values[Pick(values.size())]; }

DamagedFile Damager::FlipBytes(int count) {
    DamagedFile out{"flip" + std::to_string(count), m_good};
    for (int i = 0; i < count && !out.bytes.empty(); ++i) {
        out.bytes[Pick(out.bytes.size())] ^= static_cast<uint8_t>(1 + Pick(255));
    }
    return out;
}

DamagedFile Damager::ZeroRange() {
    DamagedFile out{"zeroed", m_good};
    const size_t start = Pick(out.bytes.size());
    const size_t length = std::min(out.bytes.size() - start, 1 + Pick(16384));
    std::fill_n(out.bytes.begin() + static_cast<long>(start), length, 0);
    return out;
}

DamagedFile Damager::RepeatRange() {
    // A stretch written twice, as a recorder that retried a write leaves it.
    DamagedFile out{"repeated", m_good};
    const size_t start = Pick(m_good.size());
    const size_t length = std::min(m_good.size() - start, 1 + Pick(8192));
    const Bytes piece(m_good.begin() + static_cast<long>(start),
                      m_good.begin() + static_cast<long>(start + length));
    out.bytes.insert(out.bytes.begin() + static_cast<long>(start + length), piece.begin(), piece.end());
    return out;
}

DamagedFile Damager::CutAtFraction() {
    static const double kFractions[] = {0.0, 0.001, 0.01, 0.1, 0.5, 0.9, 0.999};
    const double fraction = kFractions[Pick(std::size(kFractions))];
    const size_t keep = static_cast<size_t>(static_cast<double>(m_good.size()) * fraction);
    return {"cut" + std::to_string(keep), Bytes(m_good.begin(), m_good.begin() + static_cast<long>(keep))};
}

DamagedFile Damager::CutAtFrameBoundary() {
    // Inside the file header, at a frame header, inside it, at its payload, inside the payload.
    const size_t frame = m_frameOffsets[PickFrame()];
    const size_t payload = rf::LoadLe32(&m_good[frame + 4]);
    const struct {
        const char* name;
        size_t at;
    } cuts[] = {
        {"cut-file-header", 1 + Pick(rf::kFileHeaderSize - 1)},
        {"cut-at-frame", frame},
        {"cut-in-frame-header", frame + 1 + Pick(rf::kFrameHeaderSize - 1)},
        {"cut-at-payload", frame + rf::kFrameHeaderSize},
        {"cut-in-payload", frame + rf::kFrameHeaderSize + Pick(payload)},
    };
    const auto& cut = cuts[Pick(std::size(cuts))];
    const size_t keep = std::min(cut.at, m_good.size());
    return {cut.name, Bytes(m_good.begin(), m_good.begin() + static_cast<long>(keep))};
}

DamagedFile Damager::FrameSizeNearLimit() {
    DamagedFile out{"frame-size", m_good};
    const size_t frame = m_frameOffsets[PickFrame()];
    const uint32_t rest = static_cast<uint32_t>(m_good.size() - frame - rf::kFrameHeaderSize);
    const uint32_t size = PickFrom({0u, 1u, rest, rest + 1, rest - 1, 0x7FFFFFFFu, 0xFFFFFFFFu,
                                    0x80000000u, 64u << 20, 0xFFFFFFE8u});
    rf::StoreLe32(&out.bytes[frame + 4], size);
    out.kind += std::to_string(size);
    return out;
}

DamagedFile Damager::AbsurdHeader() {
    DamagedFile out{"header", m_good};
    static const struct {
        const char* name;
        size_t offset;
    } kFields[] = {{"-flags", 4}, {"-vcodec", 0x10}, {"-width", 0x14}, {"-height", 0x18},
                   {"-acodec", 0x1C}, {"-rate", 0x20}};
    const auto& field = kFields[Pick(std::size(kFields))];
    const uint32_t value = PickFrom({0u, 1u, 2u, 3u, 7u, 65535u, 65536u, 0x7FFFFFFFu, 0x80000000u,
                                     0xFFFFFFFFu, rf::kAudioPresentFlag, 7999999u});
    rf::StoreLe32(&out.bytes[field.offset], value);
    out.kind += std::string(field.name) + std::to_string(value);
    return out;
}

DamagedFile Damager::OddTimeStamps() {
    // A clock set back or forward, stamps of zero or of the end of time, from one frame on.
    DamagedFile out{"stamps", m_good};
    const size_t first = PickFrame();
    const uint64_t shift = PickFrom({0u, 1u, 1000u, 3600000u, 86400000u, 0xFFFFFFFFu});
    const int how = static_cast<int>(Pick(4));
    static const char* const kHow[] = {"-forward", "-back", "-zero", "-max"};
    for (size_t i = first; i < m_frameOffsets.size(); ++i) {
        uint8_t* stamp = &out.bytes[m_frameOffsets[i] + 8];
        const uint64_t now = rf::LoadLe64(stamp);
        const uint64_t values[] = {now + shift, now - shift, 0, std::numeric_limits<uint64_t>::max() - i};
        rf::StoreLe64(stamp, values[how]);
    }
    out.kind += std::string(kHow[how]) + std::to_string(shift);
    return out;
}

DamagedFile Damager::OddFrameKind() {
    DamagedFile out{"kind", m_good};
    const uint8_t kind = static_cast<uint8_t>(PickFrom({0u, 1u, 2u, 3u, 0x7Fu, 0xFFu}));
    for (int i = 0; i < 3; ++i) out.bytes[m_frameOffsets[PickFrame()] + 3] = kind;
    out.kind += std::to_string(kind);
    return out;
}
