#pragma once
#include "engine/Engine.h"
#include "platform/CancelEvent.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace kes {

// One running macro, shared by the engine's job table and the job's own thread.
struct Engine::Job {
    std::string key;
    int macroId = 0;
    Macro macro;          // the profile's macro as it was when the job started
    std::wstring program; // the profile's program when the job started; every foreground check uses it
    std::unique_ptr<platform::CancelEvent> cancelEvent;
    std::unique_ptr<platform::CancelEvent> endedEvent; // set by the thread after `finished`
    std::thread thread;
    std::atomic<bool> finished{false}; // set by the thread as its last action on the job's keys and state

    Job() = default;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
    ~Job() {
        if (thread.joinable()) {
            if (thread.get_id() == std::this_thread::get_id()) {
                thread.detach();
            } else {
                thread.join();
            }
        }
    }
};

} // namespace kes
