#include "platform/sync.h"

#include <algorithm>
#include <chrono>

namespace platform {

// One per blocked wait; registered on every event the wait watches, so that a Set on any of
// them wakes it.
struct EventWaiter {
    std::mutex mutex;
    std::condition_variable woken;
    bool notified = false;

    void Notify() {
        std::lock_guard<std::mutex> lock(mutex);
        notified = true;
        woken.notify_one();
    }
};

namespace {

using Clock = std::chrono::steady_clock;

// Blocks until the waiter is notified or the deadline passes; false on time-out.
bool Block(EventWaiter& waiter, uint32_t timeoutMs, Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(waiter.mutex);
    bool notified = true;
    if (timeoutMs == kInfinite)
        waiter.woken.wait(lock, [&] { return waiter.notified; });
    else
        notified = waiter.woken.wait_until(lock, deadline, [&] { return waiter.notified; });
    waiter.notified = false;
    return notified;
}

Clock::time_point DeadlineAfter(uint32_t timeoutMs) {
    return Clock::now() + std::chrono::milliseconds(timeoutMs == kInfinite ? 0 : timeoutMs);
}

// Registers a waiter on the watched events for the length of one wait. Registration comes
// before the states are tested, so a Set that lands between the test and the block still wakes it.
class WaitScope {
public:
    WaitScope(Event* const* events, size_t count) : m_events(events), m_count(count) {
        for (size_t i = 0; i < m_count; ++i) detail::EventWaitList::Add(*m_events[i], &waiter);
    }
    ~WaitScope() {
        for (size_t i = 0; i < m_count; ++i) detail::EventWaitList::Remove(*m_events[i], &waiter);
    }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

    EventWaiter waiter;

private:
    Event* const* m_events;
    size_t m_count;
};

}  // namespace

Event::Event(ResetKind kind, bool initiallySignalled) : m_kind(kind), m_signalled(initiallySignalled) {}

Event::~Event() = default;

void Event::Set() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = true;
    for (EventWaiter* waiter : m_waiters) waiter->Notify();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

bool Event::IsSignalled() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_signalled;
}

bool Event::TryConsumeLocked() {
    if (!m_signalled) return false;
    if (m_kind == ResetKind::Automatic) m_signalled = false;
    return true;
}

void detail::EventWaitList::Add(Event& event, EventWaiter* waiter) { event.AddWaiter(waiter); }
void detail::EventWaitList::Remove(Event& event, EventWaiter* waiter) { event.RemoveWaiter(waiter); }

void Event::AddWaiter(EventWaiter* waiter) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waiters.push_back(waiter);
}

void Event::RemoveWaiter(EventWaiter* waiter) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waiters.erase(std::remove(m_waiters.begin(), m_waiters.end(), waiter), m_waiters.end());
}

// A single event is the pair (this, this); the second slot then never wins.
bool Event::Wait(uint32_t timeoutMs) {
    return WaitForEither(*this, *this, timeoutMs) != WaitResult::Timeout;
}

WaitResult WaitForEither(Event& first, Event& second, uint32_t timeoutMs) {
    const Clock::time_point deadline = DeadlineAfter(timeoutMs);
    Event* events[2] = {&first, &second};
    const size_t count = (&first == &second) ? 1 : 2;
    WaitScope scope(events, count);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(first.m_mutex);
            if (first.TryConsumeLocked()) return WaitResult::First;
        }
        if (count == 2) {
            std::lock_guard<std::mutex> lock(second.m_mutex);
            if (second.TryConsumeLocked()) return WaitResult::Second;
        }
        if (timeoutMs == 0 || !Block(scope.waiter, timeoutMs, deadline)) {
            if (timeoutMs == 0 || Clock::now() >= deadline) return WaitResult::Timeout;
        }
        // Woken, or another waiter took an automatic-reset signal first: test again.
    }
}

Thread::~Thread() { Join(kInfinite); }

bool Thread::Start(std::function<void()> body) {
    if (m_thread.joinable()) return false;
    m_finished = std::make_shared<Event>(ResetKind::Manual, false);
    m_thread = std::thread([body = std::move(body), finished = m_finished] {
        body();
        finished->Set();
    });
    return true;
}

bool Thread::Join(uint32_t timeoutMs) {
    if (!m_thread.joinable()) return true;
    if (!m_finished->Wait(timeoutMs)) return false;
    m_thread.join();
    return true;
}

bool JoinAll(std::initializer_list<Thread*> threads, uint32_t timeoutMs) {
    const Clock::time_point deadline = DeadlineAfter(timeoutMs);
    bool all = true;
    for (Thread* thread : threads) {
        uint32_t left = timeoutMs;
        if (timeoutMs != kInfinite) {
            auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            left = static_cast<uint32_t>(std::max<int64_t>(0, remaining.count()));
        }
        all = thread->Join(left) && all;
    }
    return all;
}

void Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint64_t TickMs64() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

uint32_t TickMs() { return static_cast<uint32_t>(TickMs64()); }

}  // namespace platform
