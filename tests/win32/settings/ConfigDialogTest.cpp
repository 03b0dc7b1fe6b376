// The configuration dialog's Win32 window under Wine: layout, keyboard
// navigation, and load, save and erase against the real registry and file
// system, driven by messages posted into its own modal loop.
#include "win32/settings/ConfigDialog.h"

#include <commctrl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fakes/FakeMessageBoxes.h"
#include "settings/ConfigDlg.h"
#include "win32/Strings.h"
#include "win32/UniqueHandle.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32MessageBoxes.h"
#include "win32/Win32Registry.h"

namespace lum::win32 {
namespace {

const wchar_t* const kSettingsKey = L"Software\\Orvane\\Lumenary";
const wchar_t* const kURLKey = L"Software\\Orvane\\Lumenary\\URLList";

class TRecordingPlatform : public IApplicationPlatform {
  public:
    std::vector<std::string> Reports;
    void ShowErrorReport(const std::string&, const std::string& message) override {
        Reports.push_back(message);
    }
    void PostDeferred(std::function<void()> action) override { action(); }
};

// Text of a REG_SZ value, or "(missing)".
std::wstring RegText(const wchar_t* key, const wchar_t* name) {
    wchar_t data[512] = {};
    DWORD size = sizeof(data);
    if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return L"(missing)";
    return data;
}

void SetRegText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Type and bytes of a value of any type; type REG_NONE when missing.
std::pair<DWORD, std::vector<BYTE>> RegRaw(const wchar_t* key, const wchar_t* name) {
    std::vector<BYTE> data(256);
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(data.size());
    if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(),
                       &size) != ERROR_SUCCESS)
        return {REG_NONE, {}};
    data.resize(size);
    return {type, data};
}

