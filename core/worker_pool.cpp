#include "core/worker_pool.h"

#include <system_error>

namespace core {

namespace {

// The barriers count every thread that may take part; threads that could not be started
// are accounted for by dropping them from the count.
std::ptrdiff_t parties(int threads) {
    return threads > 1 ? threads : 1;
}

}  // namespace

WorkerPool::WorkerPool(int threads) : m_start(parties(threads)), m_done(parties(threads)) {
    const int wanted = threads > 1 ? threads - 1 : 0;
    for (int t = 0; t < wanted; ++t) {
        try {
            m_workers.emplace_back([this, t] { work(t); });
        } catch (const std::system_error&) {
            // Run with the threads there are: the missing ones leave both barriers.
            for (int missing = t; missing < wanted; ++missing) {
                (void)m_start.arrive_and_drop();
                (void)m_done.arrive_and_drop();
            }
            break;
        }
    }
}

WorkerPool::~WorkerPool() {
    m_stopping = true;
    m_start.arrive_and_wait();
    // The workers return; the jthreads join.
}

void WorkerPool::run(const std::function<void(int)>& task) {
    m_task = &task;
    // The caller starts on its own share at once: waiting here for every worker to wake
    // held it back by the time the system took to schedule them (on a busy machine, most
    // of a table's formatting). The workers wait for this arrival, and the end barrier
    // keeps the next run's arrival after this run's phase.
    (void)m_start.arrive();
    task(size() - 1);
    m_done.arrive_and_wait();
    m_task = nullptr;
}

void WorkerPool::work(int index) {
    for (;;) {
        m_start.arrive_and_wait();
        if (m_stopping) {
            return;
        }
        (*m_task)(index);
        m_done.arrive_and_wait();
    }
}

}  // namespace core
