#pragma once
// Threads, events, locks and clocks the way the engine's workers use them: events with manual or
// automatic reset, waits on one event or on the first of two with a time-out, joins with a time-out.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;  // wait without time limit

enum class ResetKind { Manual, Automatic };
enum class WaitResult { First, Second, Timeout };

struct EventWaiter;
class Event;

namespace detail {
// Lets a wait register itself on the events it watches.
struct EventWaitList {
    static void Add(Event& event, EventWaiter* waiter);
    static void Remove(Event& event, EventWaiter* waiter);
};
}  // namespace detail

// A manual-reset event stays signalled until Reset and lets every waiter pass; an automatic-reset
// event lets exactly one wait succeed and then resets itself.
class Event {
public:
    Event(ResetKind kind, bool initiallySignalled);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Waits up to timeoutMs (0 = test without waiting); true when the event fired.
    // On an automatic-reset event a successful wait consumes the signal.
    bool Wait(uint32_t timeoutMs);
    // Looks at the state without consuming it, even on an automatic-reset event.
    bool IsSignalled() const;

private:
    friend WaitResult WaitForEither(Event&, Event&, uint32_t);
    friend struct detail::EventWaitList;
    bool TryConsumeLocked();
    void AddWaiter(EventWaiter* waiter);
    void RemoveWaiter(EventWaiter* waiter);

    const ResetKind m_kind;
    mutable std::mutex m_mutex;
    bool m_signalled;
    std::vector<EventWaiter*> m_waiters;
};

// Waits for whichever of two events fires first, up to timeoutMs. When both are signalled the
// first one wins.
WaitResult WaitForEither(Event& first, Event& second, uint32_t timeoutMs);

// A critical section: a plain, non-recursive lock. No engine thread holds two at once.
class CriticalSection {
public:
    void Enter() { m_mutex.lock(); }
    void Leave() { m_mutex.unlock(); }
    // BasicLockable, so std::lock_guard and std::unique_lock work on it.
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::mutex m_mutex;
};

using CsGuard = std::lock_guard<CriticalSection>;

// A worker thread with a join that can give up after a time-out. The destructor joins without
// limit, so a thread never outlives the object that started it.
class Thread {
public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // False when a thread is already running from this object.
    bool Start(std::function<void()> body);
    // True once the thread has ended (or none was started); false on time-out, the thread runs on.
    bool Join(uint32_t timeoutMs = kInfinite);
    bool IsStarted() const { return m_thread.joinable(); }

private:
    std::thread m_thread;
    std::shared_ptr<Event> m_finished;
};

// Joins several threads within one shared time budget; true when all of them ended.
bool JoinAll(std::initializer_list<Thread*> threads, uint32_t timeoutMs);

void Sleep(uint32_t milliseconds);

// Milliseconds of a monotonic clock, wrapping at 2^32 like the system's multimedia timer.
uint32_t TickMs();
// The same clock without wrap-around.
uint64_t TickMs64();

}  // namespace platform
