#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Several threads hand a counter along under one mutex, each waiting for its turn on the
// condition: lost wake-ups or a lock that does not exclude show up as a wrong total or a hang.
TEST(ThreadTest, ThreadsTakeTurnsUnderOneMutex) {
    constexpr unsigned kThreads = 4;
    constexpr unsigned kRounds = 500;
    platform::Mutex mutex;
    platform::Condition turnChanged;
    unsigned turn = 0;
    unsigned total = 0;
    std::vector<std::unique_ptr<platform::Thread>> threads;
    for (unsigned id = 0; id < kThreads; ++id) {
        threads.push_back(std::make_unique<platform::Thread>([&, id] {
            for (unsigned round = 0; round < kRounds; ++round) {
                platform::MutexLock hold(mutex);
                while (turn % kThreads != id) {
                    turnChanged.wait(mutex);
                }
                ++total;
                ++turn;
                turnChanged.notifyAll();
            }
        }));
        ASSERT_TRUE(threads.back()->started());
    }
    for (auto& thread : threads) {
        thread->join();
        thread->join();  // a second join does nothing
    }
    EXPECT_EQ(total, kThreads * kRounds);
}

TEST(ThreadTest, WaitForReturnsWithoutANotification) {
    platform::Mutex mutex;
    platform::Condition never;
    platform::MutexLock hold(mutex);
    never.waitFor(mutex, 10);  // returns holding the mutex again
    SUCCEED();
}

TEST(ThreadTest, ProcessorCountIsAtLeastOne) {
    EXPECT_GE(platform::processorCount(), 1u);
}

}  // namespace
