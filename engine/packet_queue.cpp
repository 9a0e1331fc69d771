#include "engine/packet_queue.h"

CPacketQueue::CPacketQueue(int inputKind) : m_nInputKind(inputKind) {
    m_pHead = new Node{nullptr, nullptr, 1};
    m_pTail = new Node{nullptr, nullptr, PQ_CAPACITY};
    Node* last = m_pHead;
    for (int i = 2; i < PQ_CAPACITY; ++i) {
        last->next = new Node{nullptr, nullptr, i};
        last = last->next;
    }
    last->next = m_pTail;
}

CPacketQueue::~CPacketQueue() {
    DisposeAllLocked();  // no other thread can reach the queue any more
    while (m_pHead) {
        Node* next = m_pHead->next;
        delete m_pHead;
        m_pHead = next;
    }
}

void CPacketQueue::SetInputKind(int inputKind) {
    platform::CsGuard lock(m_cs);
    m_nInputKind = inputKind;
}

CPacketQueue::Node* CPacketQueue::FindSlot(int index) const {
    Node* node = m_pHead;
    for (int steps = 0; node && steps < m_nCapacity; ++steps, node = node->next) {
        if (node->index == index) return node;
    }
    return nullptr;
}

bool CPacketQueue::IsEmptyLocked() const { return m_nReadIndex == 0 || m_nFree == m_nCapacity; }

int CPacketQueue::Put(AVPacket* packet) {
    if (!packet) return 0;  // a null packet would read as an empty slot
    bool full;
    {
        // The fullness test and the reset of the space event happen under the lock, so a Get that
        // frees a slot in between cannot have its signal wiped out.
        platform::CsGuard lock(m_cs);
        full = m_nFree < 1;
        if (full) m_hSpaceEvent.Reset();
    }
    if (full && platform::WaitForEither(m_hSpaceEvent, m_hAbortEvent, 0) != platform::WaitResult::First) {
        return 0;
    }

    platform::CsGuard lock(m_cs);
    if (m_nFree < 1) return 0;
    FindSlot(m_nWriteIndex)->packet = packet;
    m_nWriteIndex = NextIndex(m_nWriteIndex);
    if (!m_bPrimed) {
        m_bPrimed = 1;
        m_nReadIndex = 1;
    }
    --m_nFree;
    m_hDataEvent.Set();
    return 1;
}

int CPacketQueue::Get(AVPacket** packet, uint32_t timeoutMs) {
    if (!packet) return 0;
    *packet = nullptr;
    bool empty;
    {
        // Testing for emptiness and resetting the data event under the lock closes the window in
        // which a Put could set the event just before this call wipes it and then sleeps through
        // the whole time-out with a packet waiting.
        platform::CsGuard lock(m_cs);
        empty = IsEmptyLocked();
        if (empty) m_hDataEvent.Reset();
    }
    if (empty) {
        if (platform::WaitForEither(m_hDataEvent, m_hAbortEvent, timeoutMs) != platform::WaitResult::First) {
            return 0;
        }
    }

    platform::CsGuard lock(m_cs);
    if (IsEmptyLocked()) return 0;  // a second consumer was quicker
    Node* slot = FindSlot(m_nReadIndex);
    *packet = slot->packet;
    slot->packet = nullptr;
    m_nReadIndex = NextIndex(m_nReadIndex);
    ++m_nFree;
    m_hSpaceEvent.Set();
    return 1;
}

int CPacketQueue::IsFull() {
    platform::CsGuard lock(m_cs);
    if (m_nReadIndex != m_nWriteIndex) return 0;
    const Node* slot = FindSlot(m_nReadIndex);
    if (!slot || !slot->packet) return 0;  // indexes meet on an empty queue too
    m_hDataEvent.Set();
    m_hSpaceEvent.Reset();
    return 1;
}

int CPacketQueue::FlushQueue() {
    platform::CsGuard lock(m_cs);
    DisposeAllLocked();
    m_nReadIndex = 0;
    m_nWriteIndex = 1;
    m_nFree = m_nCapacity;
    m_bPrimed = 0;
    m_hSpaceEvent.Set();
    m_hDataEvent.Reset();
    return 1;
}

void CPacketQueue::DisposeAllLocked() {
    Node* node = m_pHead;
    for (int steps = 0; node && steps < m_nCapacity; ++steps, node = node->next) {
        DisposePacket(node->packet, m_nInputKind);
        node->packet = nullptr;
    }
}
