// Folder src/win32/settings (lum_win32_settings, in Lumenary.scr): the
// settings dialog (/c). It includes src/win32/browser (the URL box's sign-in
// menu) and what that includes.
//
// The Win32 window of the configuration dialog: the controls of the
// settings dialog laid out in pixels at 96 dpi (scaled to the system dpi),
// its own modal loop, and the factory that builds TLumenaryConfigDlg on it.
// Creating the window throws lum::Exception when Windows refuses it.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "common/Forms.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "settings/ConfigDialogView.h"
#include "win32/BaseWindow.h"
#include "win32/UniqueHandle.h"

namespace lum::win32 {

// Height of a colour chooser entry in pixels at 96 dpi.
inline constexpr int kColorItemHeight = 16;

// Control identifiers (OKBtn and CancelBtn are IDOK and IDCANCEL).
enum TConfigControlId : int {
    idURLListBox = 100,
    idURLList,
    idLabel1,
    idURLReloadTime,
    idURLReloadTimeUpDown,
    idLabel4,
    idURLShowTime,
    idURLShowTimeUpDown,
    idShowConfigs,
    idShowURL,
    idShowClock,
    idEraseSection,
    idLabel2,
    idBackColor,
    idLabel3,
    idForeColor,
    idEnableScroll,
};

class TConfigDialogWindow : public IConfigDialogView,
                            public BaseWindow<TConfigDialogWindow, TDialogWindowKind> {
  public:
    // Creates the dialog hidden, owned by owner (0: no owner window).
    explicit TConfigDialogWindow(THandle owner);
    ~TConfigDialogWindow() override;
    TConfigDialogWindow(const TConfigDialogWindow&) = delete;
    TConfigDialogWindow& operator=(const TConfigDialogWindow&) = delete;

    void SetSpinPosition(TConfigSpin spin, std::int32_t position) override;
    std::int32_t SpinPosition(TConfigSpin spin) override;
    std::string SpinText(TConfigSpin spin) override;
    void FocusSpinText(TConfigSpin spin) override;
    void SetChecked(TConfigCheck check, bool checked) override;
    bool Checked(TConfigCheck check) override;
    void SetColorSelection(TConfigChooser chooser, std::int32_t index) override;
    std::int32_t ColorSelection(TConfigChooser chooser) override;
    void SetURLText(const std::string& text) override;
    std::string URLText() override;
    void FocusURLLine(std::size_t line) override;
    void SetURLRedraw(bool enabled) override;
    THandle Handle() override;
    TRect BoundsRect() override;
    void SetBounds(const TRect& bounds) override;
    void SetVisible(bool visible) override;
    TSize ScreenSize() override;
    int ShowModal() override;
    void SetEvents(TConfigDialogEvents events) override;

    HWND Control(int id) const { return ::GetDlgItem(FWnd, id); }

  private:
    friend class BaseWindow<TConfigDialogWindow, TDialogWindowKind>;
    INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The portable handlers report their own failures; anything else that
    // reaches the dialog procedure ends there.
    void ReportFailure(std::exception_ptr) noexcept {}
    void SetIcons();
    void CreateControls();
    HWND AddControl(const struct TControlDesc& desc);
    void FitLabel(HWND label, const char* text) const;
    void AttachSpin(int editId, int upDownId);
    void FillColorChooser(int id);
    void MeasureItem(MEASUREITEMSTRUCT& item) const;
    void DrawColorItem(const DRAWITEMSTRUCT& item) const;
    void OnCommand(int id, int code);
    bool IsDeadAccessKey(const MSG& msg) const;
    void ShowForInput(HWND wnd);
    void RunModalLoop(HWND wnd);
    int Scale(int pixels) const { return ::MulDiv(pixels, FDpi, 96); }

    int FDpi = 96;
    UniqueHandle<GdiObjectTraits> FFont;
    TConfigDialogEvents FEvents;
    std::array<std::int32_t, 2> FSpinPositions{0, 0};
    int FModalResult = 0;
    bool FFocusSet = false;
};

// Builds the configuration dialog on a new Win32 window owned by parentWnd
// (0: no owner). Runs its load and the emptying of the page cache in
// cacheDir (which ends in a path delimiter).
std::unique_ptr<TCustomForm> CreateLumenaryConfigDlg(TComponent* owner,
                                                     IRegistry& registry,
                                                     IFileSystem& fileSystem,
                                                     IMessageBoxes& messageBoxes,
                                                     const std::string& cacheDir,
                                                     THandle parentWnd);

}  // namespace lum::win32
