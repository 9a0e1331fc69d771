#pragma once
// What the session reads a file through: the streams it plays, their packets in file order, seeks
// to a key frame, the duration. A container (through libavformat) and a recording (through the
// recording reader) each stand behind it; the session never asks which one it holds.
//
// Threads: Open on the owner's thread before the workers start; Read and SeekToKeyFrameFor on the
// read thread only; DurationMs on any thread; the rest are fixed once Open has returned.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/record/activity_finder.h"
#include "engine/recorded_clock.h"

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavutil/rational.h>
}

struct AVPacket;

// The time base of every position and clock the session counts: milliseconds.
inline constexpr AVRational kMillisecondTimeBase{1, 1000};

// One stream the session may decode. `index` is the stream_index its packets carry, -1 when the
// input has no such stream.
struct InputStream {
    int index = -1;
    const AVCodecParameters* parameters = nullptr;
    AVRational packetTimeBase = kMillisecondTimeBase;  // what the decoder is told its packets count in
    AVRational clockBase = kMillisecondTimeBase;       // what the packets' stamps count in
    // A picture size the file claims outside the stream's parameters, unchecked (a recording's
    // header may say 0x0, or more than any picture); 0 when the parameters carry it.
    int claimedWidth = 0;
    int claimedHeight = 0;
};

enum class ReadResult {
    kPacket,  // a packet was read
    kLater,   // nothing now; the input may have more a little later (a file still being written)
    kEnd,     // the end of the input, or a read error
};

class CMediaInput {
public:
    virtual ~CMediaInput() = default;

    // False with the reason (without the file's name) in *error.
    virtual bool Open(const char* path, std::string* error) = 0;
    virtual const InputStream& Video() const = 0;
    virtual const InputStream& Audio() const = 0;
    // The sound cannot be played: its packets are no longer the session's concern.
    virtual void DropAudio() = 0;
    // Ms from the first frame to the last; grows with a file that is still being written.
    virtual int64_t DurationMs() const = 0;
    // The stamp, in ms, that the file's start carries: subtracted so that positions count from 0.
    virtual int64_t OriginMs() const = 0;

    // A new packet into *packet (the caller frees it) with kPacket; null otherwise.
    virtual ReadResult Read(AVPacket** packet) = 0;
    // Moves to the key frame at or before targetMs (ms from the file's start), from which the
    // pictures up to the target can be decoded. False, position unchanged, when no seek can be made.
    virtual bool SeekToKeyFrameFor(int64_t targetMs) = 0;
    // The instant videoMs of the pictures' clock on the sound's clock.
    virtual int64_t AudioMsFor(int64_t videoMs) const { return videoMs; }
    // True when each packet's stamp is its frame's own time (no reordering, no decoder delay), so
    // frames are timed by their packets and a seek leaves no previous picture to measure from.
    virtual bool StampsFramesByPackets() const { return false; }
    // The recorder's clock at position 0; none when the file does not say when it was recorded.
    virtual RecordedClock Clock() const = 0;
    // Activity, gaps and damage as far as a background walk has found them; any thread.
    virtual ActivityTimeline Activity() const = 0;
};

// The input for path: a recording when the file says it is one, else a container. `running` is the
// session's run flag, which ends a long look-ahead during a seek.
std::unique_ptr<CMediaInput> MakeMediaInput(const char* path, const std::atomic<int>& running);
