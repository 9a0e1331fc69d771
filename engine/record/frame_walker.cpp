#include "engine/record/frame_walker.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

using namespace record_format;

namespace {

// The bytes a scan reads at a time, beside the header that may straddle the block's end. Most
// damage is short, so a small block keeps the usual scan cheap.
constexpr size_t kScanBlockBytes = 16 * 1024;

// A cheap first look at 24 bytes, before the chain behind them is followed.
bool MayStartFrame(const uint8_t* bytes) {
    if (!IsKnownKind(bytes[3])) return false;  // the kind is the top byte of the first word
    const uint32_t payloadSize = LoadLe32(bytes + 4);
    return payloadSize > 0 && payloadSize <= FrameWalker::kMaxFramePayload;
}

}  // namespace

bool IsKnownKind(uint8_t kind) { return kind == kKindAudio || kind == kKindVideoKey || kind == kKindVideoDelta; }

// An empty payload would reach the decoder as a zero-size packet, which it takes as the end of the
// stream; frames of an unknown kind belong to no stream.
bool IsPlayableFrame(const FrameHeader& frame) { return IsKnownKind(frame.kind) && frame.payloadSize > 0; }

bool StampsAreNeighbours(uint64_t aMs, uint64_t bMs) {
    const uint64_t a = aMs % kMsPerDay, b = bMs % kMsPerDay;
    const uint64_t apart = a > b ? a - b : b - a;
    return std::min(apart, kMsPerDay - apart) <= FrameWalker::kNeighbourMs;
}

int64_t UnwrapTimeOfDay(int64_t previousMs, uint64_t stampMs) {
    const int64_t day = int64_t(kMsPerDay);
    int64_t previousTimeOfDay = ((previousMs % day) + day) % day;
    int64_t step = int64_t(stampMs % kMsPerDay) - previousTimeOfDay;
    if (step > day / 2) step -= day;
    if (step <= -day / 2) step += day;
    return previousMs + step;
}

namespace {

// What scanning back has learnt of the frame header at one offset of the window.
struct EndLink {
    uint64_t stampMs;
    int links;              // frame headers from here that chain to the end
    uint64_t lastComplete;  // offset of the last complete frame of that chain
    bool cutShort;          // this frame's payload runs past the end of the file
};

// One window of the file's end, from start to size: each place that may start a frame, from the
// last to the first, is linked to the place its payload leads to.
bool FindChainToEnd(const std::vector<uint8_t>& bytes, uint64_t start, uint64_t size, LocatedFrame* last) {
    std::unordered_map<uint64_t, EndLink> links;
    const EndLink* best = nullptr;
    if (bytes.size() < kFrameHeaderSize) return false;
    for (size_t i = bytes.size() - kFrameHeaderSize;; --i) {
        if (MayStartFrame(bytes.data() + i)) {
            const FrameHeader frame = DecodeFrameHeader(bytes.data() + i);
            const uint64_t offset = start + i, next = offset + kFrameHeaderSize + frame.payloadSize;
            EndLink link{frame.timeMs, 0, offset, next > size};
            if (next + kFrameHeaderSize > size) {
                link.links = 1;  // ends the file, maybe with part of one more header after it
            } else if (auto found = links.find(next); found != links.end() &&
                                                      StampsAreNeighbours(frame.timeMs, found->second.stampMs)) {
                link.links = std::min(found->second.links + 1, FrameWalker::kChainRun);
                link.lastComplete = found->second.cutShort ? offset : found->second.lastComplete;
            }
            if (link.links > 0) {
                const EndLink& stored = links[offset] = link;
                if (link.links >= FrameWalker::kChainRun && !best) best = &stored;
            }
        }
        if (i == 0) break;
    }
    if (!best) return false;
    last->offset = best->lastComplete;
    last->header = DecodeFrameHeader(bytes.data() + (best->lastComplete - start));
    return true;
}

}  // namespace

bool FindLastCompleteFrame(PosixReadFile& file, LocatedFrame* last) {
    const uint64_t size = file.Size();
    for (uint64_t window = 256u << 10;; window *= 2) {
        const uint64_t start = size > kFileHeaderSize + window ? size - window : kFileHeaderSize;
        if (start >= size) return false;
        std::vector<uint8_t> bytes(size - start);
        if (file.ReadAt(start, bytes.data(), bytes.size()) != bytes.size()) return false;
        if (FindChainToEnd(bytes, start, size, last)) return true;
        if (start == kFileHeaderSize || window >= FrameWalker::kResyncScanBytes) return false;
    }
}

FrameWalker::FrameWalker(PosixReadFile& file) : m_file(file) {}

void FrameWalker::MoveTo(uint64_t offset) {
    m_position = offset;
    m_hasLastStamp = false;
}

