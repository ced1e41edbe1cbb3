#pragma once

// How far a long piece of work has come, and the way to ask it to stop.
//
// Every piece of work the student may wait for (loading, opening and saving files, a
// training epoch, the report and the spreadsheet, the degradation curves, test recall,
// the analysis and the forecasts) takes one. The work counts on its own thread; any other
// thread reads the counts and may request a stop, which the work hears at its next check
// and then ends soon. How the work ended is a WorkEnd, not a message text.

#include <atomic>

namespace core {

enum class WorkEnd {
    Done,       // the work finished (a file committed counts, even after a late stop request)
    Cancelled,  // a stop request ended it before it finished; nothing it was to change changed
    Failed,     // it could not finish; its message says why
};

class Progress {
  public:
    // The amount of work in all, in the work's own unit (bytes, cells, groups); 0 while it
    // is not known.
    void setTotal(long long total) { m_total.store(total, std::memory_order_relaxed); }
    void setDone(long long done) { m_done.store(done, std::memory_order_relaxed); }
    void addDone(long long amount) { m_done.fetch_add(amount, std::memory_order_relaxed); }
    // Work brought in ahead of what is done: bytes read but not yet parsed.
    void setStaged(long long staged) { m_staged.store(staged, std::memory_order_relaxed); }

    long long total() const { return m_total.load(std::memory_order_relaxed); }
    long long done() const { return m_done.load(std::memory_order_relaxed); }
    long long staged() const { return m_staged.load(std::memory_order_relaxed); }

    // From any thread: the work is to end soon, as Cancelled unless it has finished.
    void requestStop() { m_stop.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }

  private:
    std::atomic<long long> m_total{0};
    std::atomic<long long> m_done{0};
    std::atomic<long long> m_staged{0};
    std::atomic<bool> m_stop{false};
};

// For work that may be given no Progress: whether a stop was requested of `progress`.
inline bool StopRequested(const Progress* progress) {
    return progress != nullptr && progress->stopRequested();
}

}  // namespace core
