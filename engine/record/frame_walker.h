#pragma once
// Walks the frames of a recording from frame header to frame header, past damage.
//
// Frame headers chain: each one's payload size leads to the next. A recorder that loses power or a
// disk with bad sectors leaves a stretch of zeroes or garbage in the middle of a recording, while
// the frames after it are intact. A header that does not fit its neighbours (a kind the format does
// not have with a size or time that does not fit, or a time far from the frame before it) is taken
// for damage, and the walk scans forward, byte by byte, for the next place where a run of frame
// headers chains correctly, and goes on from there. The scan is bounded, so a file of noise ends
// quickly. A header that fits but whose payload runs past the end of the file is the end of the
// data: the file was cut there, or is still being written.
//
// A walker belongs to one thread; walkers on different views of one file run side by side.

#include <cstdint>

#include "engine/record/posix_read_file.h"
#include "engine/record/record_format.h"

struct LocatedFrame {
    record_format::FrameHeader header;
    uint64_t offset = 0;  // of the frame header
};

class FrameWalker {
public:
    // Consecutive frames of one recording lie at most this far apart in time; further is a clock
    // jump when the frames after it agree with it, and damage otherwise.
    static constexpr uint64_t kNeighbourMs = 60'000;
    // Frame headers that must chain before a place found by scanning is trusted.
    static constexpr int kChainRun = 3;
    // How far one scan for the next frame goes before the data is taken to end.
    static constexpr uint64_t kResyncScanBytes = 32u << 20;
    // No camera frame comes near this; a larger size read from a header is damage.
    static constexpr uint32_t kMaxFramePayload = 64u << 20;

    explicit FrameWalker(PosixReadFile& file);

    // The next frame header to read is at offset; the frame there must chain with those after it.
    void MoveTo(uint64_t offset);
    // As MoveTo, from a frame already known to be good, whose stamp the next one is judged by.
    void MoveToKnown(uint64_t offset, uint64_t stampMs);
    uint64_t Position() const { return m_position; }
    bool HasLastStamp() const { return m_hasLastStamp; }
    uint64_t LastStampMs() const { return m_lastStampMs; }

    // The frame at the position, and the position moves past it. Every frame that fits is given,
    // those of unknown kinds and empty ones too, so the caller decides what it plays. False at the
    // end of the data; the position then stays where the data ended, so a file that has grown since
    // yields the frame there on a later call.
    bool Next(LocatedFrame* frame);

    // The first place at or after offset where frame headers chain; false when
    // there is none within kResyncScanBytes.
    bool FindChainFrom(uint64_t offset, uint64_t* found);

private:
    enum class Verdict { Accept, EndOfData, Damaged };

    Verdict Judge(const record_format::FrameHeader& frame, uint64_t offset);
    bool ChainHolds(uint64_t offset);
    bool ReadHeader(uint64_t offset, record_format::FrameHeader* frame);
    bool PayloadFits(uint64_t offset, uint32_t payloadSize);

    PosixReadFile& m_file;
    uint64_t m_position = record_format::kFileHeaderSize;
    uint64_t m_knownSize = 0;  // bytes of the file known to exist
    bool m_sizeFresh = false;  // m_knownSize was asked of the file during this call
    bool m_hasLastStamp = false;
    uint64_t m_lastStampMs = 0;  // of the last frame of a known kind
};

bool IsKnownKind(uint8_t kind);
// A frame whose payload goes to a decoder: a known kind, and not empty.
bool IsPlayableFrame(const record_format::FrameHeader& frame);

// Recorders stamp wall-clock time, compared by time of day.
// True when two stamps lie within FrameWalker::kNeighbourMs of each other.
bool StampsAreNeighbours(uint64_t aMs, uint64_t bMs);
// Steps from an unwrapped time to the time of day of stamp by the shorter way round the clock, so
// a recording that runs over midnight keeps rising instead of falling back by a day.
int64_t UnwrapTimeOfDay(int64_t previousMs, uint64_t stampMs);

// The last complete frame of the file, found by scanning back from its end for frame headers that
// chain up to the end (or to a last frame cut short). False when the end holds no such chain.
bool FindLastCompleteFrame(PosixReadFile& file, LocatedFrame* last);
