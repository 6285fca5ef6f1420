#include "platform/TextConversion.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

std::string refusal(const std::string& bytes) {
    try {
        kes::toWide(bytes);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(accepted)";
}

} // namespace

// Invalid UTF-8 anywhere refuses the whole text: overlong forms, surrogates, values above U+10FFFF, stray or
// missing continuation bytes and sequences cut short at the end.
TEST(Utf8Decoding, EveryInvalidFormIsRefused) {
    const std::vector<std::string> invalid{
        "\xC0\xAF",                 // overlong "/" in two bytes
        "\xC1\xBF",                 // overlong U+007F
        "\xE0\x80\xAF",             // overlong "/" in three bytes
        "\xE0\x9F\xBF",             // overlong U+07FF
        "\xF0\x80\x80\xAF",         // overlong "/" in four bytes
        "\xF0\x8F\xBF\xBF",         // overlong U+FFFF
        "\xED\xA0\x80",             // U+D800, a high surrogate
        "\xED\xBF\xBF",             // U+DFFF, a low surrogate
        "\xED\xA0\xBD\xED\xB8\x80", // a surrogate pair spelled out (CESU-8)
        "\xF4\x90\x80\x80",         // U+110000
        "\xF5\x80\x80\x80",         // lead byte above U+10FFFF
        "\xFF",                     // never a lead byte
        "\x80",                     // a continuation byte alone
        "a\xC3",                    // two-byte sequence cut at the end
        "\xE4\xB8",                 // three-byte sequence cut at the end
        "\xF0\x9F\x98",             // four-byte sequence cut at the end
        "\xE4\x41\xAD",             // a missing continuation byte inside the text
        "ok\xC3\x28ok",             // an ASCII byte where a continuation is due
    };
    for (const std::string& bytes : invalid)
        EXPECT_EQ(refusal(bytes), "UTF-8 文本无效") << testing::PrintToString(bytes);
}

TEST(Utf8Decoding, TheLimitsOfEachLengthAreAccepted) {
    EXPECT_EQ(kes::toWide(std::string("\x00", 1)), std::wstring(1, L'\0'));
    EXPECT_EQ(kes::toWide("\x7F"), std::wstring(1, 0x7F));
    EXPECT_EQ(kes::toWide("\xC2\x80"), std::wstring(1, 0x80));
    EXPECT_EQ(kes::toWide("\xDF\xBF"), std::wstring(1, 0x7FF));
    EXPECT_EQ(kes::toWide("\xE0\xA0\x80"), std::wstring(1, 0x800));
    EXPECT_EQ(kes::toWide("\xED\x9F\xBF"), std::wstring(1, 0xD7FF));
    EXPECT_EQ(kes::toWide("\xEE\x80\x80"), std::wstring(1, 0xE000));
    EXPECT_EQ(kes::toWide("\xEF\xBF\xBF"), std::wstring(1, 0xFFFF));
    // Above the basic plane: one unit where wchar_t is 32 bits, a surrogate pair on Windows.
    const std::wstring first = kes::toWide("\xF0\x90\x80\x80");
    const std::wstring last = kes::toWide("\xF4\x8F\xBF\xBF");
    if (sizeof(wchar_t) == 4) {
        EXPECT_EQ(first, std::wstring(1, static_cast<wchar_t>(0x10000)));
        EXPECT_EQ(last, std::wstring(1, static_cast<wchar_t>(0x10FFFF)));
    } else {
        EXPECT_EQ(first, (std::wstring{static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0xDC00)}));
        EXPECT_EQ(last, (std::wstring{static_cast<wchar_t>(0xDBFF), static_cast<wchar_t>(0xDFFF)}));
    }
    EXPECT_EQ(kes::toUtf8(last), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(kes::toUtf8(kes::toWide("宏快捷键")), "宏快捷键");
}
