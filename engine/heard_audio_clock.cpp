#include "engine/heard_audio_clock.h"

void CHeardAudioClock::Start(uint32_t bytesPerSecond) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blocks.clear();
    m_bytesWritten = 0;
    m_bytesPerSecond = bytesPerSecond;
}

void CHeardAudioClock::OnBlockWritten(int64_t streamMs, int64_t byteCount) {
    if (byteCount <= 0) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blocks.push_back(Block{m_bytesWritten, byteCount, streamMs});
    m_bytesWritten += byteCount;
    if (m_blocks.size() > kKeptBlocks) m_blocks.pop_front();
}

void CHeardAudioClock::OnOutputReset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blocks.clear();
}

int64_t CHeardAudioClock::StreamMsAt(int64_t playedMs) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (playedMs < 0 || m_bytesPerSecond == 0 || m_blocks.empty()) return -1;
    const int64_t playedByte = playedMs * m_bytesPerSecond / 1000;
    // Played beyond everything written (the output ran dry): the end of the last block is heard.
    const Block* heard = &m_blocks.back();
    int64_t offsetBytes = heard->byteCount;
    for (const Block& block : m_blocks) {
        if (playedByte < block.firstByte + block.byteCount) {
            heard = &block;
            offsetBytes = playedByte > block.firstByte ? playedByte - block.firstByte : 0;
            break;
        }
    }
    return heard->streamMs + offsetBytes * 1000 / m_bytesPerSecond;
}
