#include "engine/packet_queue.h"

#include <chrono>

extern "C" {
#include <libavcodec/packet.h>
}

CPacketQueue::~CPacketQueue() { FreeAllLocked(); }  // no other thread can reach the queue any more

int CPacketQueue::Put(AVPacket* packet, int serial) {
    if (!packet) return 0;  // a null packet would read as an empty slot
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bAborted || m_nCount == PQ_CAPACITY) return 0;
        m_slots[(m_nFirst + m_nCount) % PQ_CAPACITY] = Slot{packet, serial};
        ++m_nCount;
    }
    m_hasPacket.notify_one();
    return 1;
}

bool CPacketQueue::WaitForRoom(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_hasRoom.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [this] { return m_bAborted || m_nCount < PQ_CAPACITY; });
    return !m_bAborted && m_nCount < PQ_CAPACITY;
}

int CPacketQueue::Get(AVPacket** packet, uint32_t timeoutMs, int* serial) {
    if (!packet) return 0;
    *packet = nullptr;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_hasPacket.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_bAborted || m_nCount > 0; });
        if (m_bAborted || m_nCount == 0) return 0;
        Slot& slot = m_slots[m_nFirst];
        *packet = slot.packet;
        if (serial) *serial = slot.serial;
        slot = Slot{};
        m_nFirst = (m_nFirst + 1) % PQ_CAPACITY;
        --m_nCount;
    }
    m_hasRoom.notify_one();
    return 1;
}

int CPacketQueue::IsFull() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nCount == PQ_CAPACITY ? 1 : 0;
}

int CPacketQueue::FlushQueue() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        FreeAllLocked();
    }
    m_hasRoom.notify_all();
    return 1;
}

void CPacketQueue::Abort() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bAborted = true;
    }
    m_hasPacket.notify_all();
    m_hasRoom.notify_all();
}

void CPacketQueue::FreeAllLocked() {
    for (Slot& slot : m_slots) {
        av_packet_free(&slot.packet);
        slot = Slot{};
    }
    m_nFirst = 0;
    m_nCount = 0;
}
