#include "report/ordered_rows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/worker_pool.h"

namespace {

constexpr int kRows = 1000;
// Values per row as the engine is told them: so many that every batch holds only a few
// rows, and a run of the rows passes through many batches.
constexpr int kWideColumns = 1 << 20;

std::string rowText(int r) {
    return "row " + std::to_string(r) + "\r\r\n";
}

// Rows first..last as they must come out.
std::string rowsText(int first, int last) {
    std::string text;
    for (int r = first; r <= last; ++r) {
        text += rowText(r);
    }
    return text;
}

// Collects what the engine passes on; fails, as a full disk would, once it holds
// `capacity` bytes.
class Collected {
  public:
    explicit Collected(std::size_t capacity = std::string::npos) : m_capacity(capacity) {}

    std::string& buffer() { return m_pending; }
    std::vector<std::string>& runs() { return m_runs; }
    void endRow() { take(m_pending); }
    void pass(const std::string& bytes) { take(bytes); }
    bool failed() const { return m_failed; }

    std::string text() const { return m_text + m_pending; }

  private:
    void take(const std::string& bytes) {
        if (!m_failed) {
            m_text += bytes;
            m_failed = m_text.size() >= m_capacity;
        }
        m_pending.clear();
    }

    std::size_t m_capacity;
    std::string m_text;
    std::string m_pending;
    std::vector<std::string> m_runs;
    bool m_failed = false;
};

// The calling thread alone, a pool of one and a pool of three.
struct Threads {
    const char* name;
    int threads;  // 0: no pool
};
const Threads kThreads[] = {{"calling thread", 0}, {"one thread", 1}, {"three threads", 3}};

std::unique_ptr<core::WorkerPool> poolOf(const Threads& t) {
    return t.threads > 0 ? std::make_unique<core::WorkerPool>(t.threads) : nullptr;
}

// Five rows: fewer than the threads' runs in one batch.
TEST(OrderedRowsTest, EveryRowOnceInOrder) {
    for (const Threads& t : kThreads) {
        for (const int rows : {5, kRows}) {
            SCOPED_TRACE(std::string(t.name) + ", " + std::to_string(rows) + " rows");
            const auto pool = poolOf(t);
            const int threads = pool ? pool->size() : 1;
            std::vector<std::atomic<int>> calls(static_cast<std::size_t>(rows) + 1);
            std::atomic<bool> threadOutOfRange = false;
            Collected out;
            const auto row = [&](std::string& text, int r, int thread) {
                calls[static_cast<std::size_t>(r)]++;
                threadOutOfRange = threadOutOfRange || thread < 0 || thread >= threads;
                text += rowText(r);
                return true;
            };
            EXPECT_EQ(report::OrderedRows(out, pool.get(), rows, kWideColumns, row), 0);
            EXPECT_TRUE(out.text() == rowsText(1, rows));
            EXPECT_FALSE(threadOutOfRange);
            for (int r = 1; r <= rows; ++r) {
                EXPECT_EQ(calls[static_cast<std::size_t>(r)], 1) << "row " << r;
            }
        }
    }
}

TEST(OrderedRowsTest, NoRowsPassNothing) {
    for (const Threads& t : kThreads) {
        SCOPED_TRACE(t.name);
        const auto pool = poolOf(t);
        Collected out;
        EXPECT_EQ(report::OrderedRows(out, pool.get(), 0, kWideColumns,
                                      [](std::string&, int, int) { return true; }),
                  0);
        EXPECT_EQ(out.text(), "");
    }
}

// Row 537 cannot be produced: the rows before it go out and none after it.
TEST(OrderedRowsTest, AFailingRowIsReturnedAfterTheRowsBeforeIt) {
    for (const Threads& t : kThreads) {
        SCOPED_TRACE(t.name);
        const auto pool = poolOf(t);
        Collected out;
        const int failed = report::OrderedRows(out, pool.get(), kRows, kWideColumns,
                                               [](std::string& text, int r, int) {
                                                   if (r == 537) {
                                                       return false;
                                                   }
                                                   text += rowText(r);
                                                   return true;
                                               });
        EXPECT_EQ(failed, 537);
        EXPECT_TRUE(out.text() == rowsText(1, 536));
    }
}

// Memory running out at row 537 reaches the caller; what went out before is whole rows in
// order, none from 537 on.
TEST(OrderedRowsTest, RunningOutOfMemoryReachesTheCaller) {
    for (const Threads& t : kThreads) {
        SCOPED_TRACE(t.name);
        const auto pool = poolOf(t);
        Collected out;
        EXPECT_THROW((void)report::OrderedRows(out, pool.get(), kRows, kWideColumns,
                                               [](std::string& text, int r, int) {
                                                   if (r == 537) {
                                                       throw std::bad_alloc();
                                                   }
                                                   text += rowText(r);
                                                   return true;
                                               }),
                     std::bad_alloc);
        const std::string before = rowsText(1, 536);
        const std::string text = out.text();
        EXPECT_TRUE(before.starts_with(text));
        EXPECT_TRUE(text.empty() || text.ends_with("\r\r\n"));
    }
}

// The output fails after a hundred bytes: production stops long before the last row, and
// the engine leaves the failure for the caller to read.
TEST(OrderedRowsTest, AFailedOutputStopsTheRows) {
    for (const Threads& t : kThreads) {
        SCOPED_TRACE(t.name);
        const auto pool = poolOf(t);
        std::atomic<int> produced = 0;
        Collected out(100);
        const int failed = report::OrderedRows(out, pool.get(), kRows, kWideColumns,
                                               [&](std::string& text, int r, int) {
                                                   ++produced;
                                                   text += rowText(r);
                                                   return true;
                                               });
        EXPECT_EQ(failed, 0);
        EXPECT_TRUE(out.failed());
        EXPECT_LT(produced, kRows / 2);
    }
}

}  // namespace
