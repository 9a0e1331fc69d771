#pragma once
// The pauses the video and the audio worker share: how long each waits for a packet, and how
// long it rests when the reader has finished or the queue has run dry, so neither spins.

#include <cstdint>

inline constexpr uint32_t kPacketWaitMs = 100;
inline constexpr uint32_t kReaderDonePauseMs = 20;
inline constexpr uint32_t kStarvedPauseMs = 10;
