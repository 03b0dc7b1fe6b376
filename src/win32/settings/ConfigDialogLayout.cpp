// The dialog's window and its controls: their creation from the table below
// in pixels at 96 dpi (scaled to the system dpi), the dialog's font and icons.
#include "win32/settings/ConfigDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "win32/DeviceContexts.h"
#include "win32/Resources.h"
#include "win32/Strings.h"
#include "win32/WindowDpi.h"
#include "win32/browser/UrlEditMenu.h"

namespace lum::win32 {

namespace {

constexpr int kClientWidth = 313;
constexpr int kClientHeight = 379;
constexpr int kColorDropDownItems = 8;
constexpr int kFontHeight = 12;
// No WS_CLIPCHILDREN: group boxes do not paint their inside, the dialog
// paints it for them.
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

}  // namespace

// One control of the dialog: position in client pixels at 96 dpi.
struct TControlDesc {
    int Id;
    const wchar_t* ClassName;
    const char* Text;
    DWORD Style;
    DWORD ExStyle;
    int Left, Top, Width, Height;
};

namespace {

constexpr DWORD kTab = WS_TABSTOP | WS_GROUP;
constexpr DWORD kEdit = ES_AUTOHSCROLL | kTab;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | kTab;
constexpr DWORD kLabel = SS_LEFTNOWORDWRAP;
constexpr DWORD kChooser =
    CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | kTab;
constexpr DWORD kUpDown = UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;

// Creation order is the z-order and so the order of the Tab key. A label
// comes right before the control its access key focuses. The controls
// inside the two group boxes are placed relative to the dialog, since only
// the dialog itself can serve as the parent for dialog navigation.
const TControlDesc kControls[] = {
    {idURLListBox, L"BUTTON", "URLリスト(一行に一つ)", BS_GROUPBOX, 0, 8, 8, 297, 205},
    {idURLList, L"EDIT", "",
     ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN | WS_HSCROLL | kTab,
     WS_EX_CLIENTEDGE, 8 + 2, 8 + 14, 293, 189},
    {idLabel1, L"STATIC", "再読込までの時間(分/&M)：", kLabel, 0, 12, 220, 135, 12},
    {idURLReloadTime, L"EDIT", "0", kEdit, WS_EX_CLIENTEDGE, 152, 216, 37, 20},
    {idURLReloadTimeUpDown, UPDOWN_CLASSW, "", kUpDown, 0, 189, 216, 16, 20},
    {idLabel4, L"STATIC", "1ページの表示時間(秒/&S)：", kLabel, 0, 12, 244, 139, 12},
    {idURLShowTime, L"EDIT", "0", kEdit, WS_EX_CLIENTEDGE, 152, 240, 37, 20},
    {idURLShowTimeUpDown, UPDOWN_CLASSW, "", kUpDown, 0, 189, 240, 16, 20},
    {idShowConfigs, L"BUTTON", "表示", BS_GROUPBOX, 0, 196, 264, 109, 53},
    {idShowURL, L"BUTTON", "表示中URL(&U)", kCheck, 0, 196 + 8, 264 + 12, 97, 17},
    {idShowClock, L"BUTTON", "現在時刻(&C)", kCheck, 0, 196 + 8, 264 + 32, 97, 17},
    {idEraseSection, L"BUTTON", "レジストリキー削除(&E)", BS_PUSHBUTTON | kTab, 0, 8, 348, 129, 25},
    {idLabel2, L"STATIC", "背景色(&B)：", kLabel, 0, 12, 268, 58, 12},
    {idBackColor, L"COMBOBOX", "", kChooser, 0, 76, 264, 113, 22},
    {idLabel3, L"STATIC", "文字色(&F)：", kLabel, 0, 12, 296, 57, 12},
    {idForeColor, L"COMBOBOX", "", kChooser, 0, 76, 292, 113, 22},
    {idEnableScroll, L"BUTTON", "スクロールして全体を表示(&R)", kCheck, 0, 8, 324, 297, 17},
    {IDOK, L"BUTTON", "OK", BS_DEFPUSHBUTTON | kTab, 0, 147, 348, 75, 25},
    {IDCANCEL, L"BUTTON", "キャンセル", BS_PUSHBUTTON | kTab, 0, 227, 348, 75, 25},
};

std::vector<WORD> DialogTemplate(const std::wstring& caption) {
    // style, extended style, no items, x, y, cx, cy, no menu, standard class
    std::vector<WORD> words(11, 0);
    words[0] = LOWORD(kDialogStyle);
    words[1] = HIWORD(kDialogStyle);
    words[2] = LOWORD(kDialogExStyle);
    words[3] = HIWORD(kDialogExStyle);
    for (wchar_t c : caption)
        words.push_back(static_cast<WORD>(c));
    words.push_back(0);
    return words;
}

// The default GUI font at a text height of 12 pixels at 96 dpi.
HFONT CreateDialogFont(int dpi) {
    LOGFONTW font{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    font.lfHeight = -::MulDiv(kFontHeight, dpi, 96);
    font.lfWidth = 0;
    return ::CreateFontIndirectW(&font);
}

}  // namespace

TConfigDialogWindow::TConfigDialogWindow(THandle owner) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);
    HWND ownerWnd = reinterpret_cast<HWND>(owner);
    if (ownerWnd && !::IsWindow(ownerWnd))
        ownerWnd = nullptr;
    const auto words = DialogTemplate(Widen("Lumenary設定"));
    HWND wnd = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                            reinterpret_cast<LPCDLGTEMPLATEW>(words.data()),
                                            ownerWnd, &Procedure, reinterpret_cast<LPARAM>(this));
    if (!wnd)
        throw Exception("設定ダイアログを作成できません");
    // Sized for the monitor the dialog opens on (the system's DPI where
    // windows have no DPI of their own).
    FDpi = WindowDpi(wnd);
    FFont.Reset(CreateDialogFont(FDpi));
    RECT frame{0, 0, Scale(kClientWidth), Scale(kClientHeight)};
    AdjustFrameForDpi(frame, kDialogStyle, kDialogExStyle, FDpi);
    ::SetWindowPos(wnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CreateControls();
    SetIcons();
}

