// The state document as the page posts it: StateStore::save validates and stores it, load reads it back.
// A refused document leaves the stored file byte for byte; an accepted one is stored in the form that loads
// again as the same value, and that value is accepted again when it is posted back.
#include "FuzzSupport.h"
#include "engine/Profile.h"
#include "storage/Log.h"
#include "storage/StateStore.h"

#include <cstddef>
#include <cstdint>

namespace {

using namespace kes;
using nlohmann::json;

// The messages a save may refuse with.
constexpr std::initializer_list<std::string_view> saveRefusals = {
    "配置大小无效",     "配置格式无效",   "宏列表格式无效",       "宏编号重复",      "触发方式无效",
    "按键序列格式无效", "UTF-8 文本无效", mouseButtonStepMessage, playCountMessage,  jitterMessage,
    keepMessage,        releaseMessage,   pressKeptMessage,       repeatKeepMessage,
};

const std::string previousDocument = R"({
  "profiles": [
    {
      "id": 1,
      "macros": [
        {
          "behavior": "hold",
          "id": 7,
          "steps": [
            {
              "gap": 5,
              "hold": 5,
              "key": "A"
            }
          ],
          "trigger": "Ctrl + F8"
        }
      ],
      "name": "默认",
      "program": ""
    }
  ],
  "selectedProfile": 1
})";

struct Store {
    Store() : file(fuzz::scratchDirectory() / fuzz::fs::path(u8"Kestrava配置.json")), store(file, log) {
        log.setDirectory(fuzz::scratchDirectory() / "logs");
    }
    fuzz::fs::path file;
    Log log;
    StateStore store;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Store state;
    const std::string body(reinterpret_cast<const char*>(data), size);
    fuzz::writeBytes(state.file, previousDocument);

    try {
        state.store.save(body);
    } catch (const std::exception& e) {
        KES_FUZZ_CHECK(fuzz::isDocumentedRefusal(e, saveRefusals), fuzz::describe(e));
        KES_FUZZ_CHECK(fuzz::fileBytes(state.file) == previousDocument,
                       "a refused save changed the stored file");
        return 0;
    }

    // Accepted: what is stored loads, equals what was posted, and every profile in it is still accepted.
    const json posted = json::parse(body);
    json stored;
    try {
        stored = state.store.load();
    } catch (const std::exception& e) {
        fuzz::violated("an accepted document does not load again", fuzz::describe(e));
    }
    KES_FUZZ_CHECK(stored == posted, "the stored document differs from the posted one");
    const std::string storedBytes = *fuzz::fileBytes(state.file);
    try {
        for (const json& profile : stored.at("profiles")) {
            parseProfile(profile);
        }
        // Posting the stored document back stores the very same bytes.
        state.store.save(stored.dump());
    } catch (const std::exception& e) {
        fuzz::violated("the stored document is refused after the round trip", fuzz::describe(e));
    }
    KES_FUZZ_CHECK(fuzz::fileBytes(state.file) == storedBytes,
                   "a second save of the same document changed it");
    return 0;
}
