#include "engine/JobThreads.h"

#include <system_error>

namespace kes {

JobThreads::JobThreads(std::size_t initial, std::function<void()> prepareThread)
    : prepareThread_(std::move(prepareThread)) {
    try {
        for (std::size_t i = 0; i < initial; ++i) {
            {
                std::lock_guard lock(mutex_);
                ++starting_;
            }
            startThread(nullptr);
        }
    } catch (...) {
        endAll();
        throw;
    }
}

JobThreads::~JobThreads() {
    endAll();
}

void JobThreads::endAll() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    available_.notify_all();
    // A thread may still add a spare while it is being joined; the loop ends when none is left.
    for (;;) {
        std::thread thread;
        {
            std::lock_guard lock(mutex_);
            if (threads_.empty()) {
                break;
            }
            thread = std::move(threads_.back());
            threads_.pop_back();
        }
        thread.join();
    }
}

void JobThreads::run(Task task) {
    {
        std::lock_guard lock(mutex_);
        if (idle_ + starting_ > tasks_.size()) {
            tasks_.push_back(std::move(task));
            available_.notify_one();
            return;
        }
    }
    startThread(std::move(task));
}

std::size_t JobThreads::threadCount() const {
    std::lock_guard lock(mutex_);
    return threads_.size();
}

std::size_t JobThreads::idleCount() const {
    std::lock_guard lock(mutex_);
    return idle_;
}

// A thread started without a first task must already be counted in `starting_`.
void JobThreads::startThread(Task first) {
    std::thread thread(&JobThreads::work, this, std::move(first));
    std::lock_guard lock(mutex_);
    threads_.push_back(std::move(thread));
}

void JobThreads::work(Task first) {
    try {
        prepareThread_();
    } catch (...) {
    }
    std::unique_lock lock(mutex_, std::defer_lock);
    if (first) {
        try {
            first();
        } catch (...) {
        }
        first = nullptr;
        lock.lock();
    } else {
        lock.lock();
        --starting_;
    }
    for (;;) {
        ++idle_;
        available_.wait(lock, [this] { return ending_ || !tasks_.empty(); });
        --idle_;
        if (tasks_.empty()) {
            return;
        }
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        // Nobody left for the next trigger: start a spare now, on this thread, before playing.
        const bool spare = !ending_ && idle_ + starting_ <= tasks_.size();
        if (spare) {
            ++starting_;
        }
        lock.unlock();
        if (spare) {
            try {
                startThread(nullptr);
            } catch (const std::system_error&) {
                // The next trigger starts a thread itself, or its task waits for this one.
                std::lock_guard relock(mutex_);
                --starting_;
            }
        }
        try {
            task();
        } catch (...) {
        }
        task = nullptr;
        lock.lock();
    }
}

} // namespace kes
