#include "config/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NameText, Utf8WhereValidElseEachByteACharacter)
{
    struct Case {
        const char *name;
        std::string text;
        size_t maxChars;
        std::wstring wide;
    } cases[] = {
        {"ASCII, cut to the characters asked", "ABCDEFGHIJKLMNO", 14, L"ABCDEFGHIJKLMN"},
        {"UTF-8", "B\xC3\xBCro-S\xC3\xBC\x64", 14, L"B\u00FCro-S\u00FCd"},
        {"UTF-8 counted in characters, not bytes", std::string(20, 'x').replace(0, 4, "\xC3\xA4\xE2\x82\xAC"), 3,
         L"\u00E4\u20ACx"},
        {"four bytes, one character", "\xF0\x9F\x98\x80!", 14, L"\U0001F600!"},
        {"a Windows-1252 byte", "Caf\xE9", 14, L"Caf\u00E9"},
        {"a character cut off at the end", "B\xC3", 14, L"B\u00C3"},
        {"an overlong form", "\xC0\xAF", 14, L"\u00C0\u00AF"},
        {"a surrogate", "\xED\xA0\x80", 14, L"\u00ED\u00A0\u0080"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 14, L"\u00F4\u0090\u0080\u0080"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t wide[32];
        size_t units = WidenText(c.text.data(), c.text.size(), wide, 32, c.maxChars);
        EXPECT_EQ(c.wide, std::wstring(wide, units));
        EXPECT_EQ(L'\0', wide[units]);
    }
    // A character that does not fit whole is left out, never halved.
    wchar_t two[2];
    std::wstring fits = sizeof(wchar_t) == 2 ? L"" : L"\U0001F600";
    EXPECT_EQ(fits, std::wstring(two, WidenText("\xF0\x9F\x98\x80", 4, two, 2, 14)));
}

}  // namespace
