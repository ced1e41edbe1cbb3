#include "core/large_page_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace {

TEST(LargePageAllocator, BigArraysStartOnHugePageBoundariesAndHoldTheirValues) {
    // Sizes around the 2 MB threshold and one far above it, in a vector as the program
    // uses them; the values written must read back and the copy must be independent.
    for (std::size_t count : {std::size_t{1000}, (std::size_t{2} << 20) / sizeof(double) - 1,
                              (std::size_t{2} << 20) / sizeof(double), std::size_t{3'000'001}}) {
        SCOPED_TRACE(count);
        std::vector<double, core::LargePageAllocator<double>> values(count, 0.0);
        if (count * sizeof(double) >= core::large_pages::HugePage) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(values.data()) % core::large_pages::HugePage,
                      0u);
        }
        for (std::size_t k = 0; k < count; ++k) {
            values[k] = static_cast<double>(k);
        }
        auto copy = values;
        values.assign(count, -1.0);
        for (std::size_t k = 0; k < count; k += 4099) {
            ASSERT_EQ(copy[k], static_cast<double>(k));
        }
        EXPECT_EQ(copy.back(), static_cast<double>(count - 1));
    }
}

TEST(ZeroedDoubles, StartZeroAndCopyAndMoveTheirValues) {
    for (std::size_t count : {std::size_t{0}, std::size_t{17}, std::size_t{1} << 20}) {
        SCOPED_TRACE(count);
        core::ZeroedDoubles values(count);
        ASSERT_EQ(values.size(), count);
        for (std::size_t k = 0; k < count; ++k) {
            ASSERT_EQ(values[k], 0.0);
        }
        for (std::size_t k = 0; k < count; ++k) {
            values[k] = static_cast<double>(k) + 0.5;
        }
        core::ZeroedDoubles copy = values;
        values = core::ZeroedDoubles(3);  // the copy keeps its own values
        ASSERT_EQ(copy.size(), count);
        for (std::size_t k = 0; k < count; k += 997) {
            ASSERT_EQ(copy[k], static_cast<double>(k) + 0.5);
        }
        const core::ZeroedDoubles moved = std::move(copy);
        EXPECT_EQ(moved.size(), count);
        EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
        EXPECT_EQ(values.size(), 3u);
        EXPECT_EQ(values[2], 0.0);
    }
}

TEST(LargePageAllocator, ImpossibleSizesThrowBadAlloc) {
    core::LargePageAllocator<double> allocator;
    EXPECT_THROW((void)allocator.allocate(std::size_t{1} << 61), std::bad_alloc);
    EXPECT_THROW((void)allocator.allocate(std::size_t{1} << 44), std::bad_alloc);  // 128 TB
    EXPECT_THROW(core::ZeroedDoubles(std::size_t{1} << 44), std::bad_alloc);
}

}  // namespace
