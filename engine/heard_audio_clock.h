#pragma once
// Maps the sound output's playback clock back onto the stream's clock: every block of PCM handed
// to the output is remembered with the stream time of its first sample, so that "n ms have been
// heard since the output opened" can be answered as "the sound heard now belongs to stream time t".
// Written by the audio thread, read by any thread; one small lock of its own, never held while
// another engine lock is taken.

#include <cstdint>
#include <deque>
#include <mutex>

class CHeardAudioClock {
public:
    // Bytes per second of the PCM written (the output format's average rate); 0 forgets everything.
    void Start(uint32_t bytesPerSecond);

    // After a block was accepted by the output: its size and the stream time of its first sample.
    void OnBlockWritten(int64_t streamMs, int64_t byteCount);

    // The output dropped what it held unheard and its clock jumped to the end of everything
    // written: nothing is known to be heard until the next block.
    void OnOutputReset();

    // The stream time in ms of the sound being heard when playedMs ms of PCM have been played since
    // the output opened; -1 when nothing is known (no block written, no rate, playedMs negative).
    int64_t StreamMsAt(int64_t playedMs) const;

private:
    struct Block {
        int64_t firstByte;  // offset of the block in everything written since Start
        int64_t byteCount;
        int64_t streamMs;   // stream time of its first sample
    };
    // Far more than the output can hold unplayed, even in runs of 1 ms; older ones have long been heard.
    static constexpr size_t kKeptBlocks = 2048;

    mutable std::mutex m_mutex;
    std::deque<Block> m_blocks;
    int64_t m_bytesWritten = 0;
    uint32_t m_bytesPerSecond = 0;
};
