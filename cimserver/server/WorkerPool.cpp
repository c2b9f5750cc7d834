#include "WorkerPool.h"

#include <dirent.h>
#include <fcntl.h>

#include <cstdlib>

namespace velk::cimserver {

void markDescriptorsCloseOnExec() {
    DIR* directory = opendir("/proc/self/fd");
    if (directory == nullptr) {
        return;
    }
    int own = dirfd(directory);
    while (dirent* entry = readdir(directory)) {
        char* end = nullptr;
        long fd = strtol(entry->d_name, &end, 10);
        if (*end != '\0' || end == entry->d_name || fd <= 2 || fd == own) {
            continue;
        }
        int flags = fcntl(static_cast<int>(fd), F_GETFD);
        if (flags >= 0 && (flags & FD_CLOEXEC) == 0) {
            fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
        }
    }
    closedir(directory);
}

WorkerPool::WorkerPool(size_t threads, size_t maxQueued)
    : _maxQueued(maxQueued > 0 ? maxQueued : 1) {
    for (size_t i = 0; i < (threads > 0 ? threads : 1); i++) {
        _threads.emplace_back([this] { work(); });
    }
}

WorkerPool::~WorkerPool() {
    shutdown();
}

void WorkerPool::enqueue(std::function<void()> task) {
    markDescriptorsCloseOnExec();
    std::unique_lock<std::mutex> lock(_mutex);
    _roomFree.wait(lock, [this] { return _tasks.size() < _maxQueued || _stopping; });
    if (_stopping) {
        lock.unlock();
        task();  // closes the connection it was given
        return;
    }
    _tasks.push_back(std::move(task));
    _taskReady.notify_one();
}

void WorkerPool::shutdown() {
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _stopping = true;
    }
    _taskReady.notify_all();
    _roomFree.notify_all();
    for (std::thread& thread : _threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

void WorkerPool::work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(_mutex);
            _taskReady.wait(lock, [this] { return !_tasks.empty() || _stopping; });
            if (_tasks.empty()) {
                return;
            }
            task = std::move(_tasks.front());
            _tasks.pop_front();
        }
        _roomFree.notify_one();
        task();
    }
}

}  // namespace velk::cimserver
