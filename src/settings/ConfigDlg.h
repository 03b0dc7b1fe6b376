// The configuration dialog TLumenaryConfigDlg: loads the settings into its
// view and empties the page cache when created, saves on OK, erases the
// settings key on request. Every setting loads on its own: those that fail
// show their default and are reported together in one standard error report,
// and OK leaves them as stored unless the user changed them. A failing save
// is reported likewise and keeps the dialog open with what it shows. Before
// OK saves, it says what the user typed that cannot be meant: a time that
// is no whole number from 0 to 60 keeps the dialog open, lines that are not
// URLs are listed with the question whether to save them as typed.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Forms.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"
#include "platform/Registry.h"
#include "settings/Colors.h"
#include "settings/ConfigDialogView.h"
#include "settings/ConfigDlgChecks.h"
#include "settings/ConfigDlgRules.h"
#include "settings/Settings.h"

namespace lum {

inline constexpr const char* kEraseQuestion =
    "このスクリーンセーバーのレジストリ設定を、すべて削除します";
inline constexpr const char* kEraseDoneNotice =
    "正常に削除されました。\r\"キャンセル\"を押してダイアログを閉じてください。";

// What the erase asks and says; the Linux dialog speaks of its settings file.
struct TConfigDlgTexts {
    std::string EraseQuestion = kEraseQuestion;
    std::string EraseDoneNotice = kEraseDoneNotice;
};

class TLumenaryConfigDlg : public TCustomForm {
  public:
    // Takes over the view and runs FormCreate. cacheDir is the page cache
    // folder with its trailing delimiter.
    TLumenaryConfigDlg(TComponent* owner,
                       IRegistry& registry,
                       IFileSystem& fileSystem,
                       IMessageBoxes& messageBoxes,
                       std::string cacheDir,
                       std::unique_ptr<IConfigDialogView> view,
                       TConfigDlgTexts texts = {});

    // The handlers; each throws the failure it meets. OKBtnClick stores
    // everything in one commit of the store.
    void FormCreate();
    void OKBtnClick();
    void EraseSectionClick();
    // What OK checks first (ConfigDlgChecks.h): a time box holding no valid
    // position is said and focused; flagged URL lines are listed and saved as
    // typed only when the user says so, else the caret goes to the first.
    // False keeps the dialog open, every control as typed.
    bool OKBtnChecks();

    THandle Handle() override { return FView->Handle(); }
    TRect BoundsRect() override { return FView->BoundsRect(); }
    void SetBounds(std::int32_t left,
                   std::int32_t top,
                   std::int32_t width,
                   std::int32_t height) override;
    void SetVisible(bool visible) override;
    // A dialog is never embedded in another window.
    void SetParentWindow(THandle) override {}
    // Centres the dialog on the screen when it is first shown, then runs it.
    int ShowModal() override;
    void WndProc(TMessage&) override {}

    IConfigDialogView& View() { return *FView; }

  private:
    // What the controls showed right after the load.
    struct TShown {
        std::array<std::int32_t, 2> Positions{};
        std::array<bool, 3> Checks{};
        std::array<std::int32_t, 2> Colors{};
        std::vector<std::string> URLLines;
    };

    void LoadSettings();
    void ShowLoaded();
    // Each URL cut as the URL box cuts it while it still carries its name.
    std::vector<std::string> CutLoadedURLs() const;
    // The lines of the URL box, each line the user left as it was loaded
    // given back whole: only edited lines follow the box's line limit.
    std::vector<std::string> URLLinesToSave(const std::vector<std::string>& lines) const;
    void EmptyPageCache();
    std::int32_t ReadSpin(TConfigSpin spin);
    // The texts OK stores for the controls; none for a setting that failed
    // to load and still shows what the load put there.
    TSettingTexts TextsToSave();
    bool ShowsLoadedValue(TSetting setting);
    void PlaceOnScreen();

    IRegistry& FRegistry;
    IFileSystem& FFileSystem;
    IMessageBoxes& FMessageBoxes;
    std::string FCacheDir;
    std::unique_ptr<IConfigDialogView> FView;
    TConfigDlgTexts FTexts;
    TSettingsLoad FLoaded;
    TShown FShown;
    bool FPlaced = false;
};

}  // namespace lum
