// The compiled resources, read back from this program's own module.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "res/resource.h"
#include "version.h"
#include "tests/support/dib.h"

namespace {

const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const WORD kEnglishIndia = 0x4009;

HMODULE Self()
{
    return GetModuleHandleW(nullptr);
}

// The bytes of one resource in one language; empty when there is none.
std::vector<uint8_t> ResourceBytes(LPCWSTR type, int id, WORD lang)
{
    HRSRC hRes = FindResourceExW(Self(), type, MAKEINTRESOURCEW(id), lang);
    if (!hRes)
        return {};
    const uint8_t *p = static_cast<const uint8_t *>(LockResource(LoadResource(Self(), hRes)));
    return std::vector<uint8_t>(p, p + SizeofResource(Self(), hRes));
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR param)
{
    reinterpret_cast<std::vector<WORD> *>(param)->push_back(lang);
    return TRUE;
}

std::vector<WORD> Languages(LPCWSTR type, int id)
{
    std::vector<WORD> langs;
    EnumResourceLanguagesW(Self(), type, MAKEINTRESOURCEW(id), AddLanguage,
                           reinterpret_cast<LONG_PTR>(&langs));
    return langs;
}

BOOL CALLBACK AddName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param)
{
    reinterpret_cast<std::vector<ULONG_PTR> *>(param)->push_back(
        IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : ~ULONG_PTR(0));
    return TRUE;
}

TEST(Resources, EachInItsOneLanguage)
{
    struct Case {
        LPCWSTR type;
        int id;
        WORD lang;
    };
    const Case cases[] = {
        {RT_MENU, 109, kEnglishUs},
        {RT_ACCELERATOR, 109, kEnglishUs},
        {RT_DIALOG, 103, kEnglishUs},
        {RT_STRING, 109 / 16 + 1, kEnglishUs},  // the block holding string 109
        {RT_GROUP_ICON, 107, kEnglishUs},
        {RT_GROUP_ICON, 108, kEnglishUs},
        {RT_GROUP_ICON, 130, kEnglishIndia},
        {RT_GROUP_ICON, 131, kEnglishIndia},
        {RT_GROUP_ICON, 133, kEnglishIndia},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(std::vector<WORD>{c.lang}, Languages(c.type, c.id));
    }
}

TEST(Resources, ClassNameString)
{
    wchar_t buf[100];
    EXPECT_EQ(8, LoadStringW(Self(), 109, buf, 100));
    EXPECT_EQ(std::wstring(L"KORMANTH"), buf);
}

std::wstring MenuText(HMENU hMenu, UINT pos)
{
    wchar_t buf[64] = {};
    GetMenuStringW(hMenu, pos, buf, 64, MF_BYPOSITION);
    return buf;
}

