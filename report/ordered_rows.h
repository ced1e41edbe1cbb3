#pragma once

// Rows of text produced on several threads and passed on in order.
//
// OrderedRows(out, pool, rows, columns, row) produces rows 1..rows, each appended by
// row(text, r, t), and passes them to `out` in order of r: the bytes are those of producing
// the rows one by one on one thread, whatever the number of threads.
//
// - row(text, r, t) appends row r to `text` and returns true, or returns false, appending
//   nothing, when row r cannot be produced. t is the thread (from 0 to pool->size() - 1; 0
//   without a pool). With a pool it is called on several threads at once, each time for a
//   different r and a different `text`. It may throw std::bad_alloc and nothing else.
// - `pool` null: the rows are produced on the calling thread, straight into out.buffer().
//   Otherwise on the pool's threads: the rows are cut into batches of consecutive rows,
//   sized from the bytes per value seen so far to about kRowBatchBytes (`columns` is the
//   values per row), and each batch into runs of consecutive rows that the threads take in
//   turn; a batch's runs are passed on once the whole batch is produced.
// - Returns 0 when no row failed, else the first row that failed; the rows before it have
//   gone to `out` and none after it (on several threads the callback may have been called
//   for later rows of the same batch; their text is dropped).
// - out.failed() is looked at before each row on the calling thread, before each batch on
//   the pool; once it is true the rest is left and 0 is returned, for the caller to read the
//   output's own failure. Rows of a batch produced before it still go to pass(), which
//   drops them then.
// - Out of memory: std::bad_alloc reaches the caller. On several threads it is thrown once
//   the batch in which it happened is over, and nothing of that batch has gone to `out`.

#include <algorithm>
#include <atomic>
#include <concepts>
#include <cstddef>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "core/worker_pool.h"

namespace report {

// About how much text a batch holds; with the output's own buffer it bounds the memory the
// rows take. A batch's text is written into the same strings batch after batch and table
// after table (the output keeps them), so a small batch is memory touched once: fresh
// pages cost a fault each, which on some systems is dearer than formatting their text.
inline constexpr std::size_t kRowBatchBytes = std::size_t{1} << 20;

// Where the rows go: appended to buffer() and closed by endRow() when produced on the
// calling thread, handed over whole by pass() when produced on the pool. runs() holds the
// pool's strings between tables.
template <typename Out>
concept RowOutput = requires(Out& out, const std::string& bytes) {
    { out.buffer() } -> std::same_as<std::string&>;
    { out.runs() } -> std::same_as<std::vector<std::string>&>;
    out.endRow();
    out.pass(bytes);
    { out.failed() } -> std::convertible_to<bool>;
};

template <RowOutput Out, typename Row>
requires std::is_invocable_r_v<bool, const Row&, std::string&, int, int>
int OrderedRows(Out& out, core::WorkerPool* pool, int rows, int columns, const Row& row) {
    if (pool == nullptr) {
        for (int r = 1; r <= rows && !out.failed(); ++r) {
            if (!row(out.buffer(), r, 0)) {
                return r;
            }
            out.endRow();
        }
        return 0;
    }
    const int threads = pool->size();
    // Threads take the runs of a batch one by one, so that a thread the system holds back
    // delays the batch by one run at most.
    const int runsPerBatch = threads * 8;
    std::vector<std::string>& runs = out.runs();
    runs.resize(static_cast<std::size_t>(runsPerBatch));
    std::vector<int> failedAt(static_cast<std::size_t>(runsPerBatch));
    double bytesPerValue = 16.0;
    std::atomic<bool> outOfMemory = false;
    for (int first = 1; first <= rows && !out.failed();) {
        const double batchValues = static_cast<double>(kRowBatchBytes) / bytesPerValue;
        // At least one row per run, at most the table: a table shorter than a batch's runs
        // is one batch (std::clamp may not be given a lower bound above its upper one).
        const int batchRows = static_cast<int>(
            std::min(std::max(batchValues / columns, static_cast<double>(runsPerBatch)),
                     static_cast<double>(rows)));
        const int last = std::min(rows, first + batchRows - 1);
        const int perRun = (last - first + runsPerBatch) / runsPerBatch;
        std::atomic<int> nextRun = 0;
        pool->run([&](int t) {
            for (int k = nextRun++; k < runsPerBatch; k = nextRun++) {
                std::string& run = runs[static_cast<std::size_t>(k)];
                int& failed = failedAt[static_cast<std::size_t>(k)];
                run.clear();
                failed = 0;
                const int begin = first + k * perRun;
                const int end = std::min(last, begin + perRun - 1);
                try {
                    for (int r = begin; r <= end && failed == 0; ++r) {
                        if (!row(run, r, t)) {
                            failed = r;
                        }
                    }
                } catch (const std::bad_alloc&) {
                    outOfMemory = true;
                }
            }
        });
        if (outOfMemory) {
            throw std::bad_alloc();
        }
        std::size_t bytes = 0;
        for (std::size_t k = 0; k < runs.size(); ++k) {
            out.pass(runs[k]);
            bytes += runs[k].size();
            if (failedAt[k] != 0) {
                return failedAt[k];
            }
        }
        bytesPerValue = std::max(
            1.0, static_cast<double>(bytes) / (static_cast<double>(last - first + 1) * columns));
        first = last + 1;
    }
    return 0;
}

}  // namespace report
