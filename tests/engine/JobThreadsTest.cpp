#include "engine/JobThreads.h"

#include "support/ThreadCount.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

thread_local bool prepared = false;

// Tasks that hold their thread until the test lets them go, recording on which thread they ran.
class Gate {
public:
    kes::JobThreads::Task task() {
        return [this] {
            std::unique_lock lock(mutex_);
            ids_.insert(std::this_thread::get_id());
            allPrepared_ = allPrepared_ && prepared;
            ++running_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
            ++done_;
        };
    }
    bool waitRunning(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return running_ >= count; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    int done() const {
        std::lock_guard lock(mutex_);
        return done_;
    }
    std::size_t threads() const {
        std::lock_guard lock(mutex_);
        return ids_.size();
    }
    bool allPrepared() const {
        std::lock_guard lock(mutex_);
        return allPrepared_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::thread::id> ids_;
    int running_ = 0;
    int done_ = 0;
    bool open_ = false;
    bool allPrepared_ = true;
};

bool waitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 2500 && !condition(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

TEST(JobThreads, ThreadsArePreparedAndWaitingBeforeTheFirstTask) {
    std::atomic<int> preparations{0};
    kes::JobThreads pool(2, [&] {
        prepared = true;
        ++preparations;
    });
    EXPECT_TRUE(waitFor([&] { return pool.idleCount() == 2; }));
    EXPECT_EQ(preparations.load(), 2);
    EXPECT_EQ(pool.threadCount(), 2u);

    Gate gate;
    pool.run(gate.task());
    ASSERT_TRUE(gate.waitRunning(1));
    // One thread is still idle, so handing over the task started none.
    EXPECT_EQ(pool.threadCount(), 2u);
    gate.open();
    EXPECT_TRUE(waitFor([&] { return pool.idleCount() == 2; }));
    EXPECT_TRUE(gate.allPrepared());
}

TEST(JobThreads, GrowsBySparesSoThatBusyThreadsNeverHoldANewTask) {
    const std::size_t before = kes::test::processThreadCount();
    {
        kes::JobThreads pool(2, [] { prepared = true; });
        Gate gate;
        for (int i = 0; i < 5; ++i) {
            pool.run(gate.task());
            // Every task runs at once, on a thread of its own, while the earlier ones still hold theirs.
            ASSERT_TRUE(gate.waitRunning(i + 1)) << i;
        }
        EXPECT_EQ(gate.threads(), 5u);
        EXPECT_TRUE(gate.allPrepared());
        // A spare waits for the next task.
        EXPECT_TRUE(waitFor([&] { return pool.idleCount() >= 1; }));
        gate.open();
        EXPECT_TRUE(waitFor([&] { return gate.done() == 5; }));
        EXPECT_GE(pool.threadCount(), 6u);
    }
    EXPECT_EQ(kes::test::processThreadCount(), before);
}

TEST(JobThreads, DestructionRunsEveryTaskHandedOverAndEndsEveryThread) {
    const std::size_t before = kes::test::processThreadCount();
    std::atomic<int> ran{0};
    {
        kes::JobThreads pool(1, [] {});
        for (int i = 0; i < 20; ++i) {
            pool.run([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                ++ran;
            });
        }
    }
    EXPECT_EQ(ran.load(), 20);
    EXPECT_EQ(kes::test::processThreadCount(), before);
}

} // namespace
