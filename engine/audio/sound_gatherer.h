#pragma once
// Gathers decoded PCM into blocks of one steady length before they go to the sound output.
// Decoders hand out frames of anything from 1 ms (PCM muxed in tiny packets) to 200 ms; the
// output's ring has a fixed number of blocks, so blocks of 2 ms would leave it only 10 ms ahead
// of the loudspeaker and every refill would come too late. Every block but the last of a file
// has the same length; the rest is handed out at the end (TakeRest) or dropped (seek, stop).
//
// Each block keeps the stream time of every run of samples in it, so the clock of the sound
// heard counts samples and stays exact when stamps jump between frames.
//
// Threads: the session's audio thread only; Drop also from the owner once that thread has ended.

#include <cstdint>
#include <vector>

class CSoundGatherer {
public:
    // A run of samples in a block that follow each other in stream time.
    struct Run {
        int64_t streamMs = 0;  // stream time of its first sample, ms
        int byteCount = 0;
    };
    struct Block {
        std::vector<uint8_t> pcm;
        std::vector<Run> runs;  // in order, their byte counts adding up to pcm.size()
    };

    // bytesPerSecond and frameBytes (one sample of every channel) describe the PCM; blocks last
    // blockMs but never exceed maxBlockBytes, and always hold whole sample frames (one at least).
    // Drops anything held.
    void Start(int bytesPerSecond, int frameBytes, int blockMs, int maxBlockBytes);

    // Appends byteCount bytes (whole sample frames) whose first sample is at streamMs.
    void Add(const uint8_t* pcm, int byteCount, int64_t streamMs);

    // Moves the next full block into *block (its buffers are reused); false when none is full.
    bool TakeBlock(Block* block);
    // Moves what is held, shorter than a block, into *block: the end of the sound. False when
    // nothing is held.
    bool TakeRest(Block* block);
    // Forgets what is held: the sound of a place left by a seek or a stop.
    void Drop();

    int BlockBytes() const { return m_blockBytes; }
    int HeldBytes() const { return static_cast<int>(m_held.size()); }

private:
    // A frame's samples not yet handed out: the first `consumedBytes` of it went out in earlier
    // blocks, so that a frame cut by several blocks is timed from its own stamp each time.
    struct HeldRun {
        int64_t streamMs = 0;
        int64_t consumedBytes = 0;
        int byteCount = 0;  // still held
        int64_t FirstHeldMs(int bytesPerSecond) const { return streamMs + consumedBytes * 1000 / bytesPerSecond; }
    };

    void MoveFront(int byteCount, Block* block);

    int m_bytesPerSecond = 0;
    int m_blockBytes = 0;
    std::vector<uint8_t> m_held;
    std::vector<HeldRun> m_heldRuns;
};
