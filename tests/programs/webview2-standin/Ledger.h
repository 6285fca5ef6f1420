#pragma once
// What the host did with this library, kept for the report written at process exit: every method it
// called, every method it called that is not implemented here, the objects still alive, and each breach of
// COM manners (each also printed on standard error at once).
#include <nlohmann/json.hpp>

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace standin {

class Ledger {
public:
    // Lives until the process ends; never destroyed, so that the report at process exit can still use it.
    static Ledger& instance();

    // The thread that created the environment: every call of the host must come from it.
    void setCreatorThread(DWORD thread);
    // A call of the host into "Interface::method"; a call from another thread is a breach.
    void called(const char* interfaceName, const char* method);
    void notImplemented(const char* interfaceName, const char* method);
    void breach(const std::string& text);
    // Something that happened, counted under its name ("NavigationStarting cancelled", ...).
    void count(const std::string& name);
    void setValue(const std::string& name, nlohmann::json value);

    void objectCreated(const char* kind);
    void objectDestroyed(const char* kind);

    // Writes the report (JSON) to the file named by KES_WEBVIEW2_REPORT, if set.
    void writeReport();

private:
    Ledger() = default;
    std::mutex mutex_;
    DWORD creatorThread_ = 0;
    std::map<std::string, int> calls_;
    std::map<std::string, int> notImplemented_;
    std::map<std::string, int> counts_;
    std::map<std::string, long> live_;
    std::map<std::string, long> created_;
    nlohmann::json values_ = nlohmann::json::object();
    std::vector<std::string> breaches_;
};

// Prints one line of this library on standard error.
void say(const std::string& line);

} // namespace standin
