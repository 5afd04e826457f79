// The device mutex: re-entrant, and handed over in the order it was
// asked for, so that a thread taking it around one call at a time lets the
// others in between its calls.
#include "core/DeviceMutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

bool TryLockElsewhere(CDeviceMutex& mutex)
{
    return std::async(std::launch::async,
                      [&mutex] {
                          const bool locked = mutex.try_lock();
                          if (locked) {
                              mutex.unlock();
                          }
                          return locked;
                      })
        .get();
}

void WaitUntilQueued(const CDeviceMutex& mutex, int count)
{
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (mutex.Waiting() < count && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::yield();
    }
    ASSERT_EQ(mutex.Waiting(), count);
}

TEST(DeviceMutexTest, ReentrantOnItsThreadAndClosedToOthersUntilFullyReleased)
{
    CDeviceMutex mutex;
    mutex.lock();
    mutex.lock();  // a nested event loop on the same thread
    EXPECT_TRUE(mutex.try_lock());
    mutex.unlock();
    mutex.unlock();
    EXPECT_FALSE(TryLockElsewhere(mutex));  // still held once
    EXPECT_EQ(mutex.Waiting(), 0);
    mutex.unlock();
    EXPECT_TRUE(TryLockElsewhere(mutex));
    EXPECT_TRUE(TryLockElsewhere(mutex));  // and released again by the other thread
}

TEST(DeviceMutexTest, HandedOverInTheOrderAsked)
{
    CDeviceMutex mutex;
    std::vector<std::string> order;  // written only while holding the mutex
    mutex.lock();
    std::vector<std::thread> threads;
    for (const char* name : {"level", "status", "watchdog"}) {
        threads.emplace_back([&mutex, &order, name] {
            mutex.lock();
            order.push_back(name);
            mutex.unlock();
        });
        WaitUntilQueued(mutex, static_cast<int>(threads.size()));
    }
    // Someone waiting: try_lock does not jump the queue.
    EXPECT_FALSE(TryLockElsewhere(mutex));
    order.push_back("ui");
    mutex.unlock();
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(order, (std::vector<std::string>{"ui", "level", "status", "watchdog"}));
    EXPECT_EQ(mutex.Waiting(), 0);
}

TEST(DeviceMutexTest, AHolderThatAsksAgainAtOnceLetsTheWaiterIn)
{
    // The status thread's cycle: take, one reading, let go, take again.
    constexpr int kReadings = 40;
    CDeviceMutex mutex;
    std::atomic<int> readings{0};
    std::thread status([&] {
        for (int i = 0; i < kReadings; ++i) {
            mutex.lock();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            readings.fetch_add(1);
            mutex.unlock();
        }
    });
    while (readings.load() < 3) {
        std::this_thread::yield();
    }
    const int asked = readings.load();
    mutex.lock();
    const int got = readings.load();
    mutex.unlock();
    status.join();
    // At most the reading in progress and one whose request was already in:
    // never the rest of the cycle.
    EXPECT_LE(got, asked + 2) << "asked after " << asked << " readings, got the lock after " << got;
    EXPECT_EQ(readings.load(), kReadings);
}

}  // namespace
