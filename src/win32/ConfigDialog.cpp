#include "win32/ConfigDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "settings/ConfigDlg.h"
#include "win32/Strings.h"

namespace lum::win32 {

namespace {

constexpr int kClientWidth = 313;
constexpr int kClientHeight = 379;
constexpr int kColorItemHeight = 16;
constexpr int kColorDropDownItems = 8;
constexpr int kFontHeight = 12;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

}  // namespace

// One control of the dialog: position in client pixels at 96 dpi.
struct TControlSpec {
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
constexpr DWORD kChooser =
    CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | kTab;
constexpr DWORD kUpDown = UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;

// Creation order is the z-order and so the order of the Tab key. A label
// comes right before the control its access key focuses. The controls
// inside the two group boxes are placed relative to the dialog, since only
// the dialog itself can serve as the parent for dialog navigation.
const TControlSpec kControls[] = {
    {idURLListBox, L"BUTTON", "URLリスト(一行に一つ)", BS_GROUPBOX, 0, 8, 8, 297, 205},
    {idURLList, L"EDIT", "",
     ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN | WS_HSCROLL | kTab,
     WS_EX_CLIENTEDGE, 8 + 2, 8 + 14, 293, 189},
    {idLabel1, L"STATIC", "再読込までの時間(分/&M)：", SS_LEFT, 0, 12, 220, 135, 12},
    {idURLReloadTime, L"EDIT", "0", kEdit, WS_EX_CLIENTEDGE, 152, 216, 37, 20},
    {idURLReloadTimeUpDown, UPDOWN_CLASSW, "", kUpDown, 0, 189, 216, 16, 20},
    {idLabel4, L"STATIC", "1ページの表示時間(秒/&S)：", SS_LEFT, 0, 12, 244, 139, 12},
    {idURLShowTime, L"EDIT", "0", kEdit, WS_EX_CLIENTEDGE, 152, 240, 37, 20},
    {idURLShowTimeUpDown, UPDOWN_CLASSW, "", kUpDown, 0, 189, 240, 16, 20},
    {idShowConfigs, L"BUTTON", "表示", BS_GROUPBOX, 0, 196, 264, 109, 53},
    {idShowURL, L"BUTTON", "表示中URL(&U)", kCheck, 0, 196 + 8, 264 + 12, 97, 17},
    {idShowClock, L"BUTTON", "現在時刻(&C)", kCheck, 0, 196 + 8, 264 + 32, 97, 17},
    {idEraseSection, L"BUTTON", "レジストリキー削除(&E)", BS_PUSHBUTTON | kTab, 0, 8, 348, 129,
     25},
    {idLabel2, L"STATIC", "背景色(&B)：", SS_LEFT, 0, 12, 268, 58, 12},
    {idBackColor, L"COMBOBOX", "", kChooser, 0, 76, 264, 113, 22},
    {idLabel3, L"STATIC", "文字色(&F)：", SS_LEFT, 0, 12, 296, 57, 12},
    {idForeColor, L"COMBOBOX", "", kChooser, 0, 76, 292, 113, 22},
    {idEnableScroll, L"BUTTON", "スクロールして全体を表示(&R)", kCheck, 0, 8, 324, 297, 17},
    {IDOK, L"BUTTON", "OK", BS_DEFPUSHBUTTON | kTab, 0, 147, 348, 75, 25},
    {IDCANCEL, L"BUTTON", "キャンセル", BS_PUSHBUTTON | kTab, 0, 227, 348, 75, 25},
};

int SpinEditId(TConfigSpin spin) {
    return spin == TConfigSpin::ReloadTime ? idURLReloadTime : idURLShowTime;
}
int SpinUpDownId(TConfigSpin spin) {
    return spin == TConfigSpin::ReloadTime ? idURLReloadTimeUpDown : idURLShowTimeUpDown;
}
int CheckId(TConfigCheck check) {
    switch (check) {
        case TConfigCheck::ShowURL:
            return idShowURL;
        case TConfigCheck::ShowClock:
            return idShowClock;
        case TConfigCheck::EnableScroll:
            break;
    }
    return idEnableScroll;
}
int ChooserId(TConfigChooser chooser) {
    return chooser == TConfigChooser::BackColor ? idBackColor : idForeColor;
}

// An in-memory dialog template without controls: the dialog manager then
// gives the window its keyboard navigation, default button and Esc, and
// the controls are added in pixels afterwards.
std::vector<WORD> DialogTemplate(const std::wstring& caption) {
    std::vector<WORD> words;
    auto dword = [&words](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    dword(kDialogStyle);
    dword(kDialogExStyle);
    words.insert(words.end(), {0, 0, 0, 0, 0});  // no items; x, y, cx, cy
    words.insert(words.end(), {0, 0});           // no menu, the standard class
    words.insert(words.end(), caption.begin(), caption.end());
    words.push_back(0);
    return words;
}

int ScreenDpi() {
    HDC dc = ::GetDC(nullptr);
    const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ::ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

// The default GUI font at a text height of 12 pixels at 96 dpi.
HFONT CreateDialogFont(int dpi) {
    LOGFONTW font{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    font.lfHeight = -::MulDiv(kFontHeight, dpi, 96);
    font.lfWidth = 0;
    return ::CreateFontIndirectW(&font);
}

COLORREF ColorRef(TColor color) {
    if (IsSystemColor(color)) return ::GetSysColor(SystemColorIndex(color));
    return static_cast<COLORREF>(color) & 0x00FFFFFF;
}

}  // namespace

TConfigDialogWindow::TConfigDialogWindow(THandle owner) : FDpi(ScreenDpi()) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);
    FFont.Reset(CreateDialogFont(FDpi));
    HWND ownerWnd = reinterpret_cast<HWND>(owner);
    if (ownerWnd && !::IsWindow(ownerWnd)) ownerWnd = nullptr;
    const auto words = DialogTemplate(Widen("Lumenary設定"));
    HWND wnd = ::CreateDialogIndirectParamW(
        ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), ownerWnd,
        &DialogProc, reinterpret_cast<LPARAM>(this));
    if (!wnd) throw Exception("設定ダイアログを作成できません");
    FWnd.Reset(wnd);
    RECT frame{0, 0, Scale(kClientWidth), Scale(kClientHeight)};
    ::AdjustWindowRectEx(&frame, kDialogStyle, FALSE, kDialogExStyle);
    ::SetWindowPos(wnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CreateControls();
}

TConfigDialogWindow::~TConfigDialogWindow() {
    // The window goes before the font its controls use.
    if (FWnd) ::SetWindowLongPtrW(FWnd.Get(), DWLP_USER, 0);
    FWnd.Reset();
}

void TConfigDialogWindow::CreateControls() {
    for (const TControlSpec& spec : kControls) AddControl(spec);
    AttachSpin(idURLReloadTime, idURLReloadTimeUpDown);
    AttachSpin(idURLShowTime, idURLShowTimeUpDown);
    FillColorChooser(idBackColor);
    FillColorChooser(idForeColor);
    // The URL box takes any amount of text (the default stops typing at
    // 30000 characters).
    ::SendMessageW(Control(idURLList), EM_SETLIMITTEXT, 0, 0);
}

HWND TConfigDialogWindow::AddControl(const TControlSpec& spec) {
    int height = spec.Height;
    // A combo box's window height includes its dropped-down list.
    if (spec.Style & CBS_DROPDOWNLIST)
        height += kColorItemHeight * kColorDropDownItems + 2;
    HWND wnd = ::CreateWindowExW(spec.ExStyle, spec.ClassName, Widen(spec.Text).c_str(),
                                 WS_CHILD | WS_VISIBLE | spec.Style, Scale(spec.Left),
                                 Scale(spec.Top), Scale(spec.Width), Scale(height), FWnd.Get(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.Id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!wnd) throw Exception("設定ダイアログを作成できません");
    ::SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
    return wnd;
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
    for (const TControlSpec& spec : kControls) {
        if (spec.Id != editId && spec.Id != upDownId) continue;
        ::SetWindowPos(Control(spec.Id), nullptr, Scale(spec.Left), Scale(spec.Top),
                       Scale(spec.Width), Scale(spec.Height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TConfigDialogWindow::FillColorChooser(int id) {
    HWND combo = Control(id);
    for (const TColorEntry& entry : OfferedColors()) {
        ::SendMessageW(combo, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Widen(entry.ChooserName).c_str()));
    }
    // -1 is the selection field: 16 pixels make the closed box 22 high.
    ::SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Scale(kColorItemHeight));
    ::SendMessageW(combo, CB_SETITEMHEIGHT, 0, Scale(kColorItemHeight));
    ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

void TConfigDialogWindow::MeasureItem(MEASUREITEMSTRUCT& item) const {
    if (item.CtlType == ODT_COMBOBOX) item.itemHeight = Scale(kColorItemHeight);
}

// An entry: a square swatch of the entry's height inset by 1 pixel, framed
// in the text colour, then the name 5 pixels to its right, centred.
void TConfigDialogWindow::DrawColorItem(const DRAWITEMSTRUCT& item) const {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF back = ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    const COLORREF fore = ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    RECT rect = item.rcItem;
    UniqueHandle<GdiObjectTraits> backBrush(::CreateSolidBrush(back));
    ::FillRect(item.hDC, &rect, static_cast<HBRUSH>(backBrush.Get()));
    const auto& offered = OfferedColors();
    if (item.itemID < offered.size()) {
        const int side = rect.bottom - rect.top;
        RECT swatch{rect.left + 1, rect.top + 1, rect.left + side - 1, rect.bottom - 1};
        UniqueHandle<GdiObjectTraits> fill(
            ::CreateSolidBrush(ColorRef(offered[item.itemID].Value)));
        UniqueHandle<GdiObjectTraits> frame(::CreateSolidBrush(fore));
        ::FillRect(item.hDC, &swatch, static_cast<HBRUSH>(fill.Get()));
        ::FrameRect(item.hDC, &swatch, static_cast<HBRUSH>(frame.Get()));
        RECT text{swatch.right + Scale(5), rect.top, rect.right, rect.bottom};
        const std::wstring name = Widen(offered[item.itemID].ChooserName);
        ::SetBkMode(item.hDC, TRANSPARENT);
        ::SetTextColor(item.hDC, fore);
        ::DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &text,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        ::DrawFocusRect(item.hDC, &rect);
}

INT_PTR CALLBACK TConfigDialogWindow::DialogProc(HWND wnd, UINT msg, WPARAM wParam,
                                                 LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        ::SetWindowLongPtrW(wnd, DWLP_USER, lParam);
        return FALSE;  // the focus is set when the dialog is shown
    }
    auto* self = reinterpret_cast<TConfigDialogWindow*>(::GetWindowLongPtrW(wnd, DWLP_USER));
    if (!self) return FALSE;
    // No exception may leave a window procedure: the portable handlers
    // report their own failures, anything else ends here.
    try {
        return self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

INT_PTR TConfigDialogWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:  // the close box
            FModalResult = 2;
            return TRUE;
        case WM_MEASUREITEM:
            MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DRAWITEM:
            DrawColorItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_VSCROLL:
            // An arrow of a spin control moved it: its new position is the
            // last valid one from now on.
            if (LOWORD(wParam) == SB_THUMBPOSITION) {
                const auto position = static_cast<std::int32_t>(static_cast<short>(HIWORD(wParam)));
                if (reinterpret_cast<HWND>(lParam) == Control(idURLReloadTimeUpDown))
                    FSpinPositions[0] = position;
                else if (reinterpret_cast<HWND>(lParam) == Control(idURLShowTimeUpDown))
                    FSpinPositions[1] = position;
            }
            return TRUE;
        default:
            return FALSE;
    }
}

void TConfigDialogWindow::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDOK:
            // The result is set before the handler runs, so a failing save
            // still closes the dialog.
            FModalResult = 1;
            if (FEvents.OKBtnClick) FEvents.OKBtnClick();
            break;
        case IDCANCEL:
            FModalResult = 2;
            break;
        case idEraseSection:
            if (FEvents.EraseSectionClick) FEvents.EraseSectionClick();
            break;
        default:
            break;
    }
}

// The labels of the two time boxes have access keys that lead nowhere. The
// dialog manager would move the focus to the control after such a label, so
// their letters are dropped before it sees them: with Alt always, without
// Alt where the focused control takes no characters (then a bare letter is
// an access key too).
bool TConfigDialogWindow::IsDeadAccessKey(const MSG& msg) const {
    if (msg.message != WM_SYSCHAR && msg.message != WM_CHAR) return false;
    const wint_t key = std::towupper(static_cast<wint_t>(msg.wParam));
    if (key != L'M' && key != L'S') return false;
    if (msg.hwnd != FWnd.Get() && !::IsChild(FWnd.Get(), msg.hwnd)) return false;
    if (msg.message == WM_SYSCHAR) return true;
    const LRESULT code = ::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam,
                                        reinterpret_cast<LPARAM>(&msg));
    return (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) == 0;
}

int TConfigDialogWindow::ShowModal() {
    HWND wnd = FWnd.Get();
    HWND owner = ::GetWindow(wnd, GW_OWNER);
    const bool disableOwner = owner && ::IsWindowEnabled(owner);
    if (disableOwner) ::EnableWindow(owner, FALSE);
    ::ShowWindow(wnd, SW_SHOW);
    ::SetForegroundWindow(wnd);
    if (!FFocusSet) {
        FFocusSet = true;
        ::SetFocus(Control(idURLList));  // the first control of the Tab order
    }
    FModalResult = 0;
    MSG msg{};
    while (FModalResult == 0 && ::IsWindow(wnd)) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // WM_QUIT belongs to the outer loop: leave it there and cancel.
            if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
            FModalResult = 2;
            break;
        }
        if (IsDeadAccessKey(msg)) continue;
        if (!::IsDialogMessageW(wnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    // The owner is enabled before the dialog hides, so that the activation
    // goes back to it and not to another program.
    if (disableOwner) ::EnableWindow(owner, TRUE);
    if (::IsWindow(wnd)) ::ShowWindow(wnd, SW_HIDE);
    return FModalResult;
}

void TConfigDialogWindow::SetSpinPosition(TConfigSpin spin, std::int32_t position) {
    FSpinPositions[spin == TConfigSpin::ReloadTime ? 0 : 1] = position;
    ::SendMessageW(Control(SpinUpDownId(spin)), UDM_SETPOS32, 0, position);
    ::SetWindowTextW(Control(SpinEditId(spin)), std::to_wstring(position).c_str());
}

std::int32_t TConfigDialogWindow::SpinPosition(TConfigSpin spin) {
    return FSpinPositions[spin == TConfigSpin::ReloadTime ? 0 : 1];
}

std::string TConfigDialogWindow::SpinText(TConfigSpin spin) {
    HWND edit = Control(SpinEditId(spin));
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void TConfigDialogWindow::SetChecked(TConfigCheck check, bool checked) {
    ::SendMessageW(Control(CheckId(check)), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED,
                   0);
}

bool TConfigDialogWindow::Checked(TConfigCheck check) {
    return ::SendMessageW(Control(CheckId(check)), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TConfigDialogWindow::SetColorSelection(TConfigChooser chooser, std::int32_t index) {
    ::SendMessageW(Control(ChooserId(chooser)), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::int32_t TConfigDialogWindow::ColorSelection(TConfigChooser chooser) {
    const LRESULT index = ::SendMessageW(Control(ChooserId(chooser)), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? kNoColorSelection : static_cast<std::int32_t>(index);
}

void TConfigDialogWindow::SetURLText(const std::string& text) {
    ::SetWindowTextW(Control(idURLList), Widen(text).c_str());
}

std::string TConfigDialogWindow::URLText() {
    HWND edit = Control(idURLList);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void TConfigDialogWindow::SetURLRedraw(bool enabled) {
    HWND edit = Control(idURLList);
    ::SendMessageW(edit, WM_SETREDRAW, enabled ? TRUE : FALSE, 0);
    if (enabled) ::InvalidateRect(edit, nullptr, TRUE);
}

THandle TConfigDialogWindow::Handle() { return reinterpret_cast<THandle>(FWnd.Get()); }

TRect TConfigDialogWindow::BoundsRect() {
    RECT rect{};
    ::GetWindowRect(FWnd.Get(), &rect);
    return TRect{rect.left, rect.top, rect.right, rect.bottom};
}

void TConfigDialogWindow::SetBounds(const TRect& bounds) {
    ::SetWindowPos(FWnd.Get(), nullptr, bounds.Left, bounds.Top, bounds.Width(), bounds.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void TConfigDialogWindow::SetVisible(bool visible) {
    ::ShowWindow(FWnd.Get(), visible ? SW_SHOW : SW_HIDE);
}

TSize TConfigDialogWindow::ScreenSize() {
    return TSize{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

void TConfigDialogWindow::SetEvents(TConfigDialogEvents events) { FEvents = std::move(events); }

std::unique_ptr<TCustomForm> CreateLumenaryConfigDlg(TComponent* owner, IRegistry& registry,
                                                     IFileSystem& fileSystem,
                                                     IMessageBoxes& messageBoxes,
                                                     const std::string& cacheDir,
                                                     THandle parentWnd) {
    return std::make_unique<TLumenaryConfigDlg>(owner, registry, fileSystem, messageBoxes,
                                                cacheDir,
                                                std::make_unique<TConfigDialogWindow>(parentWnd));
}

}  // namespace lum::win32
