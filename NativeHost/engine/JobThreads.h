#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kes {

// The threads that play macro jobs, started before any trigger comes: handing a job to an idle thread costs
// the hook a lock and a wake-up instead of a thread creation. A thread that takes the last idle place starts
// a spare one before it plays, so the next trigger finds a thread waiting too; only when no thread is idle
// at all (the spare could not be started yet) does `run` start one itself. Threads are never ended early:
// the pool keeps as many as were ever busy at once, plus one, until it is destroyed.
class JobThreads {
public:
    using Task = std::function<void()>;

    // Starts `initial` threads; each runs `prepareThread` once before it takes its first task (priority,
    // anything a key call needs on a new thread). Throws the system error when a thread cannot be started.
    JobThreads(std::size_t initial, std::function<void()> prepareThread);
    // Runs every task already handed over, then ends and joins every thread.
    ~JobThreads();
    JobThreads(const JobThreads&) = delete;
    JobThreads& operator=(const JobThreads&) = delete;

    // Hands `task` to an idle thread. Throws the system error when a thread had to be started and could not.
    void run(Task task);

    std::size_t threadCount() const;
    std::size_t idleCount() const;

private:
    void endAll();
    void startThread(Task first);
    void work(Task first);

    std::function<void()> prepareThread_;
    mutable std::mutex mutex_;
    std::condition_variable available_;
    std::deque<Task> tasks_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;     // threads waiting for a task, counting those already woken for a queued one
    std::size_t starting_ = 0; // threads started but not yet waiting
    bool ending_ = false;
};

} // namespace kes