bool KeyExists(const wchar_t* path) {
    UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

std::wstring WindowText(HWND wnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(wnd, text, 256);
    return text;
}

// A key pressed and released, posted to target.
void PostKey(HWND target, UINT vk) {
    ::PostMessageW(target, WM_KEYDOWN, vk, 1);
    ::PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

// Steps run one per timer tick inside the dialog's modal loop (and inside
// any message box it opens); messages a step posts are handled before the
// next tick, since timer messages come last.
class TScript {
  public:
    explicit TScript(std::vector<std::function<void()>> steps) : FSteps(std::move(steps)) {
        tCurrent = this;
        FTimer = ::SetTimer(nullptr, 0, 20, &Tick);
    }
    ~TScript() {
        ::KillTimer(nullptr, FTimer);
        tCurrent = nullptr;
    }
    std::size_t Done() const { return FNext; }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        TScript* self = tCurrent;
        if (!self || self->FNext >= self->FSteps.size())
            return;
        self->FSteps[self->FNext++]();
    }
    static inline TScript* tCurrent = nullptr;
    std::vector<std::function<void()>> FSteps;
    std::size_t FNext = 0;
    UINT_PTR FTimer = 0;
};

class ConfigDialogTest : public ::testing::Test {
  protected:
    TRecordingPlatform Platform;
    TApplication App{Platform};
    TWin32Registry Registry;
    TWin32FileSystem Files;
    fakes::TFakeMessageBoxes Boxes;
    std::string CacheDir;
    std::unique_ptr<TCustomForm> Dialog;

    void SetUp() override {
        SetApplication(&App);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        CacheDir =
            Narrow(temp) + "LumenaryDlgTest-" + std::to_string(::GetCurrentProcessId()) + "\\";
        ::CreateDirectoryW(Widen(CacheDir).c_str(), nullptr);
    }
    void TearDown() override {
        Dialog.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        for (const auto& entry : Files.FindFiles(CacheDir + "*")) {
            const std::wstring path = Widen(CacheDir + entry.Name);
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        }
        ::RemoveDirectoryW(Widen(CacheDir).c_str());
        SetApplication(nullptr);
    }
    TConfigDialogWindow& Open(THandle owner = 0) {
        auto window = std::make_unique<TConfigDialogWindow>(owner);
        TConfigDialogWindow& view = *window;
        Dialog = std::make_unique<TLumenaryConfigDlg>(nullptr, Registry, Files, Boxes, CacheDir,
                                                      std::move(window));
        return view;
    }
    HWND Wnd() { return reinterpret_cast<HWND>(Dialog->Handle()); }
    HWND Item(int id) { return ::GetDlgItem(Wnd(), id); }
    void Click(int id) { ::PostMessageW(Item(id), BM_CLICK, 0, 0); }
    void Key(HWND target, UINT vk) { PostKey(target, vk); }
    int Scale(int pixels) {
        HDC dc = ::GetDC(nullptr);
        const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
        ::ReleaseDC(nullptr, dc);
        return ::MulDiv(pixels, dpi, 96);
    }
    RECT ClientRectOf(int id) {
        RECT rect{};
        ::GetWindowRect(Item(id), &rect);
        ::MapWindowPoints(nullptr, Wnd(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    void ExpectAt(int id, int left, int top, int width, int height) {
        const RECT r = ClientRectOf(id);
        EXPECT_EQ(r.left, Scale(left)) << "control " << id;
        EXPECT_EQ(r.top, Scale(top)) << "control " << id;
        EXPECT_EQ(r.right - r.left, Scale(width)) << "control " << id;
        EXPECT_EQ(r.bottom - r.top, Scale(height)) << "control " << id;
    }
};

TEST_F(ConfigDialogTest, WindowHasTheCaptionSizeAndControlsOfTheLayout) {
    Open();
    EXPECT_EQ(WindowText(Wnd()), Widen("Lumenary設定"));
    RECT client{};
    ::GetClientRect(Wnd(), &client);
    EXPECT_EQ(client.right, Scale(313));
    EXPECT_EQ(client.bottom, Scale(379));
    const LONG style = ::GetWindowLongW(Wnd(), GWL_STYLE);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_FALSE(::IsWindowVisible(Wnd()));
    EXPECT_EQ(::GetWindow(Wnd(), GW_OWNER), nullptr);

    ExpectAt(idURLListBox, 8, 8, 297, 205);
    ExpectAt(idURLList, 10, 22, 293, 189);
    ExpectAt(idURLReloadTime, 152, 216, 37, 20);
    ExpectAt(idURLReloadTimeUpDown, 189, 216, 16, 20);
    ExpectAt(idURLShowTime, 152, 240, 37, 20);
    ExpectAt(idURLShowTimeUpDown, 189, 240, 16, 20);
    ExpectAt(idShowURL, 204, 276, 97, 17);
    ExpectAt(idShowClock, 204, 296, 97, 17);
    ExpectAt(idBackColor, 76, 264, 113, 22);
    ExpectAt(idForeColor, 76, 292, 113, 22);
    ExpectAt(idEnableScroll, 8, 324, 297, 17);
    ExpectAt(idEraseSection, 8, 348, 129, 25);
    ExpectAt(IDOK, 147, 348, 75, 25);
    ExpectAt(IDCANCEL, 227, 348, 75, 25);

    EXPECT_EQ(WindowText(Item(idLabel1)), Widen("再読込までの時間(分/&M)："));
    EXPECT_EQ(WindowText(Item(idEraseSection)), Widen("レジストリキー削除(&E)"));
    EXPECT_EQ(WindowText(Item(IDCANCEL)), Widen("キャンセル"));
    EXPECT_TRUE(::GetWindowLongW(Item(IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
    const LONG memo = ::GetWindowLongW(Item(idURLList), GWL_STYLE);
    EXPECT_TRUE((memo & ES_MULTILINE) && (memo & ES_WANTRETURN) && (memo & WS_HSCROLL));
    EXPECT_FALSE(memo & WS_VSCROLL);
    const LONG spin = ::GetWindowLongW(Item(idURLReloadTimeUpDown), GWL_STYLE);
    EXPECT_EQ(spin & 0xFF, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS);
    EXPECT_EQ(
        reinterpret_cast<HWND>(::SendMessageW(Item(idURLReloadTimeUpDown), UDM_GETBUDDY, 0, 0)),
        Item(idURLReloadTime));
    int low = -1, high = -1;
    ::SendMessageW(Item(idURLShowTimeUpDown), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                   reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 60);
    const LONG chooser = ::GetWindowLongW(Item(idBackColor), GWL_STYLE);
    EXPECT_EQ(chooser & 0x3, CBS_DROPDOWNLIST);
    EXPECT_TRUE(chooser & CBS_OWNERDRAWFIXED);
    EXPECT_EQ(::SendMessageW(Item(idForeColor), CB_GETCOUNT, 0, 0), 50);
    EXPECT_EQ(::SendMessageW(Item(idForeColor), CB_GETITEMHEIGHT, 0, 0), Scale(16));
}

TEST_F(ConfigDialogTest, TabKeyVisitsTheControlsInDesignedOrder) {
    Open();
    const int expected[] = {
        idURLList,   idURLReloadTime, idURLShowTime,  idShowURL, idShowClock, idEraseSection,
        idBackColor, idForeColor,     idEnableScroll, IDOK,      IDCANCEL,    idURLList};
    HWND at = Item(idURLList);
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        at = ::GetNextDlgTabItem(Wnd(), at, FALSE);
        EXPECT_EQ(::GetDlgCtrlID(at), expected[i]) << "after step " << i;
    }
}

TEST_F(ConfigDialogTest, OwnerIsTheParentWindowAndIsDisabledWhileOpen) {
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP, 0, 0, 50, 50, nullptr,
                                    nullptr, nullptr, nullptr);
    Open(reinterpret_cast<THandle>(parent));
    EXPECT_EQ(::GetWindow(Wnd(), GW_OWNER), parent);
    bool enabledWhileOpen = true;
    TScript script({[&] {
        enabledWhileOpen = ::IsWindowEnabled(parent);
        Click(IDCANCEL);
    }});
    EXPECT_EQ(Dialog->ShowModal(), 2);
    EXPECT_FALSE(enabledWhileOpen);
    EXPECT_TRUE(::IsWindowEnabled(parent));
    Dialog.reset();
    ::DestroyWindow(parent);
}

TEST_F(ConfigDialogTest, DefaultsShownCentredAndSavedByOK) {
    Open();
    RECT shown{};
    TScript script({[&] {
        ::GetWindowRect(Wnd(), &shown);
        EXPECT_EQ(::GetFocus(), Item(idURLList));
        EXPECT_EQ(WindowText(Item(idURLReloadTime)), L"1");
        EXPECT_EQ(WindowText(Item(idURLShowTime)), L"5");
        EXPECT_EQ(::SendMessageW(Item(idEnableScroll), BM_GETCHECK, 0, 0), BST_CHECKED);
        Key(Item(idURLShowTime), VK_RETURN);  // Enter outside the URL box is OK
    }});
    EXPECT_EQ(Dialog->ShowModal(), 1);
    const int width = shown.right - shown.left;
    const int height = shown.bottom - shown.top;
    EXPECT_EQ(shown.left, std::max(0, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2));
    EXPECT_EQ(shown.top, std::max(0, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2));
    EXPECT_EQ(RegText(kSettingsKey, L"RefreshTime"), L"1");
    EXPECT_EQ(RegText(kSettingsKey, L"URLShowTime"), L"5");
    EXPECT_EQ(RegText(kSettingsKey, L"EnableScroll"), L"1");
    EXPECT_EQ(RegText(kSettingsKey, L"BackColor"), L"clBtnFace");
    EXPECT_EQ(RegText(kSettingsKey, L"ForeColor"), L"clWindowText");
    EXPECT_FALSE(KeyExists(kURLKey));
}

TEST_F(ConfigDialogTest, CancelEscAndCloseBoxSaveNothing) {
    for (int way = 0; way < 3; ++way) {
        Open();
        TScript script({[&] {
            if (way == 0)
                Click(IDCANCEL);
            if (way == 1)
                Key(Item(idURLList), VK_ESCAPE);
            if (way == 2)
                ::PostMessageW(Wnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        }});
        EXPECT_EQ(Dialog->ShowModal(), 2) << "way " << way;
        Dialog.reset();
        EXPECT_FALSE(KeyExists(kSettingsKey)) << "way " << way;
    }
}

TEST_F(ConfigDialogTest, SpinKeepsItsLastValidPositionAndOKSaysTypedGarbage) {
    SetRegText(kSettingsKey, L"RefreshTime", L"90");
    SetRegText(kSettingsKey, L"URLShowTime", L"7");
    Open();
    EXPECT_EQ(WindowText(Item(idURLReloadTime)), L"60");
    auto selection = [this](int id) {
        DWORD from = 0, to = 0;
        ::SendMessageW(Item(id), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                       reinterpret_cast<LPARAM>(&to));
        return std::make_pair(from, to);
    };
    TScript script({[&] { Key(Item(idURLShowTime), VK_UP); },  // arrow key steps to 8
                    [&] {
                        EXPECT_EQ(WindowText(Item(idURLShowTime)), L"8");
                        ::SetWindowTextW(Item(idURLShowTime), L"abc");
                        ::SetWindowTextW(Item(idURLReloadTime), L"75");
                        Click(IDOK);
                    },
                    [&] {
                        // Said, the box focused with its text selected, nothing saved.
                        ASSERT_EQ(Boxes.Boxes().size(), 1u);
                        EXPECT_NE(Boxes.Boxes()[0].Text.find("「再読込までの時間(分)」の「75」"),
                                  std::string::npos);
                        EXPECT_EQ(::GetFocus(), Item(idURLReloadTime));
                        EXPECT_EQ(selection(idURLReloadTime), std::make_pair(0ul, 2ul));
                        EXPECT_EQ(RegText(kSettingsKey, L"RefreshTime"), L"90");
                        EXPECT_EQ(WindowText(Item(idURLShowTime)), L"abc");
                        // The handler on its own takes each last valid position.
                        static_cast<TLumenaryConfigDlg&>(*Dialog).OKBtnClick();
                        EXPECT_EQ(RegText(kSettingsKey, L"URLShowTime"), L"8");
                        EXPECT_EQ(RegText(kSettingsKey, L"RefreshTime"), L"60");
                        ::SetWindowTextW(Item(idURLReloadTime), L"30");
                        Click(IDOK);
                    },
                    [&] {
                        ASSERT_EQ(Boxes.Boxes().size(), 2u);
                        EXPECT_EQ(::GetFocus(), Item(idURLShowTime));
                        ::SetWindowTextW(Item(idURLShowTime), L"12");
                        Click(IDOK);
                    }});
    EXPECT_EQ(Dialog->ShowModal(), 1);
    EXPECT_EQ(Boxes.Boxes().size(), 2u);
    EXPECT_EQ(RegText(kSettingsKey, L"URLShowTime"), L"12");
    EXPECT_EQ(RegText(kSettingsKey, L"RefreshTime"), L"30");
}

// Lines that are not URLs: listed in a warning; no puts the caret at the
// start of the first of them, yes saves every line as typed. A line saved
// so before is not asked about again.
TEST_F(ConfigDialogTest, LinesThatAreNotURLsAreAskedAboutAndNoGoesToTheFirst) {
    SetRegText(kURLKey, L"1", L"kept.example");
    Open();
    Boxes.Answers = {false};
    const std::wstring typed = L"kept.example\r\nhttp://ok/\r\n\r\nwww.例え.jp\r\nhttp://a b/";
    TScript script({[&] {
                        ::SetWindowTextW(Item(idURLList), typed.c_str());
                        Click(IDOK);
                    },
                    [&] {
                        ASSERT_EQ(Boxes.Boxes().size(), 1u);
                        const std::string text = Boxes.Boxes()[0].Text;
                        EXPECT_EQ(Boxes.Boxes()[0].Caption, "警告");
                        EXPECT_NE(text.find("\n4行目: 「www.例え.jp」"), std::string::npos);
                        EXPECT_NE(text.find("\n5行目: 「http://a b/」 空白"), std::string::npos);
                        EXPECT_EQ(text.find("1行目"), std::string::npos);
                        EXPECT_EQ(::GetFocus(), Item(idURLList));
                        DWORD from = 0, to = 0;
                        ::SendMessageW(Item(idURLList), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                                       reinterpret_cast<LPARAM>(&to));
                        EXPECT_EQ(from, 28u);  // the start of line 4
                        EXPECT_EQ(to, 28u);
                        EXPECT_EQ(::SendMessageW(Item(idURLList), EM_LINEFROMCHAR, from, 0), 3);
                        EXPECT_EQ(WindowText(Item(idURLList)), typed);
                        EXPECT_EQ(RegText(kURLKey, L"2"), L"(missing)");
                        Click(IDOK);  // answered yes
                    }});
    EXPECT_EQ(Dialog->ShowModal(), 1);
    EXPECT_EQ(RegText(kURLKey, L"1"), L"kept.example");
    EXPECT_EQ(RegText(kURLKey, L"3"), L"");
    EXPECT_EQ(RegText(kURLKey, L"4"), L"www.例え.jp");
    EXPECT_EQ(RegText(kURLKey, L"5"), L"http://a b/");
}

// A page's options after its URL: read, not taken for blanks in a URL; one
// that cannot be read is named with its reason (the line by its URL alone,
// never a header's value), and every line is saved exactly as typed.
TEST_F(ConfigDialogTest, PageOptionsAreCheckedAndTheLinesKeptAsTyped) {
    Open();
    Boxes.Answers = {true};
    const std::wstring good =
        L"https://status.example.com/ show=60 refresh=5 hide=\"#cookies, .chat\"";
    const std::wstring bad =
        L"https://b.example/ zoom=900% header=\"Authorization: Bearer s3cret\"";
    TScript script({[&] {
        ::SetWindowTextW(Item(idURLList), (good + L"\r\n" + bad).c_str());
        Click(IDOK);
    }});
    EXPECT_EQ(Dialog->ShowModal(), 1);
    ASSERT_EQ(Boxes.Boxes().size(), 1u);
    const std::string text = Boxes.Boxes()[0].Text;
    EXPECT_EQ(text.find("1行目"), std::string::npos) << text;
    EXPECT_NE(text.find("\n2行目: 「https://b.example/ …」 オプションを読めません (zoom"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("s3cret"), std::string::npos);
    EXPECT_EQ(RegText(kURLKey, L"1"), good);
    EXPECT_EQ(RegText(kURLKey, L"2"), bad);
}

TEST_F(ConfigDialogTest, EnterInTheURLBoxBreaksTheLineAndTabLeavesIt) {
    Open();
    ::SetWindowTextW(Item(idURLList), L"a");
    TScript script({[&] {
                        ::SendMessageW(Item(idURLList), EM_SETSEL, 1, 1);
                        Key(Item(idURLList), VK_RETURN);
                    },
                    [&] {
                        ::PostMessageW(Item(idURLList), WM_CHAR, L'b', 1);
                        Key(Item(idURLList), VK_TAB);
                    },
                    [&] {
                        EXPECT_EQ(WindowText(Item(idURLList)), L"a\r\nb");
                        EXPECT_EQ(::GetFocus(), Item(idURLReloadTime));
                        Click(IDOK);
                    }});
    EXPECT_EQ(Dialog->ShowModal(), 1);
    EXPECT_EQ(RegText(kURLKey, L"1"), L"a");
    EXPECT_EQ(RegText(kURLKey, L"2"), L"b");
}

TEST_F(ConfigDialogTest, AccessKeysOfTheTimeLabelsLeadNowhere) {
    Open();
    TScript script({[&] {
                        ::SetFocus(Item(IDOK));
                        ::PostMessageW(Item(IDOK), WM_SYSCHAR, L'm', 0x20000000);
                        ::PostMessageW(Item(IDOK), WM_CHAR, L's', 0);
                    },
                    [&] {
                        EXPECT_EQ(::GetFocus(), Item(IDOK));
                        ::PostMessageW(Item(IDOK), WM_SYSCHAR, L'b', 0x20000000);
                    },
                    [&] {
                        EXPECT_EQ(::GetFocus(), Item(idBackColor));
                        ::PostMessageW(Item(idBackColor), WM_SYSCHAR, L'r', 0x20000000);
                    },
                    [&] {
                        EXPECT_EQ(::GetFocus(), Item(idEnableScroll));
                        Click(IDCANCEL);
                    }});
    EXPECT_EQ(Dialog->ShowModal(), 2);
    EXPECT_EQ(script.Done(), 4u);
}

TEST_F(ConfigDialogTest, UnofferedColourAndURLsRoundTripThroughTheRealRegistry) {
    SetRegText(kSettingsKey, L"BackColor", L"$00123456");
    SetRegText(kURLKey, L"1", Widen("http://例え.jp/?a=1&b=2"));
    Open();
    EXPECT_EQ(::SendMessageW(Item(idBackColor), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(WindowText(Item(idURLList)), Widen("http://例え.jp/?a=1&b=2\r\n"));
    TScript script({[&] { Click(IDOK); }});
    EXPECT_EQ(Dialog->ShowModal(), 1);
    EXPECT_EQ(RegText(kSettingsKey, L"BackColor"), L"$00123456");
    EXPECT_EQ(RegText(kURLKey, L"1"), Widen("http://例え.jp/?a=1&b=2"));
}

TEST_F(ConfigDialogTest, WrongValueTypeIsReportedShowsTheDefaultAndTheCacheKept) {
    Files.CreateDirectory(CacheDir);
    const std::wstring page = Widen(CacheDir + "0.bmp");
    ::CloseHandle(
        ::CreateFileW(page.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const DWORD number = 5;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"RefreshTime", REG_DWORD, &number,
                      sizeof(number));
    Open();
    EXPECT_EQ(Platform.Reports, std::vector<std::string>{"'RefreshTime' のデータ型が不正です"});
    EXPECT_EQ(WindowText(Item(idURLReloadTime)), L"1");
    EXPECT_NE(::GetFileAttributesW(page.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A show time entered by hand as a number: the dialog reports it once, shows
// its default and everything else as stored, and OK keeps the number and the
// URL list as they were.
TEST_F(ConfigDialogTest, ShowTimeStoredAsNumberSurvivesOKWithEverythingElse) {
    const DWORD ten = 10;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"URLShowTime", REG_DWORD, &ten,
                      sizeof(ten));
    SetRegText(kSettingsKey, L"RefreshTime", L"7");
    SetRegText(kSettingsKey, L"ForeColor", L"clNavy");
    SetRegText(kSettingsKey, L"ShowURL", L"1");
    SetRegText(kURLKey, L"1", L"http://a.example/");
    SetRegText(kURLKey, L"2", L"http://b.example/?x=1&y=2");
    Open();
    EXPECT_EQ(Platform.Reports, std::vector<std::string>{"'URLShowTime' のデータ型が不正です"});
    EXPECT_EQ(WindowText(Item(idURLShowTime)), L"5");
    EXPECT_EQ(WindowText(Item(idURLReloadTime)), L"7");
    EXPECT_EQ(::SendMessageW(Item(idShowURL), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(WindowText(Item(idURLList)), L"http://a.example/\r\nhttp://b.example/?x=1&y=2\r\n");
    TScript script({[&] { Click(IDOK); }});
    EXPECT_EQ(Dialog->ShowModal(), 1);
    const auto showTime = RegRaw(kSettingsKey, L"URLShowTime");
    EXPECT_EQ(showTime.first, DWORD{REG_DWORD});
    EXPECT_EQ(showTime.second, (std::vector<BYTE>{10, 0, 0, 0}));
    EXPECT_EQ(RegText(kSettingsKey, L"RefreshTime"), L"7");
    EXPECT_EQ(RegText(kSettingsKey, L"ForeColor"), L"clNavy");
    EXPECT_EQ(RegText(kSettingsKey, L"ShowURL"), L"1");
    EXPECT_EQ(RegText(kURLKey, L"1"), L"http://a.example/");
    EXPECT_EQ(RegText(kURLKey, L"2"), L"http://b.example/?x=1&y=2");
}

// A URL list entry stored as binary data: the other entries show as bare
// URLs in order; OK keeps the entry, and an edited list is saved around it.
TEST_F(ConfigDialogTest, BinaryURLEntryIsKeptThroughOKAndThroughAnEditedList) {
    const BYTE junk[] = {0xDE, 0xAD, 0xBE, 0xEF};
    SetRegText(kURLKey, L"1", L"http://a.example/?p=1");
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kURLKey, L"2", REG_BINARY, junk, sizeof(junk));
    SetRegText(kURLKey, L"3", L"http://c.example/");
    Open();
    EXPECT_EQ(Platform.Reports, std::vector<std::string>{"'2' のデータ型が不正です"});
    EXPECT_EQ(WindowText(Item(idURLList)), L"http://a.example/?p=1\r\nhttp://c.example/\r\n");
    {
        TScript script({[&] { Click(IDOK); }});
        EXPECT_EQ(Dialog->ShowModal(), 1);
    }
    const std::pair<DWORD, std::vector<BYTE>> kept{REG_BINARY, {0xDE, 0xAD, 0xBE, 0xEF}};
    EXPECT_EQ(RegRaw(kURLKey, L"2"), kept);
    EXPECT_EQ(RegText(kURLKey, L"1"), L"http://a.example/?p=1");
    EXPECT_EQ(RegText(kURLKey, L"3"), L"http://c.example/");

    Open();
    ::SetWindowTextW(Item(idURLList), L"http://a.example/?p=1\r\nhttp://d.example/");
    {
        TScript script({[&] { Click(IDOK); }});
        EXPECT_EQ(Dialog->ShowModal(), 1);
    }
    EXPECT_EQ(RegRaw(kURLKey, L"2"), kept);
    Open();
    EXPECT_EQ(WindowText(Item(idURLList)), L"http://a.example/?p=1\r\nhttp://d.example/\r\n");
    EXPECT_EQ(Platform.Reports.back(), "'2' のデータ型が不正です");
}

TEST_F(ConfigDialogTest, OpeningEmptiesTheCacheOfBitmapsOnly) {
    auto make = [&](const std::string& name, DWORD attributes) {
        const std::wstring path = Widen(CacheDir + name);
        ::CloseHandle(
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ::SetFileAttributesW(path.c_str(), attributes);
        return path;
    };
    const std::wstring plain = make("0.bmp", FILE_ATTRIBUTE_NORMAL);
    const std::wstring hidden = make("1.bmp", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    const std::wstring text = make("notes.txt", FILE_ATTRIBUTE_NORMAL);
    Open();
    EXPECT_EQ(::GetFileAttributesW(plain.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetFileAttributesW(hidden.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesW(text.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ConfigDialogTest, EraseAsksThenRemovesTheKeyAndOKRestoresIt) {
    SetRegText(kSettingsKey, L"ShowURL", L"1");
    SetRegText(kURLKey, L"1", L"u");
    Open();
    bool goneWhileOpen = false;
    TScript script({[&] { Click(idEraseSection); },
                    [&] {
                        goneWhileOpen = !KeyExists(kSettingsKey);
                        Click(IDOK);
                    }});
    EXPECT_EQ(Dialog->ShowModal(), 1);
    EXPECT_TRUE(goneWhileOpen);
    EXPECT_EQ(Boxes.Boxes().size(), 2u);
    EXPECT_EQ(RegText(kSettingsKey, L"ShowURL"), L"1");
    EXPECT_EQ(RegText(kURLKey, L"1"), L"u");
}

// Erase through the real boxes: answered with the access key of yes, the
// notice closed with Return, and the dialog active again for Esc.
TEST_F(ConfigDialogTest, EraseThroughRealBoxesLeavesTheDialogActive) {
    SetRegText(kSettingsKey, L"ShowURL", L"1");
    TWin32MessageBoxes realBoxes;
    Dialog = CreateLumenaryConfigDlg(nullptr, Registry, Files, realBoxes, CacheDir, 0);
    std::wstring notice;
    HWND activeAfter = nullptr;
    TScript script({[&] { Click(idEraseSection); },
                    [&] { ::PostMessageW(::GetFocus(), WM_CHAR, L'y', 0); },
                    [&] {
                        HWND box = ::FindWindowW(L"#32770", Widen("情報").c_str());
                        notice = WindowText(::GetDlgItem(box, 0xFFFF));
                        PostKey(::GetFocus(), VK_RETURN);
                    },
                    [&] {
                        activeAfter = ::GetActiveWindow();
                        PostKey(::GetFocus(), VK_ESCAPE);
                    }});
    EXPECT_EQ(Dialog->ShowModal(), 2);
    EXPECT_EQ(script.Done(), 4u);
    EXPECT_EQ(activeAfter, Wnd());
    EXPECT_FALSE(KeyExists(kSettingsKey));
    EXPECT_EQ(notice, Widen(kEraseDoneNotice));
}

// The icon control of a message box: the static control that shows an icon.
HWND IconControl(HWND box) {
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        ::GetClassNameW(child, name, 16);
        if (std::wstring(name) == L"Static" &&
            (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return child;
    }
    return nullptr;
}

// The box shows the system icon of its kind; it is given as a user icon, so
// that the box adds no sound of its own to the beep before it (Wine's boxes
// play no sound at all, so only the icon can be checked here).
// The real registry, except that one value cannot be set.
class TRegistryFailingOneValue : public TWin32Registry {
  public:
    bool SetStringValue(TKey key, const std::string& name, const std::string& text) override {
        return name != "ShowClock" && TWin32Registry::SetStringValue(key, name, text);
    }
};

TEST_F(ConfigDialogTest, FailedWriteOnOKIsReportedAndTheDialogStaysOpen) {
    TRegistryFailingOneValue failing;
    auto window = std::make_unique<TConfigDialogWindow>(0);
    Dialog = std::make_unique<TLumenaryConfigDlg>(nullptr, failing, Files, Boxes, CacheDir,
                                                  std::move(window));
    bool stillOpen = false;
    std::wstring typed;
    TScript script({
        [&] { ::SetWindowTextW(Item(idURLList), L"http://typed.example/\r\n"); },
        [&] { Click(IDOK); },
        [&] {
            stillOpen = ::IsWindowVisible(Wnd()) != FALSE;
            typed = WindowText(Item(idURLList));
            Click(IDCANCEL);
        },
    });
    EXPECT_EQ(Dialog->ShowModal(), 2);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(typed, L"http://typed.example/\r\n");
    EXPECT_EQ(Platform.Reports, std::vector<std::string>{"'ShowClock' の設定に失敗しました"});
}

// The text of a REG_SZ value of any length, or "(missing)".
std::wstring LongRegText(const wchar_t* key, const wchar_t* name) {
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
        ERROR_SUCCESS)
        return L"(missing)";
    std::wstring text(size / sizeof(wchar_t), L'\0');
    ::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, text.data(), &size);
    text.resize(::wcslen(text.c_str()));
    return text;
}

TEST_F(ConfigDialogTest, UntouchedLongURLIsSavedWholeAndAnEditedOneIsCut) {
    const std::wstring dashboard = L"http://dash.example/#state=" + std::wstring(6000, L'd');
    const std::wstring other = L"http://other.example/?q=" + std::wstring(6000, L'o');
    SetRegText(kURLKey, L"1", dashboard);
    SetRegText(kURLKey, L"2", other);
    Open();
    TScript script({
        [&] {
            // A character typed at the end of the second line.
            const LRESULT start = ::SendMessageW(Item(idURLList), EM_LINEINDEX, 1, 0);
            const LRESULT length = ::SendMessageW(Item(idURLList), EM_LINELENGTH, start, 0);
            ::SendMessageW(Item(idURLList), EM_SETSEL, start + length, start + length);
            ::SendMessageW(Item(idURLList), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"X"));
        },
        [&] { Click(IDOK); },
    });
    EXPECT_EQ(Dialog->ShowModal(), 1);
    EXPECT_EQ(LongRegText(kURLKey, L"1"), dashboard);
    EXPECT_EQ(LongRegText(kURLKey, L"2"), other.substr(0, 4094) + L"X");
}

TEST(Win32MessageBoxes, BoxShowsTheSystemIconOfItsKind) {
    TWin32MessageBoxes boxes;
    const std::pair<std::uint32_t, LPCWSTR> kinds[] = {{MsgIcon::Hand, IDI_HAND},
                                                       {MsgIcon::Question, IDI_QUESTION},
                                                       {MsgIcon::Exclamation, IDI_EXCLAMATION},
                                                       {MsgIcon::Asterisk, IDI_ASTERISK}};
    for (const auto& [kind, icon] : kinds) {
        TMessageBoxRequest request{"text", "情報", kind, TMsgButtons::OneButton, "OK", ""};
        HICON shown = nullptr;
        bool visible = false;
        TScript script({[&] {
            HWND box = ::FindWindowW(L"#32770", Widen("情報").c_str());
            HWND control = IconControl(box);
            if (control) {
                shown = reinterpret_cast<HICON>(::SendMessageW(control, STM_GETICON, 0, 0));
                visible = ::IsWindowVisible(control);
            }
            PostKey(::GetFocus(), VK_RETURN);
        }});
        EXPECT_TRUE(boxes.ShowMessageBox(request));
        EXPECT_EQ(shown, ::LoadIconW(nullptr, icon)) << "kind " << kind;
        EXPECT_TRUE(visible) << "kind " << kind;
    }
}

// The real message boxes: captions, the access key of yes, Esc as no, and
// the place in the middle of the screen.
TEST(Win32MessageBoxes, YesNoBoxHasItsCaptionsAndAnswers) {
    TWin32MessageBoxes boxes;
    TMessageBoxRequest request{
        "text", "確認", MsgIcon::Question, TMsgButtons::AcceptCancel, "はい(&Y)", "いいえ(&N)"};
    std::wstring yes, no;
    RECT place{};
    HWND box = nullptr;
    TScript script({[&] {
                        box = ::FindWindowW(L"#32770", Widen("確認").c_str());
                        yes = WindowText(::GetDlgItem(box, IDOK));
                        no = WindowText(::GetDlgItem(box, IDCANCEL));
                        ::GetWindowRect(box, &place);
                        ::PostMessageW(::GetDlgItem(box, IDOK), WM_CHAR, L'y', 0);
                    },
                    [&] {
                        box = ::FindWindowW(L"#32770", Widen("確認").c_str());
                        PostKey(::GetFocus(), VK_ESCAPE);
                    }});
    EXPECT_TRUE(boxes.ShowMessageBox(request));
    EXPECT_EQ(yes, Widen("はい(&Y)"));
    EXPECT_EQ(no, Widen("いいえ(&N)"));
    EXPECT_EQ(place.left, (::GetSystemMetrics(SM_CXSCREEN) - (place.right - place.left)) / 2);
    EXPECT_FALSE(boxes.ShowMessageBox(request));
}

}  // namespace
}  // namespace lum::win32
