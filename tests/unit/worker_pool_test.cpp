#include "core/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(WorkerPool, EveryRunCallsEachIndexOnceAndWaitsForAll) {
    for (int threads : {1, 2, 5}) {
        SCOPED_TRACE(threads);
        core::WorkerPool pool(threads);
        ASSERT_EQ(pool.size(), threads);
        std::vector<std::atomic<int>> calls(static_cast<std::size_t>(threads));
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<int> onCaller{0};
        for (int run = 1; run <= 200; ++run) {
            pool.run([&](int t) {
                calls[static_cast<std::size_t>(t)].fetch_add(1);
                if (std::this_thread::get_id() == caller) {
                    onCaller.fetch_add(1);
                    EXPECT_EQ(t, threads - 1);
                }
            });
            // run() returned, so every task of this run has finished.
            for (const auto& count : calls) {
                ASSERT_EQ(count.load(), run);
            }
        }
        EXPECT_EQ(onCaller.load(), 200);
    }
}

}  // namespace