TEST(Resources, MenuHasFileExitAndHelpAbout)
{
    HMENU hMenu = LoadMenuW(Self(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(nullptr, hMenu);
    ASSERT_EQ(2, GetMenuItemCount(hMenu));
    EXPECT_EQ(L"&File", MenuText(hMenu, 0));
    EXPECT_EQ(L"&Help", MenuText(hMenu, 1));
    struct Item {
        int popup;
        const wchar_t *text;
        UINT id;
    };
    const Item items[] = {{0, L"E&xit", 105}, {1, L"&About ...", 104}};
    for (const Item &item : items) {
        HMENU hPopup = GetSubMenu(hMenu, item.popup);
        ASSERT_NE(nullptr, hPopup);
        EXPECT_EQ(1, GetMenuItemCount(hPopup));
        EXPECT_EQ(item.text, MenuText(hPopup, 0));
        EXPECT_EQ(item.id, GetMenuItemID(hPopup, 0));
        EXPECT_EQ(0u, GetMenuState(hPopup, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
    }
    DestroyMenu(hMenu);
}

TEST(Resources, AcceleratorsAreAltWithCharacterCodes)
{
    HACCEL hAccel = LoadAcceleratorsW(Self(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(nullptr, hAccel);
    ACCEL accel[4] = {};
    ASSERT_EQ(2, CopyAcceleratorTableW(hAccel, accel, 4));
    EXPECT_EQ(FALT, accel[0].fVirt);  // no FVIRTKEY: the key is a character
    EXPECT_EQ('?', accel[0].key);
    EXPECT_EQ(104, accel[0].cmd);
    EXPECT_EQ(FALT, accel[1].fVirt);
    EXPECT_EQ('/', accel[1].key);
    EXPECT_EQ(104, accel[1].cmd);
}

TEST(Resources, OneManifestAsInvoker)
{
    std::vector<ULONG_PTR> names;
    EnumResourceNamesW(Self(), MAKEINTRESOURCEW(24), AddName, reinterpret_cast<LONG_PTR>(&names));
    ASSERT_EQ(std::vector<ULONG_PTR>{1}, names);
    std::vector<WORD> langs = Languages(MAKEINTRESOURCEW(24), 1);
    ASSERT_EQ(1u, langs.size());
    std::vector<uint8_t> bytes = ResourceBytes(MAKEINTRESOURCEW(24), 1, langs[0]);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(std::string::npos, text.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
    // Nothing else: no dependency (such as common controls 6), no compatibility section.
    EXPECT_EQ(std::string::npos, text.find("dependency"));
    EXPECT_EQ(std::string::npos, text.find("compatibility"));
}

// --- Icons --------------------------------------------------------------------

const Rgb kRed = {255, 0, 0};
const Rgb kGreen = {0, 255, 0};
const Rgb kYellow = {255, 255, 0};
const Rgb kBandYellow = {255, 255, 36};
const Rgb kMagenta = {255, 0, 255};

Rgb Band(int y)
{
    return y <= 10 ? kRed : y <= 21 ? kBandYellow : kGreen;
}

struct IconCase {
    int id;
    WORD lang;
    Rgb (*row)(int y);
};

const IconCase kIcons[] = {
    {IDI_VELLARY, kEnglishUs, Band},
    {IDI_SMALL, kEnglishUs, Band},
    {IDI_STATUS_GREEN, kEnglishIndia, [](int) { return kGreen; }},
    {IDI_STATUS_RED, kEnglishIndia, [](int) { return kRed; }},
    {IDI_STATUS_YELLOW, kEnglishIndia, [](int) { return kYellow; }},
};

TEST(Icons, EachOneImageOf32By32At32Bits)
{
    for (const IconCase &c : kIcons) {
        SCOPED_TRACE(c.id);
        std::vector<uint8_t> dir = ResourceBytes(RT_GROUP_ICON, c.id, c.lang);
        // GRPICONDIR (6 bytes) with one 14-byte entry.
        ASSERT_EQ(6u + 14u, dir.size());
        EXPECT_EQ(1, dir[4] | dir[5] << 8);
        EXPECT_EQ(32, dir[6]);
        EXPECT_EQ(32, dir[7]);
        EXPECT_EQ(32, dir[12] | dir[13] << 8);
    }
}

// Draws each icon at its own size over magenta, so a transparent or half-transparent
// pixel shows as a wrong colour.
TEST(Icons, PixelsOpaqueInTheirColours)
{
    for (const IconCase &c : kIcons) {
        SCOPED_TRACE(c.id);
        HICON hIcon = static_cast<HICON>(LoadImageW(Self(), MAKEINTRESOURCEW(c.id), IMAGE_ICON, 32, 32, 0));
        ASSERT_NE(nullptr, hIcon);
        Dib dib(32, 32);
        ASSERT_TRUE(dib.Valid());
        dib.Fill(kMagenta);
        ASSERT_TRUE(DrawIconEx(dib.Dc(), 0, 0, hIcon, 32, 32, 0, nullptr, DI_NORMAL));
        int wrong = 0;
        for (int y = 0; y < 32; y++) {
            for (int x = 0; x < 32; x++) {
                if (!(c.row(y) == dib.At(x, y)) && wrong++ < 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << dib.At(x, y)
                                  << ", expected " << c.row(y);
            }
        }
        EXPECT_EQ(0, wrong);
        DestroyIcon(hIcon);
    }
}

// --- About box template ------------------------------------------------------

// A bounded reader over a dialog template; reading past the end sets failed.
struct Cursor {
    const uint8_t *start, *p, *end;
    bool failed = false;

    uint32_t Bytes(int n)
    {
        if (end - p < n) {
            failed = true;
            p = end;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < n; i++)
            v |= uint32_t(p[i]) << (8 * i);
        p += n;
        return v;
    }
    uint16_t Word() { return static_cast<uint16_t>(Bytes(2)); }
    uint32_t DWord() { return Bytes(4); }
    int16_t Short() { return static_cast<int16_t>(Word()); }
    std::wstring Str()
    {
        std::wstring s;
        for (uint16_t c = Word(); c != 0 && !failed; c = Word())
            s += static_cast<wchar_t>(c);
        return s;
    }
    // A name or ordinal: 0 none, 0xFFFF and a number, or a string. Ordinals come back as "#n".
    std::wstring NameOrOrdinal()
    {
        uint16_t first = Word();
        if (first == 0)
            return L"";
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        p -= 2;
        return Str();
    }
    void AlignDWord()
    {
        while ((p - start) % 4 != 0 && p < end)
            p++;
    }
};

struct TemplateItem {
    uint32_t exStyle, style;
    int16_t x, y, cx, cy;
    int32_t id;
    std::wstring windowClass, title;
};

TEST(AboutTemplate, ReadBackFromTheResource)
{
    std::vector<uint8_t> bytes = ResourceBytes(RT_DIALOG, IDD_ABOUTBOX, kEnglishUs);
    ASSERT_FALSE(bytes.empty());
    Cursor cur{bytes.data(), bytes.data(), bytes.data() + bytes.size()};

    EXPECT_EQ(1, cur.Word());       // dlgVer
    EXPECT_EQ(0xFFFF, cur.Word());  // signature of the extended template
    EXPECT_EQ(0u, cur.DWord());     // help id
    EXPECT_EQ(0u, cur.DWord());     // extended style
    EXPECT_EQ(uint32_t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS),
              cur.DWord());
    uint16_t items = cur.Word();
    EXPECT_EQ(0, cur.Short());
    EXPECT_EQ(0, cur.Short());
    EXPECT_EQ(170, cur.Short());
    EXPECT_EQ(62, cur.Short());
    EXPECT_EQ(L"", cur.NameOrOrdinal());  // no menu
    EXPECT_EQ(L"", cur.NameOrOrdinal());  // default class
    EXPECT_EQ(L"About KORMANTH", cur.Str());
    EXPECT_EQ(8, cur.Word());  // points
    EXPECT_EQ(0, cur.Word());  // weight
    EXPECT_EQ(0u, cur.Bytes(1));  // italic
    EXPECT_EQ(1u, cur.Bytes(1));  // character set
    EXPECT_EQ(L"MS Shell Dlg", cur.Str());
    ASSERT_EQ(2, items);

    TemplateItem item[2];
    for (TemplateItem &it : item) {
        cur.AlignDWord();
        EXPECT_EQ(0u, cur.DWord());  // help id
        it.exStyle = cur.DWord();
        it.style = cur.DWord();
        it.x = cur.Short();
        it.y = cur.Short();
        it.cx = cur.Short();
        it.cy = cur.Short();
        it.id = static_cast<int32_t>(cur.DWord());
        it.windowClass = cur.NameOrOrdinal();
        it.title = cur.NameOrOrdinal();
        uint16_t extra = cur.Word();
        cur.p += std::min<ptrdiff_t>(extra, cur.end - cur.p);
    }
    ASSERT_FALSE(cur.failed);

    EXPECT_EQ(L"#130", item[0].windowClass);  // static
    EXPECT_EQ(IDC_STATIC, item[0].id);
    EXPECT_EQ(uint32_t(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_NOPREFIX), item[0].style);
    EXPECT_EQ(0u, item[0].exStyle);
    EXPECT_EQ(24, item[0].x);
    EXPECT_EQ(14, item[0].y);
    EXPECT_EQ(114, item[0].cx);
    EXPECT_EQ(8, item[0].cy);
    EXPECT_EQ(L"" VELLARY_VERSION_TEXT, item[0].title);

    EXPECT_EQ(L"#128", item[1].windowClass);  // button
    EXPECT_EQ(IDOK, item[1].id);
    EXPECT_EQ(uint32_t(WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON), item[1].style);
    EXPECT_EQ(0u, item[1].exStyle);
    EXPECT_EQ(113, item[1].x);
    EXPECT_EQ(41, item[1].y);
    EXPECT_EQ(50, item[1].cx);
    EXPECT_EQ(14, item[1].cy);
    EXPECT_EQ(L"OK", item[1].title);
}

}  // namespace