void FrameWalker::MoveToKnown(uint64_t offset, uint64_t stampMs) {
    m_position = offset;
    m_hasLastStamp = true;
    m_lastStampMs = stampMs;
}

bool FrameWalker::ReadHeader(uint64_t offset, FrameHeader* frame) {
    uint8_t bytes[kFrameHeaderSize];
    if (m_file.ReadAt(offset, bytes, sizeof bytes) != sizeof bytes) return false;
    *frame = DecodeFrameHeader(bytes);
    return true;
}

// The file's size is asked again at most once a call, however many headers a scan weighs.
bool FrameWalker::PayloadFits(uint64_t offset, uint32_t payloadSize) {
    const uint64_t end = offset + kFrameHeaderSize + payloadSize;
    if (end > m_knownSize && !m_sizeFresh) {
        m_knownSize = m_file.Size();
        m_sizeFresh = true;
    }
    return end <= m_knownSize;
}

bool FrameWalker::Next(LocatedFrame* located) {
    m_sizeFresh = false;
    for (;;) {
        FrameHeader frame;
        if (!ReadHeader(m_position, &frame)) return false;
        switch (Judge(frame, m_position)) {
            case Verdict::Accept:
                located->header = frame;
                located->offset = m_position;
                m_position += kFrameHeaderSize + uint64_t(frame.payloadSize);
                if (IsKnownKind(frame.kind)) {
                    m_hasLastStamp = true;
                    m_lastStampMs = frame.timeMs;
                }
                return true;
            case Verdict::EndOfData:
                return false;
            case Verdict::Damaged: {
                uint64_t found = 0;
                if (!FindChainFrom(m_position + 1, &found)) return false;
                MoveTo(found);
                break;
            }
        }
    }
}

FrameWalker::Verdict FrameWalker::Judge(const FrameHeader& frame, uint64_t offset) {
    const bool known = IsKnownKind(frame.kind);
    const bool fits = PayloadFits(offset, frame.payloadSize);
    if (!m_hasLastStamp) {
        // At the start or after a jump nothing vouches for this header but those after it.
        if (known && !fits && frame.payloadSize <= kMaxFramePayload) return Verdict::EndOfData;
        return ChainHolds(offset) ? Verdict::Accept : Verdict::Damaged;
    }
    const bool near = StampsAreNeighbours(m_lastStampMs, frame.timeMs);
    if (known && near) return fits ? Verdict::Accept : Verdict::EndOfData;
    // A frame of a kind the player does not know is stepped over, as long as it fits.
    if (!known) return near && fits ? Verdict::Accept : Verdict::Damaged;
    // The recorder's clock jumped when the frames after this one agree with it.
    return ChainHolds(offset) ? Verdict::Accept : Verdict::Damaged;
}

// True when kChainRun headers from offset chain with sizes and times that fit, or fewer do and
// then the data ends (a recording's last frames, or a tail cut in the middle of a frame).
bool FrameWalker::ChainHolds(uint64_t offset) {
    uint64_t at = offset;
    uint64_t lastStampMs = 0;
    for (int links = 0; links < kChainRun; ++links) {
        FrameHeader frame;
        if (!ReadHeader(at, &frame)) return links > 0;
        const bool known = IsKnownKind(frame.kind);
        // The first must be a frame to play; those after it may be empty or of another kind, as
        // long as they fit.
        if (links == 0 && (!known || frame.payloadSize == 0)) return false;
        if (frame.payloadSize > kMaxFramePayload) return false;
        if (links > 0 && !StampsAreNeighbours(lastStampMs, frame.timeMs)) return false;
        if (!PayloadFits(at, frame.payloadSize)) return links > 0 && known;
        lastStampMs = frame.timeMs;
        at += kFrameHeaderSize + uint64_t(frame.payloadSize);
    }
    return true;
}

bool FrameWalker::FindChainFrom(uint64_t offset, uint64_t* found) {
    const uint64_t size = m_knownSize = m_file.Size();
    m_sizeFresh = true;
    const uint64_t limit = std::min(size, offset + kResyncScanBytes);
    std::array<uint8_t, kScanBlockBytes + kFrameHeaderSize> block;
    for (uint64_t start = offset; start + kFrameHeaderSize <= limit; start += kScanBlockBytes) {
        const size_t got = m_file.ReadAt(start, block.data(), block.size());
        for (size_t i = 0; i < kScanBlockBytes && i + kFrameHeaderSize <= got && start + i < limit; ++i) {
            if (!MayStartFrame(block.data() + i) || !ChainHolds(start + i)) continue;
            *found = start + i;
            return true;
        }
        if (got < block.size()) break;
    }
    return false;
}
