// Saves generation after generation of the state document through the state store until it is killed.
//
//   kes_atomic_crash_writer DIRECTORY FIRST-GENERATION
//
// The state file is DIRECTORY\Kestrava配置.json; the directory's own name is plain ASCII, so that it reaches
// the Windows build under Wine unchanged on the command line.
#include "Documents.h"
#include "storage/Log.h"
#include "storage/StateStore.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DIRECTORY FIRST-GENERATION\n", argv[0]);
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    try {
        kes::Log log;
        log.setDirectory(directory / "logs");
        kes::StateStore store(directory / std::filesystem::path(u8"Kestrava配置.json"), log);
        for (unsigned long n = std::stoul(argv[2]);; ++n) {
            store.save(postedDocumentOfGeneration(n));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "writer: %s\n", e.what());
        return 1;
    }
}
