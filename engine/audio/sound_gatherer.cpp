#include "engine/audio/sound_gatherer.h"

#include <algorithm>

void CSoundGatherer::Start(int bytesPerSecond, int frameBytes, int blockMs, int maxBlockBytes) {
    m_bytesPerSecond = std::max(1, bytesPerSecond);
    const int frame = std::max(1, frameBytes);
    const int64_t wanted = int64_t{m_bytesPerSecond} * std::max(1, blockMs) / 1000;
    const int64_t limited = std::min<int64_t>(wanted, maxBlockBytes);
    m_blockBytes = static_cast<int>(std::max<int64_t>(frame, limited - limited % frame));
    Drop();
}

void CSoundGatherer::Add(const uint8_t* pcm, int byteCount, int64_t streamMs) {
    if (!pcm || byteCount <= 0) return;
    m_held.insert(m_held.end(), pcm, pcm + byteCount);
    m_heldRuns.push_back(HeldRun{streamMs, 0, byteCount});
}

bool CSoundGatherer::TakeBlock(Block* block) {
    if (m_blockBytes <= 0 || HeldBytes() < m_blockBytes) return false;
    MoveFront(m_blockBytes, block);
    return true;
}

bool CSoundGatherer::TakeRest(Block* block) {
    if (m_held.empty()) return false;
    MoveFront(HeldBytes(), block);
    return true;
}

void CSoundGatherer::Drop() {
    m_held.clear();
    m_heldRuns.clear();
}

// A run cut by the block's end goes on in the next block from the time of its first sample there.
void CSoundGatherer::MoveFront(int byteCount, Block* block) {
    block->pcm.assign(m_held.begin(), m_held.begin() + byteCount);
    m_held.erase(m_held.begin(), m_held.begin() + byteCount);
    block->runs.clear();
    size_t whole = 0;
    for (int left = byteCount; left > 0; ++whole) {
        HeldRun& run = m_heldRuns[whole];
        const int taken = std::min(left, run.byteCount);
        block->runs.push_back(Run{run.FirstHeldMs(m_bytesPerSecond), taken});
        if (taken < run.byteCount) {
            run.consumedBytes += taken;
            run.byteCount -= taken;
            break;
        }
        left -= taken;
    }
    m_heldRuns.erase(m_heldRuns.begin(), m_heldRuns.begin() + static_cast<long>(whole));
}
