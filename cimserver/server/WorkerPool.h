// The HTTP server's connection workers: a fixed number of threads and a
// bounded queue of accepted connections. When the queue is full the accept
// loop waits, so a flood of connections stays in the kernel's backlog
// instead of in memory.
//
// Every descriptor of the process is made close-on-exec before a connection
// is queued: the HTTP library accepts without SOCK_CLOEXEC, and the engine
// the provider may launch must not inherit client connections.
#ifndef VELK_CIMSERVER_WORKER_POOL_H
#define VELK_CIMSERVER_WORKER_POOL_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <httplib.h>

namespace velk::cimserver {

class WorkerPool : public httplib::TaskQueue {
  public:
    WorkerPool(size_t threads, size_t maxQueued);
    ~WorkerPool() override;
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void enqueue(std::function<void()> task) override;
    // Runs the queued tasks to their end, then joins the threads.
    void shutdown() override;

  private:
    void work();

    size_t _maxQueued;
    std::mutex _mutex;
    std::condition_variable _taskReady;
    std::condition_variable _roomFree;
    std::deque<std::function<void()>> _tasks;
    bool _stopping = false;
    std::vector<std::thread> _threads;
};

// Sets FD_CLOEXEC on every open descriptor of this process above 2.
void markDescriptorsCloseOnExec();

}  // namespace velk::cimserver

#endif
