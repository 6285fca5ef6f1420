// Saves generation after generation of a document to one target until it is killed.
#include "Documents.h"
#include "storage/AtomicFileStore.h"
#include "storage/PathText.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TARGET FIRST-GENERATION\n", argv[0]);
        return 2;
    }
    const std::filesystem::path target = kes::pathFromUtf8(argv[1]);
    try {
        for (unsigned long n = std::stoul(argv[2]);; ++n) {
            kes::writeFileAtomically(target, documentOfGeneration(n));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "writer: %s\n", e.what());
        return 1;
    }
}
