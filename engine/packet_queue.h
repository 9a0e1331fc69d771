#pragma once
// A fixed ring of 200 compressed packets between the read thread (producer) and one decoder thread
// (consumer). Each packet is kept with the seek serial it was read under, so a consumer drops what
// came from before a seek by comparing numbers. Nothing is allocated after construction.
//
// Threads: Put and WaitForRoom on the read thread; Get on the decoder threads (the video thread
// also takes from the audio queue); IsFull, FlushQueue and Abort on any thread. Every entry
// point takes m_mutex, and only m_mutex; the waits release it while they sleep.

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>

struct AVPacket;

class CPacketQueue {
public:
    static constexpr int PQ_CAPACITY = 200;

    CPacketQueue() = default;
    // Frees every packet still held. Called by the session's destructor after every thread that
    // uses the queue has ended.
    ~CPacketQueue();
    CPacketQueue(const CPacketQueue&) = delete;
    CPacketQueue& operator=(const CPacketQueue&) = delete;

    // Read thread. Stores the packet with its seek serial and returns 1; returns 0 at once, without
    // waiting, when the queue is full or aborted or the packet is null: the caller then still owns
    // the packet.
    int Put(AVPacket* packet, int serial = 0);

    // Read thread. Waits up to timeoutMs for a free slot; true when there is one, false on time-out
    // or when the queue is aborted.
    bool WaitForRoom(uint32_t timeoutMs);

    // Decoder threads. Takes the oldest packet into *packet (ownership passes to the caller) and its
    // serial into *serial when asked, and returns 1. When the queue is empty it waits up to
    // timeoutMs for a Put (0 = test only) and returns 0 when none came in time, when another
    // consumer took the packet first or when the queue is aborted.
    int Get(AVPacket** packet, uint32_t timeoutMs, int* serial = nullptr);

    // Any thread. 1 when all 200 slots hold a packet.
    int IsFull();

    // Any thread (the read thread during a seek, the session when closing). Frees every packet held
    // and returns the queue to its initial state; returns 1. An abort stays in force.
    int FlushQueue();

    // Any thread (the session when it stops). Wakes every waiter; from then on Put, Get and
    // WaitForRoom fail at once.
    void Abort();

private:
    struct Slot {
        AVPacket* packet = nullptr;
        int serial = 0;
    };

    void FreeAllLocked();

    // Guarded by m_mutex.
    std::array<Slot, PQ_CAPACITY> m_slots{};
    int m_nFirst = 0;  // the slot the next Get takes
    int m_nCount = 0;  // packets held
    bool m_bAborted = false;
    std::mutex m_mutex;
    std::condition_variable m_hasPacket;
    std::condition_variable m_hasRoom;
};
