#pragma once
#include "engine/Engine.h"
#include "platform/CancelEvent.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>

namespace kes {

// One running macro, shared by the engine's job table and the pool thread that plays it.
struct Engine::Job {
    std::string key;
    int macroId = 0;
    Macro macro;          // the profile's macro as it was when the job started
    std::wstring program; // the profile's program when the job started; every foreground check uses it
    std::unique_ptr<platform::CancelEvent> cancelEvent;
    std::unique_ptr<platform::CancelEvent> endedEvent; // set by the thread after `finished`
    // The scan codes of the macro's keys (0: none), looked up by its thread before each pass's time line
    // starts.
    std::array<unsigned, 256> scanCodes{};
    std::atomic<bool> finished{false}; // set by the thread as its last action on the job's keys and state

    Job() = default;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
};

} // namespace kes
