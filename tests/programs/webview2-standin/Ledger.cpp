#include "Ledger.h"

#include <cstdio>

namespace standin {

namespace {

std::wstring environmentText(const wchar_t* name) {
    const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0)
        return {};
    std::wstring text(length, L'\0');
    const DWORD written = GetEnvironmentVariableW(name, text.data(), length);
    text.resize(written < length ? written : 0);
    return text;
}

} // namespace

void say(const std::string& line) {
    std::fputs(("webview2 stand-in: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

Ledger& Ledger::instance() {
    static Ledger* ledger = new Ledger();
    return *ledger;
}

void Ledger::setCreatorThread(DWORD thread) {
    std::lock_guard lock(mutex_);
    creatorThread_ = thread;
}

void Ledger::called(const char* interfaceName, const char* method) {
    const std::string name = std::string(interfaceName) + "::" + method;
    const DWORD thread = GetCurrentThreadId();
    DWORD creator = 0;
    {
        std::lock_guard lock(mutex_);
        ++calls_[name];
        creator = creatorThread_;
    }
    if (creator != 0 && thread != creator)
        breach(name + " called on thread " + std::to_string(thread) +
               ", not on the thread that created the "
               "environment (" +
               std::to_string(creator) + ")");
}

void Ledger::notImplemented(const char* interfaceName, const char* method) {
    const std::string name = std::string(interfaceName) + "::" + method;
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = notImplemented_[name]++ == 0;
    }
    if (first)
        say("not implemented: " + name + " (E_NOTIMPL)");
    called(interfaceName, method);
}

void Ledger::breach(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        breaches_.push_back(text);
    }
    say("BREACH: " + text);
}

void Ledger::count(const std::string& name) {
    std::lock_guard lock(mutex_);
    ++counts_[name];
}

void Ledger::setValue(const std::string& name, nlohmann::json value) {
    std::lock_guard lock(mutex_);
    values_[name] = std::move(value);
}

void Ledger::objectCreated(const char* kind) {
    std::lock_guard lock(mutex_);
    ++live_[kind];
    ++created_[kind];
}

void Ledger::objectDestroyed(const char* kind) {
    std::lock_guard lock(mutex_);
    --live_[kind];
}

void Ledger::writeReport() {
    const std::wstring path = environmentText(L"KES_WEBVIEW2_REPORT");
    if (path.empty())
        return;
    std::string text;
    {
        std::lock_guard lock(mutex_);
        nlohmann::json live = nlohmann::json::object();
        long liveTotal = 0;
        for (const auto& [kind, number] : live_) {
            if (number != 0)
                live[kind] = number;
            liveTotal += number;
        }
        const nlohmann::json report{{"breaches", breaches_},
                                    {"calls", calls_},
                                    {"counts", counts_},
                                    {"created", created_},
                                    {"liveObjects", live},
                                    {"liveObjectCount", liveTotal},
                                    {"notImplemented", notImplemented_},
                                    {"values", values_}};
        text = report.dump(2) + "\n";
    }
    // Plain system calls: this also runs while the process is ending.
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace standin
