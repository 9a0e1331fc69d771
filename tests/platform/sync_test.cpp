#include "platform/sync.h"

#include <atomic>
#include <gtest/gtest.h>

using namespace platform;

TEST(Event, ManualResetLetsEveryWaitPassUntilReset) {
    Event gate(ResetKind::Manual, true);
    EXPECT_TRUE(gate.Wait(0));
    EXPECT_TRUE(gate.Wait(0));
    gate.Reset();
    EXPECT_FALSE(gate.Wait(0));
}

TEST(Event, AutomaticResetLetsExactlyOneWaitPass) {
    Event stop(ResetKind::Automatic, false);
    stop.Set();
    EXPECT_TRUE(stop.IsSignalled());  // looking does not consume
    EXPECT_TRUE(stop.Wait(0));
    EXPECT_FALSE(stop.Wait(0));
}

TEST(Event, AutomaticResetReleasesOneOfTwoBlockedWaiters) {
    Event stop(ResetKind::Automatic, false);
    std::atomic<int> released{0};
    Thread a, b;
    a.Start([&] { released += stop.Wait(300) ? 1 : 0; });
    b.Start([&] { released += stop.Wait(300) ? 1 : 0; });
    Sleep(50);
    stop.Set();
    a.Join();
    b.Join();
    EXPECT_EQ(released.load(), 1);
}

TEST(WaitForEither, ReportsWhichEventFiredOrTimeout) {
    Event data(ResetKind::Manual, false), abort(ResetKind::Automatic, false);
    EXPECT_EQ(WaitForEither(data, abort, 0), WaitResult::Timeout);
    abort.Set();
    EXPECT_EQ(WaitForEither(data, abort, 0), WaitResult::Second);
    data.Set();
    abort.Set();
    EXPECT_EQ(WaitForEither(data, abort, 0), WaitResult::First);  // both set: the first wins
}

TEST(WaitForEither, WakesWhenTheSecondIsSetFromAnotherThread) {
    Event data(ResetKind::Manual, false), stop(ResetKind::Automatic, false);
    Thread setter;
    setter.Start([&] { Sleep(30); stop.Set(); });
    const uint64_t start = TickMs64();
    EXPECT_EQ(WaitForEither(data, stop, kInfinite), WaitResult::Second);
    EXPECT_GE(TickMs64() - start, 20u);
}

TEST(WaitForEither, TimesOutAfterRoughlyTheTimeout) {
    Event a(ResetKind::Manual, false), b(ResetKind::Manual, false);
    const uint64_t start = TickMs64();
    EXPECT_EQ(WaitForEither(a, b, 60), WaitResult::Timeout);
    EXPECT_GE(TickMs64() - start, 55u);
}

TEST(Thread, JoinGivesUpAfterTimeoutAndSucceedsOnceEnded) {
    Event release(ResetKind::Manual, false);
    Thread worker;
    ASSERT_TRUE(worker.Start([&] { release.Wait(kInfinite); }));
    EXPECT_FALSE(worker.Start([] {}));
    EXPECT_FALSE(worker.Join(20));
    release.Set();
    EXPECT_TRUE(worker.Join(kInfinite));
    EXPECT_FALSE(worker.IsStarted());
}

TEST(Thread, JoinAllSharesOneBudget) {
    Event release(ResetKind::Manual, false);
    Thread a, b;
    a.Start([&] { release.Wait(kInfinite); });
    b.Start([&] { release.Wait(kInfinite); });
    const uint64_t start = TickMs64();
    EXPECT_FALSE(JoinAll({&a, &b}, 80));
    EXPECT_LT(TickMs64() - start, 1000u);
    release.Set();
    EXPECT_TRUE(JoinAll({&a, &b}, kInfinite));
}
