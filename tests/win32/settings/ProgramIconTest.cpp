// The program's icon under Wine: Lumenary.scr carries it at 16, 32, 48 and
// 256 pixels as its first icon group, and the settings dialog shows it.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "win32/Resources.h"
#include "win32/settings/ConfigDialog.h"

namespace lum::win32 {
namespace {

#pragma pack(push, 2)
// An icon group resource: a header, then one entry per image.
struct TGroupIconEntry {
    BYTE Width;  // 0 means 256
    BYTE Height;
    BYTE ColorCount;
    BYTE Reserved;
    WORD Planes;
    WORD BitCount;
    DWORD BytesInRes;
    WORD Id;
};
struct TGroupIconHeader {
    WORD Reserved;
    WORD Type;  // 1: icons
    WORD Count;
};
#pragma pack(pop)

std::wstring BesideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = L"";
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, n);
    return full.substr(0, full.find_last_of(L"\\/") + 1) + name;
}

BOOL CALLBACK FirstIconGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    *reinterpret_cast<ULONG_PTR*>(found) = reinterpret_cast<ULONG_PTR>(name);
    return FALSE;
}

TEST(ProgramIcon, ScreenSaverFileCarriesItAtFourSizesFirst) {
    HMODULE scr = ::LoadLibraryExW(BesideThisProgram(L"Lumenary.scr").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(scr) << "Lumenary.scr not found beside the test program";
    ULONG_PTR first = 0;
    ::EnumResourceNamesW(scr, RT_GROUP_ICON, &FirstIconGroup, reinterpret_cast<LONG_PTR>(&first));
    EXPECT_EQ(first, static_cast<ULONG_PTR>(LUM_PROGRAM_ICON));

    HRSRC info = ::FindResourceW(scr, MAKEINTRESOURCEW(LUM_PROGRAM_ICON), RT_GROUP_ICON);
    ASSERT_TRUE(info);
    const auto* group =
        static_cast<const TGroupIconHeader*>(::LockResource(::LoadResource(scr, info)));
    ASSERT_TRUE(group);
    ASSERT_GE(::SizeofResource(scr, info),
              sizeof(TGroupIconHeader) + group->Count * sizeof(TGroupIconEntry));
    EXPECT_EQ(group->Type, 1);
    const auto* entries = reinterpret_cast<const TGroupIconEntry*>(group + 1);
    std::set<int> sizes;
    for (WORD i = 0; i < group->Count; ++i) {
        const int width = entries[i].Width ? entries[i].Width : 256;
        const int height = entries[i].Height ? entries[i].Height : 256;
        EXPECT_EQ(width, height);
        EXPECT_EQ(entries[i].BitCount, 32) << width << " px";  // with its alpha channel
        sizes.insert(width);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));
    ::FreeLibrary(scr);
}

TEST(ProgramIcon, SettingsDialogShowsItInItsTitleBar) {
    TConfigDialogWindow dialog(0);
    const HWND wnd = reinterpret_cast<HWND>(dialog.Handle());
    const auto small = reinterpret_cast<HICON>(::SendMessageW(wnd, WM_GETICON, ICON_SMALL, 0));
    const auto big = reinterpret_cast<HICON>(::SendMessageW(wnd, WM_GETICON, ICON_BIG, 0));
    ASSERT_TRUE(small);
    ASSERT_TRUE(big);
    // The program's own icon, at the sizes the system gives these places.
    const auto expected = [](int cx, int cy) {
        return ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(LUM_PROGRAM_ICON),
                            IMAGE_ICON, ::GetSystemMetrics(cx), ::GetSystemMetrics(cy), LR_SHARED);
    };
    EXPECT_EQ(small, expected(SM_CXSMICON, SM_CYSMICON));
    EXPECT_EQ(big, expected(SM_CXICON, SM_CYICON));
    ICONINFO iconInfo{};
    ASSERT_TRUE(::GetIconInfo(small, &iconInfo));
    BITMAP colour{};
    ::GetObjectW(iconInfo.hbmColor, sizeof(colour), &colour);
    EXPECT_EQ(colour.bmWidth, ::GetSystemMetrics(SM_CXSMICON));
    ::DeleteObject(iconInfo.hbmColor);
    ::DeleteObject(iconInfo.hbmMask);
}

}  // namespace
}  // namespace lum::win32
