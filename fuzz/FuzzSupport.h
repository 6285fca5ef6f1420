#pragma once
// What every fuzz target shares: a private scratch directory on a memory file system where there is one (a
// save flushes to the disk, which would otherwise dominate every run), the list of refusals a parser may
// answer with, and a check that ends the run as a crash the fuzzer reports.
#include "storage/PathText.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <typeinfo>
#include <unistd.h>

namespace kes::fuzz {

namespace fs = std::filesystem;

[[noreturn]] inline void violated(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "fuzz invariant violated: %s%s%s\n", what, detail.empty() ? "" : ": ",
                 detail.c_str());
    std::fflush(stderr);
    std::abort();
}

#define KES_FUZZ_CHECK(condition, detail)                                                                    \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::kes::fuzz::violated(#condition, (detail));                                                     \
    } while (false)

// One directory for this process, emptied when it starts; the name holds a space and Chinese characters
// like a user's folder may.
inline const fs::path& scratchDirectory() {
    static const fs::path directory = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path path = base / fs::path(u8"kes 模糊 " + std::u8string(reinterpret_cast<const char8_t*>(
                                                            std::to_string(getpid()).c_str())));
        fs::remove_all(path);
        fs::create_directories(path);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(scratchDirectory(), ignored);
        });
        return path;
    }();
    return directory;
}

// The bytes of a file, nothing when it does not exist.
inline std::optional<std::string> fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        violated("the fuzz target could not write its scratch file", pathToUtf8(file));
    }
}

// Whether `e` is one of the refusals the program documents: its own messages (runtime errors, the file
// system's errors among them) and the JSON library's parse and type errors (a number too large to parse
// included). With `messages`, a runtime
// error must carry one of them exactly.
inline bool isDocumentedRefusal(const std::exception& e,
                                std::initializer_list<std::string_view> messages = {}) {
    if (dynamic_cast<const nlohmann::json::parse_error*>(&e) != nullptr ||
        dynamic_cast<const nlohmann::json::type_error*>(&e) != nullptr) {
        return true;
    }
    // The parser's own refusal of a number beyond the double range ("1e309").
    if (const auto* range = dynamic_cast<const nlohmann::json::out_of_range*>(&e)) {
        return range->id == 406;
    }
    if (dynamic_cast<const std::runtime_error*>(&e) == nullptr) {
        return false;
    }
    if (messages.size() == 0) {
        return true;
    }
    for (std::string_view message : messages) {
        if (message == e.what()) {
            return true;
        }
    }
    return false;
}

// Every name the dynamic type of an escaping exception may have, for the report.
inline std::string describe(const std::exception& e) {
    return std::string(typeid(e).name()) + " \"" + e.what() + "\"";
}

// Reads the fuzzer's bytes from the front, for targets that split their input into parts.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
    bool empty() const { return position_ >= size_; }
    // The bytes up to the next `separator` (not included), or to the end.
    std::string until(char separator) {
        std::string text;
        while (position_ < size_ && data_[position_] != static_cast<std::uint8_t>(separator)) {
            text += static_cast<char>(data_[position_++]);
        }
        if (position_ < size_) {
            ++position_;
        }
        return text;
    }
    std::string rest() {
        std::string text(reinterpret_cast<const char*>(data_ + position_), size_ - position_);
        position_ = size_;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

} // namespace kes::fuzz
