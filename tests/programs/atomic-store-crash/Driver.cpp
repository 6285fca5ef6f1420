// The crash campaign: starts a writer that saves the state document in a loop, kills it with SIGKILL after a
// random delay, and checks the state file each time: it exists and is one whole stored document, never
// older than the one seen before; a temporary file left by a killed writer is gone once the next writer's
// first save has finished, so leftovers never pile up.
//
//   kes_atomic_crash_test KILLS MAX-DELAY-MS [--windows-paths] -- WRITER-COMMAND...
//
// The writer command gets the directory and the first generation appended. --windows-paths hands the
// directory over as Z:\... for the Windows build under Wine. The last line is the campaign's summary.
#include "Documents.h"
#include "storage/AtomicFileStore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

int fail(const std::string& message) {
    std::printf("FAIL: %s\n", message.c_str());
    std::fflush(stdout);
    return 1;
}

std::set<std::string> temporaryFiles(const fs::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".part-") != std::string::npos) {
            names.insert(name);
        }
    }
    return names;
}

std::string windowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    for (char& c : text) {
        c = c == '/' ? '\\' : c;
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    int separator = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            separator = i;
            break;
        }
    }
    if (separator < 3 || separator + 1 >= argc) {
        std::fprintf(stderr, "usage: %s KILLS MAX-DELAY-MS [--windows-paths] -- WRITER-COMMAND...\n",
                     argv[0]);
        return 2;
    }
    const int kills = std::atoi(argv[1]);
    const int maxDelayMs = std::atoi(argv[2]);
    const bool windowsPaths = separator > 3 && std::strcmp(argv[3], "--windows-paths") == 0;
    const unsigned seed = static_cast<unsigned>(std::random_device()());
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMicroseconds(0, maxDelayMs * 1000);

    const fs::path directory = fs::temp_directory_path() / ("kes-crash-" + std::to_string(getpid()));
    fs::remove_all(directory);
    fs::create_directories(directory);
    const fs::path target = directory / fs::path(u8"Kestrava配置.json");
    kes::writeFileAtomically(target, storedDocumentOfGeneration(0));
    const std::string directoryArgument = windowsPaths ? windowsPath(directory) : directory.string();

    const auto started = std::chrono::steady_clock::now();
    unsigned long seen = 0;
    int advanced = 0;
    int killedMidWrite = 0;
    int result = 0;
    int i = 0;
    for (; i < kills && result == 0; ++i) {
        const std::set<std::string> before = temporaryFiles(directory);
        const std::string first = std::to_string(seen + 1);
        std::vector<char*> command(argv + separator + 1, argv + argc);
        command.push_back(const_cast<char*>(directoryArgument.c_str()));
        command.push_back(const_cast<char*>(first.c_str()));
        command.push_back(nullptr);
        const pid_t child = fork();
        if (child < 0) {
            result = fail("fork failed");
            break;
        }
        if (child == 0) {
            execvp(command[0], command.data());
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFSIGNALED(status)) {
            result = fail("the writer ended by itself (status " + std::to_string(status) + ")");
            break;
        }
        if (!fs::exists(target)) {
            result = fail("the state file is missing after kill " + std::to_string(i));
            break;
        }
        const std::optional<unsigned long> generation = wholeDocumentGeneration(kes::readFileBytes(target));
        if (!generation) {
            result = fail("the state file is not a whole document after kill " + std::to_string(i));
            break;
        }
        if (*generation < seen) {
            result = fail("the state file went back from generation " + std::to_string(seen) + " to " +
                          std::to_string(*generation));
            break;
        }
        // A save removes the leftovers after its move: once a later save was seen, the first one finished.
        const bool savedTwice = *generation > seen + 1;
        advanced += *generation > seen ? 1 : 0;
        seen = *generation;
        const std::set<std::string> after = temporaryFiles(directory);
        bool leftOne = false;
        for (const std::string& name : after) {
            leftOne = leftOne || before.count(name) == 0;
        }
        killedMidWrite += leftOne ? 1 : 0;
        for (const std::string& name : before) {
            if (savedTwice && after.count(name) && result == 0) {
                result = fail("the temporary file " + name + " outlived the next save");
            }
        }
        if (after.size() > before.size() + 1) {
            result = fail("a run left more than one temporary file");
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::size_t left = temporaryFiles(directory).size();
    fs::remove_all(directory);
    if (result == 0 && advanced == 0) {
        result = fail("no run saved anything, so nothing was tested");
    }
    std::printf("crashes: %d kills (seed %u), %d runs saved at least once, last generation %lu, "
                "%d killed with a temporary file, %zu temporary file(s) left at the end, %s, %.0f s\n",
                i, seed, advanced, seen, killedMidWrite, left, result == 0 ? "0 failed" : "1 failed",
                seconds);
    return result;
}
