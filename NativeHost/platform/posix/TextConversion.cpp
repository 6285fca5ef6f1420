#include "platform/TextConversion.h"

#include <stdexcept>

// wchar_t holds UTF-32 here. The rules match the Windows conversions: invalid UTF-8 anywhere is refused,
// and a wide character that is no Unicode scalar value is written as U+FFFD.
namespace kes {
namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = 0xFFFD;
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

[[noreturn]] void invalidUtf8() {
    throw std::runtime_error("UTF-8 文本无效");
}

} // namespace

std::string toUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        appendUtf8(out, static_cast<char32_t>(w));
    }
    return out;
}

std::wstring toWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t c = 0;
        std::size_t length = 0;
        if (lead < 0x80) {
            c = lead;
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            c = lead & 0x1F;
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            c = lead & 0x0F;
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            c = lead & 0x07;
            length = 4;
        } else {
            invalidUtf8();
        }
        if (i + length > text.size()) {
            invalidUtf8();
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                invalidUtf8();
            }
            c = (c << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
        if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            invalidUtf8();
        }
        out += static_cast<wchar_t>(c);
        i += length;
    }
    return out;
}

} // namespace kes
