// The key-name text of triggers and steps: parseKeyName and parseKeyList read any bytes without throwing,
// give only codes 1 to 254, and a step's list (unique) holds each code once and in the order of the
// trigger's list (not unique).
#include "FuzzSupport.h"
#include "engine/KeyNames.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kes;
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const int single = parseKeyName(text);
        KES_FUZZ_CHECK(single >= 0 && single <= 254, std::to_string(single));
        KES_FUZZ_CHECK(parseKeyName(trim(text)) == parseKeyName(trim(trim(text))), "trim is not idempotent");

        const std::vector<int> all = parseKeyList(text, false);
        const std::vector<int> unique = parseKeyList(text, true);
        const auto pieces = static_cast<std::size_t>(std::count(text.begin(), text.end(), '+')) + 1;
        KES_FUZZ_CHECK(all.size() <= pieces, "more keys than pieces");
        for (const int code : all) {
            KES_FUZZ_CHECK(code >= 1 && code <= 254, std::to_string(code));
        }
        // The unique list is the full list without its repeats, first occurrences kept in place.
        std::vector<int> expected;
        std::set<int> seen;
        for (const int code : all) {
            if (seen.insert(code).second) {
                expected.push_back(code);
            }
        }
        KES_FUZZ_CHECK(unique == expected, "the unique list is not the full list without repeats");
        // A text without "+" is one piece: its list is its one name, when it names a key.
        if (text.find('+') == std::string::npos) {
            const int code = parseKeyName(trim(text));
            KES_FUZZ_CHECK(all == (code != 0 ? std::vector<int>{code} : std::vector<int>{}),
                           "a single piece differs from its key name");
        }
    } catch (const std::exception& e) {
        fuzz::violated("key-name parsing threw", fuzz::describe(e));
    }
    return 0;
}
