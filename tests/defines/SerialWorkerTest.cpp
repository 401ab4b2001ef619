// The one serial worker behind the plug-in's calls and the history's writer.
#include "defines/VeskSerialWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Tasks run one at a time in the order posted, each followed by its report;
// WaitIdle returns once all have run; the destructor lets the queued ones finish.
TEST(SerialWorker, RunsTasksInOrderOneAtATime)
{
    std::vector<int> order;
    std::vector<int> reports;
    std::atomic<int> running{0};
    bool overlapped = false;
    {
        TVeskSerialWorker worker;
        for (int i = 0; i < 50; ++i) {
            ASSERT_TRUE(worker.Post(
                [&, i] {
                    overlapped = overlapped || running.fetch_add(1) != 0;
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                    order.push_back(i);
                    running.fetch_sub(1);
                },
                [&reports, i] { reports.push_back(i); }));
        }
        EXPECT_TRUE(worker.WaitIdle(5000));
        EXPECT_EQ(order.size(), 50u);
        for (int i = 0; i < 25; ++i) {
            worker.Post([&order, i] { order.push_back(100 + i); });
        }
    } // the destructor waits for the 25 still queued
    ASSERT_EQ(order.size(), 75u);
    for (int i = 0; i < 75; ++i) {
        EXPECT_EQ(order[std::size_t(i)], i < 50 ? i : 100 + i - 50);
    }
    EXPECT_EQ(reports.size(), 50u);
    EXPECT_FALSE(overlapped);
}

// A task that does not return: Stop gives the thread up within its time, drops
// what waits, and when the task returns at last nothing else runs and nothing
// of the worker (gone by then) is touched.
TEST(SerialWorker, ABlockedTaskIsGivenUpAndNeverReportsAfterwards)
{
    auto gate = std::make_shared<std::atomic<bool>>(false);
    auto after = std::make_shared<std::atomic<int>>(0);
    auto later = std::make_shared<std::atomic<int>>(0);
    {
        TVeskSerialWorker worker(3);
        auto started = std::make_shared<std::atomic<bool>>(false);
        ASSERT_TRUE(worker.Post(
            [gate, started] {
                started->store(true);
                while (!gate->load()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            },
            [after] { after->fetch_add(1); }));
        while (!started->load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // A bounded queue: the blocked task's followers fill it.
        EXPECT_TRUE(worker.Post([later] { later->fetch_add(1); }));
        EXPECT_TRUE(worker.Post([later] { later->fetch_add(1); }));
        EXPECT_TRUE(worker.Post([later] { later->fetch_add(1); }));
        EXPECT_FALSE(worker.Post([later] { later->fetch_add(1); })) << "beyond the bound";
        EXPECT_FALSE(worker.WaitIdle(50));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(worker.Stop(100));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_FALSE(worker.Post([later] { later->fetch_add(1); })) << "a stopped worker takes nothing";
    }
    gate->store(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(after->load(), 0);
    EXPECT_EQ(later->load(), 0);
}
