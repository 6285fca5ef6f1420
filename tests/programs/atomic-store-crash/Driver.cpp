// Starts the writer, kills it with SIGKILL after a random delay (0 to 80 ms, a few saves), and checks the
// target each time: it must exist and be one whole document, never older than the one seen before.
#include "Documents.h"
#include "storage/AtomicFileStore.h"
#include "storage/PathText.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "FAIL: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s WRITER KILLS\n", argv[0]);
        return 2;
    }
    const std::string writer = argv[1];
    const int kills = std::atoi(argv[2]);
    const unsigned seed = static_cast<unsigned>(std::random_device()());
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMicroseconds(0, 80000);
    std::printf("seed %u, %d kills\n", seed, kills);

    const fs::path directory =
        fs::temp_directory_path() / fs::path(u8"kes 崩溃 " + std::u8string(reinterpret_cast<const char8_t*>(
                                                                 std::to_string(getpid()).c_str())));
    fs::remove_all(directory);
    const fs::path target = directory / fs::path(u8"Kestrava配置.json");
    kes::writeFileAtomically(target, documentOfGeneration(0));

    unsigned long seen = 0;
    int advanced = 0;
    int result = 0;
    for (int i = 0; i < kills && result == 0; ++i) {
        const pid_t child = fork();
        if (child < 0) {
            result = fail("fork failed");
            break;
        }
        if (child == 0) {
            const std::string first = std::to_string(seen + 1);
            const std::string targetText = kes::pathToUtf8(target);
            execl(writer.c_str(), writer.c_str(), targetText.c_str(), first.c_str(),
                  static_cast<char*>(nullptr));
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
            result = fail("target missing after kill " + std::to_string(i));
            break;
        }
        const std::optional<unsigned long> generation = wholeDocumentGeneration(kes::readFileBytes(target));
        if (!generation) {
            result = fail("target is not a whole document after kill " + std::to_string(i));
        } else if (*generation < seen) {
            result = fail("target went back from generation " + std::to_string(seen) + " to " +
                          std::to_string(*generation));
        } else {
            advanced += *generation > seen ? 1 : 0;
            seen = *generation;
        }
    }
    std::size_t leftovers = 0;
    for (const auto& entry : fs::directory_iterator(directory)) {
        leftovers += entry.path() != target ? 1 : 0;
    }
    std::printf("%d of %d runs saved at least one document, last generation %lu, %zu runs killed mid-write\n",
                advanced, kills, seen, leftovers);
    fs::remove_all(directory);
    if (result == 0 && advanced == 0) {
        result = fail("no run saved anything, so nothing was tested");
    }
    return result;
}
