#pragma once

// A fixed set of threads that run one task together, again and again: the training
// kernel spreads each epoch's weight groups over them. Starting the threads once per
// training run instead of once per epoch keeps thread creation (and fresh stacks) out
// of the epoch loop.

#include <barrier>
#include <functional>
#include <thread>
#include <vector>

namespace core {

class WorkerPool {
  public:
    // `threads` threads in all, the calling thread included. Starts fewer (down to the
    // caller alone) when the system refuses more.
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Threads in all, the caller included.
    int size() const { return static_cast<int>(m_workers.size()) + 1; }

    // Calls task(t) for every t in [0, size()) at the same time, the last on the calling
    // thread, and returns when all have returned. The task must not throw.
    void run(const std::function<void(int)>& task);

  private:
    void work(int index);

    std::vector<std::jthread> m_workers;
    std::barrier<> m_start;
    std::barrier<> m_done;
    const std::function<void(int)>* m_task = nullptr;
    bool m_stopping = false;
};

}  // namespace core