// The program's icon in the title bar (small) and the task switcher (big),
// at the sizes the system uses; a program without the resource shows none.
void TConfigDialogWindow::SetIcons() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const struct {
        WPARAM Kind;
        int Width, Height;
    } icons[] = {{ICON_SMALL, SM_CXSMICON, SM_CYSMICON}, {ICON_BIG, SM_CXICON, SM_CYICON}};
    for (const auto& icon : icons) {
        // Shared: the system keeps the icon as long as the module is loaded.
        HANDLE image = ::LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                    ::GetSystemMetrics(icon.Width), ::GetSystemMetrics(icon.Height),
                                    LR_SHARED);
        if (image)
            ::SendMessageW(FWnd, WM_SETICON, icon.Kind, reinterpret_cast<LPARAM>(image));
    }
}

TConfigDialogWindow::~TConfigDialogWindow() {
    // The window goes before the font its controls use.
    DestroyOwnWindow();
}

void TConfigDialogWindow::CreateControls() {
    for (const TControlDesc& desc : kControls)
        AddControl(desc);
    AttachSpin(idURLReloadTime, idURLReloadTimeUpDown);
    AttachSpin(idURLShowTime, idURLShowTimeUpDown);
    FillColorChooser(idBackColor);
    FillColorChooser(idForeColor);
    // The URL box takes any amount of text (the default stops typing at
    // 30000 characters).
    ::SendMessageW(Control(idURLList), EM_SETLIMITTEXT, 0, 0);
    // Its context menu adds the sign-in window for the caret's URL.
    AttachUrlEditMenu(Control(idURLList));
}

HWND TConfigDialogWindow::AddControl(const TControlDesc& desc) {
    int height = desc.Height;
    // A combo box's window height includes its dropped-down list.
    if (std::wstring_view(desc.ClassName) == L"COMBOBOX")
        height += kColorItemHeight * kColorDropDownItems + 2;
    HWND wnd = ::CreateWindowExW(desc.ExStyle, desc.ClassName, Widen(desc.Text).c_str(),
                                 WS_CHILD | WS_VISIBLE | desc.Style, Scale(desc.Left),
                                 Scale(desc.Top), Scale(desc.Width), Scale(height), FWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(desc.Id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!wnd)
        throw Exception("設定ダイアログを作成できません");
    ::SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
    if (desc.Style == kLabel)
        FitLabel(wnd, desc.Text);
    return wnd;
}

// A label is as wide as its text in the dialog's font, whatever font the
// system substitutes, so that it is never cut off.
void TConfigDialogWindow::FitLabel(HWND label, const char* text) const {
    RECT extent{0, 0, 0, 0};
    {
        const WindowDc dc(label);
        if (!dc)
            return;
        const SelectedObject font(dc.Get(), FFont.Get());
        const std::wstring wide = Widen(text);
        ::DrawTextW(dc.Get(), wide.c_str(), static_cast<int>(wide.size()), &extent,
                    DT_CALCRECT | DT_SINGLELINE);
    }
    RECT rect{};
    ::GetWindowRect(label, &rect);
    ::SetWindowPos(label, nullptr, 0, 0, extent.right,
                   std::max<int>(rect.bottom - rect.top, extent.bottom),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// UDS_ALIGNRIGHT moves the spin control onto the edit box's right edge and
// narrows the edit box by its own idea of a spin width; both are put back
// on their designed places afterwards, side by side.
void TConfigDialogWindow::AttachSpin(int editId, int upDownId) {
    HWND edit = Control(editId);
    HWND upDown = Control(upDownId);
    ::SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    ::SendMessageW(upDown, UDM_SETRANGE32, 0, 60);
    ::SendMessageW(upDown, UDM_SETPOS32, 0, 0);
    for (const TControlDesc& desc : kControls) {
        if (desc.Id != editId && desc.Id != upDownId)
            continue;
        ::SetWindowPos(Control(desc.Id), nullptr, Scale(desc.Left), Scale(desc.Top),
                       Scale(desc.Width), Scale(desc.Height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace lum::win32
