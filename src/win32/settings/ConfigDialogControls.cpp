#include "win32/settings/ConfigDialog.h"

#include <commctrl.h>

#include "settings/ConfigDlg.h"
#include "win32/GdiCanvas.h"
#include "win32/Strings.h"

// The values of the dialog's controls, and the owner-drawn entries of the
// two colour choosers.

namespace lum::win32 {

namespace {

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

std::string ControlText(HWND wnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(wnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(wnd, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

}  // namespace

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
    if (item.CtlType == ODT_COMBOBOX)
        item.itemHeight = Scale(kColorItemHeight);
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
            ::CreateSolidBrush(ResolveColor(offered[item.itemID].Value)));
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

void TConfigDialogWindow::SetSpinPosition(TConfigSpin spin, std::int32_t position) {
    FSpinPositions[spin == TConfigSpin::ReloadTime ? 0 : 1] = position;
    ::SendMessageW(Control(SpinUpDownId(spin)), UDM_SETPOS32, 0, position);
    ::SetWindowTextW(Control(SpinEditId(spin)), std::to_wstring(position).c_str());
}

std::int32_t TConfigDialogWindow::SpinPosition(TConfigSpin spin) {
    return FSpinPositions[spin == TConfigSpin::ReloadTime ? 0 : 1];
}

std::string TConfigDialogWindow::SpinText(TConfigSpin spin) {
    return ControlText(Control(SpinEditId(spin)));
}

// As the dialog manager does for Tab: WM_NEXTDLGCTL moves the focus and
// keeps the default button right; an edit box then selects its whole text.
void TConfigDialogWindow::FocusSpinText(TConfigSpin spin) {
    HWND edit = Control(SpinEditId(spin));
    ::SendMessageW(FWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
}

void TConfigDialogWindow::SetChecked(TConfigCheck check, bool checked) {
    ::SendMessageW(Control(CheckId(check)), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
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
    return ControlText(Control(idURLList));
}

// The edit control ends its lines at CR LF only; the logic also at a lone
// CR or LF, which the box shows without a break. Those count as its own
// line breaks here, so that the caret lands on the line the logic means.
void TConfigDialogWindow::FocusURLLine(std::size_t line) {
    HWND edit = Control(idURLList);
    const std::wstring text = Widen(ControlText(edit));
    std::size_t at = 0;
    for (std::size_t seen = 0; seen < line && at < text.size(); ++at) {
        if (text[at] != L'\r' && text[at] != L'\n')
            continue;
        if (text[at] == L'\r' && at + 1 < text.size() && text[at + 1] == L'\n')
            ++at;
        ++seen;
    }
    ::SendMessageW(FWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    ::SendMessageW(edit, EM_SETSEL, at, at);
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

void TConfigDialogWindow::SetURLRedraw(bool enabled) {
    HWND edit = Control(idURLList);
    ::SendMessageW(edit, WM_SETREDRAW, enabled ? TRUE : FALSE, 0);
    if (enabled)
        ::InvalidateRect(edit, nullptr, TRUE);
}

}  // namespace lum::win32
