// Folder src/linux/settings (lum_linux_settings, in lumenary only): the GTK
// settings dialog (--config). It includes src/linux/session (its sign-in
// buttons) and what that includes.
//
// The settings dialog of the Linux program in GTK 3: the controls of the
// Windows dialog with its Japanese captions (URL list, the two times with
// spin buttons, URL line, clock, scrolling, two colour choosers with
// swatches, erase, OK, Cancel), run modally in a main loop of its own. The
// erase speaks of the settings file, not of a registry. Under the URL list,
// sign-in and sign-out buttons act on the kept web session.
// Creating it needs an open display, else it throws lum::Exception.
#pragma once

#include <gtk/gtk.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/Forms.h"
#include "linux/IniRegistry.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "settings/ConfigDialogView.h"

namespace lum::gtk {

// The dialog's widgets, for its wiring and for tests.
enum class TConfigWidget {
    URLListBox,  // the frame around URLList
    URLList,     // a GtkTextView
    SignInBtn,   // under the URL list: opens the sign-in window
    SignOutBtn,
    Label1,
    URLReloadTime,  // a GtkSpinButton: the edit box and its spin control in one
    Label4,
    URLShowTime,
    ShowConfigs,  // the frame around ShowURL and ShowClock
    ShowURL,
    ShowClock,
    EraseSection,
    Label2,
    BackColor,  // a GtkComboBox
    Label3,
    ForeColor,
    EnableScroll,
    OKBtn,
    CancelBtn,
    Count
};

// The erase button's caption, and its question naming the settings file.
inline constexpr const char* kLinuxEraseCaption = "設定をすべて削除(&E)";
std::string LinuxEraseQuestion(const std::string& settingsPath);

inline constexpr const char* kSignInCaption = "サインイン...";
inline constexpr const char* kSignOutCaption = "サインアウト";

// What the sign-in and sign-out buttons work with; the dialog fills in
// the real ones, tests replace them.
struct TDialogWebSession {
    // Opens the sign-in window for url without waiting for it; throws
    // lum::Exception when it cannot be started. By default it starts
    // SignInProgram and reports in a box when it ends unsuccessfully.
    std::function<void(const std::string& url)> StartSignIn;
    std::string SignInProgram;  // the sign-in program beside this one
    // The first URL of the saved list, for a box without any.
    std::function<std::string()> SavedFirstUrl;
    std::string DataDir;   // the kept session's folder
    std::string LockPath;  // the capture lock that a user of the session holds
    std::string CacheDir;  // the page cache, whose pictures go with the session
};

// Starts program with the single argument url as a process of its own
// that outlives the dialog; when it ends unsuccessfully, failed (if set)
// gets how, from the main loop. Throws lum::Exception when it cannot start.
void StartProgram(const std::string& program,
                  const std::string& url,
                  std::function<void(const std::string& how)> failed = {});

class TGtkConfigDialog : public IConfigDialogView {
  public:
    // Creates the dialog window hidden; the erase button's tip names the
    // settings file. Message boxes of the sign-in and sign-out buttons go
    // to messageBoxes. Throws lum::Exception without a display.
    TGtkConfigDialog(const std::string& settingsPath, IMessageBoxes& messageBoxes);
    ~TGtkConfigDialog() override;
    TGtkConfigDialog(const TGtkConfigDialog&) = delete;
    TGtkConfigDialog& operator=(const TGtkConfigDialog&) = delete;

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
    // The box is filled in one go, so there is no redrawing to suspend.
    void SetURLRedraw(bool) override {}
    // The GtkWindow* as an integer.
    THandle Handle() override;
    TRect BoundsRect() override;
    void SetBounds(const TRect& bounds) override;
    void SetVisible(bool visible) override;
    TSize ScreenSize() override;
    int ShowModal() override;
    void SetEvents(TConfigDialogEvents events) override;

    GtkWidget* Window() const { return FWindow; }
    GtkWidget* Control(TConfigWidget id) const { return FControls[static_cast<int>(id)]; }
    // Ends the modal run as the buttons do: 1 runs OKBtnClick first, 2 not.
    void EndModal(int result);
    TDialogWebSession& WebSession() { return FWebSession; }
    // The buttons' actions: the sign-in window for the URL under the text
    // cursor, and the sign-out with its question and its report.
    void SignInClick();
    void SignOutClick();

  private:
    void CreateControls();
    void AttachTimes(GtkGrid* grid);
    void AttachColors(GtkGrid* grid);
    GtkWidget* CreateButtons();
    void SetTabOrder(GtkWidget* grid, GtkWidget* session, GtkWidget* buttons);
    GtkWidget* CreateURLBox();
    GtkWidget* CreateSpin(TConfigWidget id);
    GtkWidget* CreateChooser(TConfigWidget id);
    GtkWidget* CreateShowConfigs();
    GtkWidget* CreateSessionButtons();
    std::string CursorLineUrl();
    void ReportSignOut();
    void StartSignInProgram(const std::string& url);
    GtkWidget*& Slot(TConfigWidget id) { return FControls[static_cast<int>(id)]; }
    static gboolean KeyPressed(GtkWidget* widget, GdkEventKey* event, gpointer data);
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);

    GtkWidget* FWindow = nullptr;
    std::array<GtkWidget*, static_cast<int>(TConfigWidget::Count)> FControls{};
    TConfigDialogEvents FEvents;
    IMessageBoxes& FMessageBoxes;
    TDialogWebSession FWebSession;
    // Ends with the dialog: a program's end reported later finds it gone.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    int FModalResult = 0;
    bool FFocusSet = false;
};

// Builds the settings dialog TLumenaryConfigDlg on a new GTK dialog: runs
// its load and the emptying of the page cache in cacheDir (which ends in
// "/"). Failures of the load are shown by the application's error report.
std::unique_ptr<TCustomForm> CreateLumenaryConfigDlg(TComponent* owner,
                                                     TIniRegistry& registry,
                                                     IFileSystem& fileSystem,
                                                     IMessageBoxes& messageBoxes,
                                                     const std::string& cacheDir);

// For the settings file while the dialog runs: every problem on standard
// error, and those the user should know of (an unreadable or malformed file,
// a file kept aside) in a message box as well. A failed save is reported by
// the dialog itself.
TIniProblemSink DialogProblemSink(IMessageBoxes& messageBoxes);

}  // namespace lum::gtk
