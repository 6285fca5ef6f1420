#include "engine/KeyNames.h"

#include <algorithm>
#include <climits>
#include <map>

namespace kes {
namespace {

bool isTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string asciiLower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

int punctuationKey(char c) {
    switch (c) {
    case ';':
        return 186;
    case '=':
        return 187;
    case ',':
        return 188;
    case '-':
        return 189;
    case '.':
        return 190;
    case '/':
        return 191;
    case '`':
        return 192;
    case '[':
        return 219;
    case '\\':
        return 220;
    case ']':
        return 221;
    case '\'':
        return 222;
    default:
        return 0;
    }
}

// Reads a whole text as a decimal int the way std::stoi does (leading white space, an optional sign, leading
// zeros), but requires every character to be consumed and reports failure instead of throwing.
bool readWholeInt(const std::string& text, std::size_t from, int& value) {
    std::size_t i = from;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\v' ||
                               text[i] == '\f' || text[i] == '\r')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) {
            return false;
        }
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN) {
        return false;
    }
    value = static_cast<int>(signedValue);
    return true;
}

const std::map<std::string, int>& namedKeys() {
    static const std::map<std::string, int> table = {
        {"space", 32},
        {"enter", 13},
        {"tab", 9},
        {"esc", 27},
        {"escape", 27},
        {"backspace", 8},
        {"delete", 46},
        {"insert", 45},
        {"home", 36},
        {"end", 35},
        {"pageup", 33},
        {"pagedown", 34},
        {"up", 38},
        {"down", 40},
        {"left", 37},
        {"right", 39},
        {"ctrl", 17},
        {"control", 17},
        {"shift", 16},
        {"alt", 18},
        {"win", 91},
        {"meta", 91},
        {"numadd", 107},
        {"numsubtract", 109},
        {"nummultiply", 106},
        {"numdivide", 111},
        {"numdecimal", 110},
        // Lock and system keys; names are only ever added, never changed.
        {"capslock", 20},
        {"scrolllock", 145},
        {"numlock", 144},
        {"pause", 19},
        {"printscreen", 44},
        {"menu", 93},
        // Mouse buttons: triggers only, never key output.
        {"mbutton", mouseMiddleButton},
        {"xbutton1", mouseSideButton1},
        {"xbutton2", mouseSideButton2},
    };
    return table;
}

} // namespace

std::string trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isTrimmed(text[begin])) {
        ++begin;
    }
    while (end > begin && isTrimmed(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

int parseKeyName(const std::string& text) {
    const std::string name = asciiLower(text);
    if (name.size() == 1) {
        const char c = name[0];
        if (c >= 'a' && c <= 'z') {
            return c - 'a' + 'A';
        }
        if (c >= '0' && c <= '9') {
            return c;
        }
        return punctuationKey(c);
    }
    if (name.size() >= 2 && name[0] == 'f') {
        int number = 0;
        if (readWholeInt(name, 1, number) && number >= 1 && number <= 24) {
            return 111 + number;
        }
    }
    if (name.size() == 4 && name.compare(0, 3, "num") == 0 && name[3] >= '0' && name[3] <= '9') {
        return 96 + (name[3] - '0');
    }
    const auto& table = namedKeys();
    const auto found = table.find(name);
    return found == table.end() ? 0 : found->second;
}

bool isMouseButton(int vk) {
    return vk == mouseMiddleButton || vk == mouseSideButton1 || vk == mouseSideButton2;
}

std::vector<int> parseKeyList(const std::string& text, bool unique) {
    std::vector<int> keys;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t plus = text.find('+', start);
        if (plus == std::string::npos) {
            plus = text.size();
        }
        const int key = parseKeyName(trim(text.substr(start, plus - start)));
        start = plus + 1;
        if (key == 0) {
            continue;
        }
        if (unique && std::find(keys.begin(), keys.end(), key) != keys.end()) {
            continue;
        }
        keys.push_back(key);
    }
    return keys;
}

} // namespace kes
