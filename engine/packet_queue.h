#pragma once
// A fixed ring of 200 compressed packets between the read thread (producer) and one decoder thread
// (consumer). The slots are a chain of nodes allocated once by the constructor; nothing is
// allocated afterwards. The producer may test for room and the consumer may wait for data with a
// time-out; every slot and counter change happens under one critical section.

#include <cstdint>

#include "engine/packet_disposal.h"
#include "platform/sync.h"

struct AVPacket;

class CPacketQueue {
public:
    static constexpr int PQ_CAPACITY = 200;

    // Called by the session's constructor. inputKind picks the disposal rule (see packet_disposal.h)
    // used for packets the queue still holds when it is flushed or destroyed.
    explicit CPacketQueue(int inputKind = INPUT_CONTAINER);
    // Disposes of every packet still held. Called by the session's destructor after every thread
    // that uses the queue has ended.
    ~CPacketQueue();
    CPacketQueue(const CPacketQueue&) = delete;
    CPacketQueue& operator=(const CPacketQueue&) = delete;

    // Called by the session when it has chosen its input, before any packet is put. Takes m_cs.
    void SetInputKind(int inputKind);

    // Producer (read thread). Stores the packet and returns 1; returns 0 at once, without waiting,
    // when the queue is full (or, being full, the abort event fired) or the packet is null: the
    // caller then still owns the packet. Takes m_cs; never blocks on anything else.
    int Put(AVPacket* packet);

    // Consumer (a decoder thread). Takes the oldest packet into *packet (ownership passes to the
    // caller) and returns 1. When the queue is empty it waits up to timeoutMs for a Put (0 = test
    // only) and returns 0 when none came in time, when another consumer took the packet first or
    // when the abort event fired. Takes m_cs only for the test and the take, never while waiting.
    int Get(AVPacket** packet, uint32_t timeoutMs);

    // Any thread. 1 when all 200 slots hold a packet; then it also sets the data event (the
    // consumer has work) and resets the space event (the producer must wait). Takes m_cs.
    int IsFull();

    // Any thread (the read thread during a seek, the session when closing its streams). Disposes of
    // every packet held and returns the queue to its initial state; returns 1. Takes m_cs.
    int FlushQueue();

    // Observers for tests and diagnostics: set when a slot became free / when a packet was put.
    bool IsSpaceSignalled() const { return m_hSpaceEvent.IsSignalled(); }
    bool IsDataSignalled() const { return m_hDataEvent.IsSignalled(); }

private:
    struct Node {
        AVPacket* packet = nullptr;
        Node* next = nullptr;
        int index = 0;  // 1-based slot number
    };

    Node* FindSlot(int index) const;
    bool IsEmptyLocked() const;
    void DisposeAllLocked();
    static int NextIndex(int index) { return index == PQ_CAPACITY ? 1 : index + 1; }

    Node* m_pHead = nullptr;
    Node* m_pTail = nullptr;
    int m_nCapacity = PQ_CAPACITY;
    int m_nFree = PQ_CAPACITY;
    int m_nWriteIndex = 1;  // slot the next Put fills
    int m_nReadIndex = 0;   // slot the next Get takes; 0 = nothing put since start or flush
    int m_bPrimed = 0;
    int m_nInputKind = INPUT_CONTAINER;
    platform::Event m_hSpaceEvent{platform::ResetKind::Manual, false};
    platform::Event m_hDataEvent{platform::ResetKind::Manual, false};
    // Makes a waiting Get or a Put fail. Nothing in the player sets it; it is kept so that a
    // session could cut every wait short.
    platform::Event m_hAbortEvent{platform::ResetKind::Automatic, false};
    mutable platform::CriticalSection m_cs;
};
