// kes_page_server: serves the embedded page and the local API over loopback HTTP for the page's
// browser tests, with a real state store in the given data directory.
//
//   kes_page_server --data DIR [--windows FILE] [--lifetime SECONDS]
//
// Prints the port on standard output, then serves until the lifetime (default 600 s) has passed or
// its standard input, when that is a pipe or socket, is closed. FILE holds the program list that
// "/api/windows" answers, read on every request: a JSON array of entries, or {"fail": "text"} to make the
// listing throw that text. POST "/test/trigger-keys" and "/test/step-keys" answer the key codes that the
// host's parser reads from the body (a JSON array), as for a trigger and for a step.

#include "LoopbackHttpServer.h"
#include "engine/KeyNames.h"
#include "storage/Log.h"
#include "storage/StateStore.h"
#include "webhost/ResourceServer.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Options {
    std::filesystem::path dataDir;
    std::optional<std::filesystem::path> windowsFile;
    long lifetimeSeconds = 600;
};

std::filesystem::path pathFromUtf8(const char* text) {
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(text)));
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (i + 1 >= argc)
            throw std::runtime_error("missing value after " + word);
        const char* value = argv[++i];
        if (word == "--data")
            options.dataDir = pathFromUtf8(value);
        else if (word == "--windows")
            options.windowsFile = pathFromUtf8(value);
        else if (word == "--lifetime")
            options.lifetimeSeconds = std::stol(value);
        else
            throw std::runtime_error("unknown option " + word);
    }
    if (options.dataDir.empty())
        throw std::runtime_error("--data DIR is required");
    if (options.lifetimeSeconds <= 0)
        throw std::runtime_error("--lifetime must be positive");
    return options;
}

kes::ProgramWindowLister scriptedWindows(const std::optional<std::filesystem::path>& file) {
    return [file]() -> nlohmann::json {
        if (!file)
            return nlohmann::json::array();
        std::ifstream in(*file, std::ios::binary);
        if (!in)
            throw std::runtime_error("program list file cannot be read");
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const auto list = nlohmann::json::parse(text);
        if (list.is_object() && list.contains("fail"))
            throw std::runtime_error(list.at("fail").get<std::string>());
        if (!list.is_array())
            throw std::runtime_error("program list file must hold an array");
        return list;
    };
}

kes::pageserver::HttpResponse serve(const kes::pageserver::HttpRequest& request, kes::StateStore& store,
                                    const kes::ProgramWindowLister& windows) {
    std::size_t offset = 0;
    const kes::BodySource readBody = [&](char* buffer, std::size_t capacity) {
        const std::size_t count = std::min(capacity, request.body.size() - offset);
        std::memcpy(buffer, request.body.data() + offset, count);
        offset += count;
        return count;
    };
    const auto path = kes::requestPathFromUri(request.target);
    // The host's key parser, for tests that compare what the page stores with what the engine reads.
    if (request.method == "POST" && (path == "/test/trigger-keys" || path == "/test/step-keys")) {
        const nlohmann::json keys = kes::parseKeyList(request.body, path == "/test/step-keys");
        return {200, kes::reasonPhrase(200), "Content-Type: application/json\r\n", keys.dump()};
    }
    const auto response = kes::serveLocalRequest(request.method, path, readBody, store, windows);
    return {response.status, kes::reasonPhrase(response.status), kes::responseHeaderText(response),
            response.body};
}

bool standardInputIsPipe() {
    struct stat info {};
    return ::fstat(STDIN_FILENO, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Options options = parseOptions(argc, argv);
        std::filesystem::create_directories(options.dataDir);
        kes::Log log;
        log.setDirectory(options.dataDir);
        kes::StateStore store(options.dataDir / u8"Kestrava配置.json", log);
        const auto windows = scriptedWindows(options.windowsFile);

        kes::pageserver::LoopbackHttpServer server;
        std::cout << server.port() << std::endl;
        server.run(
            [&](const kes::pageserver::HttpRequest& request) { return serve(request, store, windows); },
            std::chrono::seconds(options.lifetimeSeconds), standardInputIsPipe());
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "kes_page_server: " << error.what() << std::endl;
        return 1;
    }
}
