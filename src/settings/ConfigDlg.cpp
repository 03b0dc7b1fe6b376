#include "settings/ConfigDlg.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <map>
#include <utility>

#include "common/stdDialogs.h"
#include "common/stdFiles.h"
#include "settings/SettingsStore.h"

namespace lum {

namespace {

std::size_t ChooserSlot(TConfigChooser chooser) {
    return chooser == TConfigChooser::BackColor ? 0 : 1;
}

// RAII: the URL box does not redraw while it is filled line by line.
class TRedrawSuspended {
  public:
    explicit TRedrawSuspended(IConfigDialogView& view) : FView(view) { FView.SetURLRedraw(false); }
    ~TRedrawSuspended() { FView.SetURLRedraw(true); }
    TRedrawSuspended(const TRedrawSuspended&) = delete;
    TRedrawSuspended& operator=(const TRedrawSuspended&) = delete;

  private:
    IConfigDialogView& FView;
};

}  // namespace

TLumenaryConfigDlg::TLumenaryConfigDlg(TComponent* owner,
                                       IRegistry& registry,
                                       IFileSystem& fileSystem,
                                       IMessageBoxes& messageBoxes,
                                       std::string cacheDir,
                                       std::unique_ptr<IConfigDialogView> view,
                                       TConfigDlgTexts texts)
    : TCustomForm(owner),
      FRegistry(registry),
      FFileSystem(fileSystem),
      FMessageBoxes(messageBoxes),
      FCacheDir(std::move(cacheDir)),
      FView(std::move(view)),
      FTexts(std::move(texts)) {
    FView->SetEvents(TConfigDialogEvents{
        // The dialog closes only when everything was saved.
        [this] {
            bool saved = false;
            Application().Guard([this, &saved] {
                if (!OKBtnChecks())
                    return;
                OKBtnClick();
                saved = true;
            });
            return saved;
        },
        [this] { Application().Guard([this] { EraseSectionClick(); }); },
    });
    // A failing load is reported and the dialog opens all the same.
    Application().Guard([this] { FormCreate(); });
}

void TLumenaryConfigDlg::FormCreate() {
    LoadSettings();
    // Settings that could not be read are reported together. As after any
    // load that met a failure, the page cache is left as it is.
    const std::vector<std::string> messages = FLoaded.Messages();
    if (!messages.empty()) {
        std::string report;
        for (const std::string& message : messages)
            report += (report.empty() ? "" : "\n") + message;
        throw Exception(report);
    }
    EmptyPageCache();
}

void TLumenaryConfigDlg::LoadSettings() {
    {
        TSettingsStore store(FRegistry);
        FLoaded = lum::LoadSettings(store);
    }
    ShowLoaded();
}

void TLumenaryConfigDlg::ShowLoaded() {
    const TSettings& values = FLoaded.Values;
    FView->SetSpinPosition(TConfigSpin::ReloadTime, SpinPositionFromValue(values.RefreshTime));
    FView->SetSpinPosition(TConfigSpin::ShowTime, SpinPositionFromValue(values.URLShowTime));
    FView->SetChecked(TConfigCheck::ShowURL, values.ShowURL);
    FView->SetChecked(TConfigCheck::ShowClock, values.ShowClock);
    FView->SetChecked(TConfigCheck::EnableScroll, values.EnableScroll);
    FView->SetColorSelection(TConfigChooser::BackColor, ColorSelectionOf(values.BackColor));
    FView->SetColorSelection(TConfigChooser::ForeColor, ColorSelectionOf(values.ForeColor));
    FShown.URLLines = CutLoadedURLs();
    {
        TRedrawSuspended suspended(*FView);
        FView->SetURLText(JoinURLLines(FShown.URLLines));
    }
    for (TConfigSpin spin : {TConfigSpin::ReloadTime, TConfigSpin::ShowTime})
        FShown.Positions[static_cast<std::size_t>(spin)] = FView->SpinPosition(spin);
    for (TConfigCheck check :
         {TConfigCheck::ShowURL, TConfigCheck::ShowClock, TConfigCheck::EnableScroll})
        FShown.Checks[static_cast<std::size_t>(check)] = FView->Checked(check);
    for (TConfigChooser chooser : {TConfigChooser::BackColor, TConfigChooser::ForeColor})
        FShown.Colors[ChooserSlot(chooser)] = FView->ColorSelection(chooser);
}

// Each URL passes through the box as name "=" URL before it is reduced to
// the URL, and the box hands out at most kMaxURLLineChars of that line: the
// name and "=" take their share of the limit, whatever the name's length.
std::vector<std::string> TLumenaryConfigDlg::CutLoadedURLs() const {
    std::vector<std::string> urls = FLoaded.Values.URLs;
    const std::vector<std::string>& names = FLoaded.URLNames;
    for (std::size_t i = 0; i < urls.size() && i < names.size(); ++i) {
        const std::size_t prefix = UTF16Length(names[i]) + 1;
        urls[i] = CutLine(urls[i], kMaxURLLineChars - std::min(prefix, kMaxURLLineChars));
    }
    return urls;
}

std::vector<std::string> TLumenaryConfigDlg::URLLinesToSave(
    const std::vector<std::string>& lines) const {
    // Shown line -> the URLs it stands for, in load order.
    std::map<std::string, std::deque<std::string>> whole;
    const std::vector<std::string>& urls = FLoaded.Values.URLs;
    for (std::size_t i = 0; i < urls.size() && i < FShown.URLLines.size(); ++i) {
        if (urls[i] != FShown.URLLines[i])
            whole[FShown.URLLines[i]].push_back(urls[i]);
    }
    std::vector<std::string> result = lines;
    for (std::string& line : result) {
        const auto it = whole.find(line);
        if (it == whole.end())
            continue;
        line = it->second.front();
        if (it->second.size() > 1)
            it->second.pop_front();
    }
    return result;
}

// The page files, the addresses they were captured from and the records of
// pages whose capture failed.
void TLumenaryConfigDlg::EmptyPageCache() {
    for (const char* mask : {"*.bmp", "*.url", "*.failed"}) {
        std::vector<std::string> names;
        ListFiles(FFileSystem, FCacheDir + mask, 0x3F, names, false);
        for (const std::string& name : names)
            FFileSystem.DeleteFile(FCacheDir + name);
    }
}

std::int32_t TLumenaryConfigDlg::ReadSpin(TConfigSpin spin) {
    return SpinPositionFromText(FView->SpinText(spin), FView->SpinPosition(spin));
}

bool TLumenaryConfigDlg::ShowsLoadedValue(TSetting setting) {
    switch (setting) {
        case TSetting::RefreshTime:
            return ReadSpin(TConfigSpin::ReloadTime) == FShown.Positions[0];
        case TSetting::URLShowTime:
            return ReadSpin(TConfigSpin::ShowTime) == FShown.Positions[1];
        case TSetting::ShowURL:
            return FView->Checked(TConfigCheck::ShowURL) == FShown.Checks[0];
        case TSetting::ShowClock:
            return FView->Checked(TConfigCheck::ShowClock) == FShown.Checks[1];
        case TSetting::EnableScroll:
            return FView->Checked(TConfigCheck::EnableScroll) == FShown.Checks[2];
        case TSetting::BackColor:
            return FView->ColorSelection(TConfigChooser::BackColor) == FShown.Colors[0];
        case TSetting::ForeColor:
            return FView->ColorSelection(TConfigChooser::ForeColor) == FShown.Colors[1];
    }
    return false;
}

TSettingTexts TLumenaryConfigDlg::TextsToSave() {
    TSettings values;
    values.RefreshTime = ReadSpin(TConfigSpin::ReloadTime);
    values.URLShowTime = ReadSpin(TConfigSpin::ShowTime);
    values.ShowURL = FView->Checked(TConfigCheck::ShowURL);
    values.ShowClock = FView->Checked(TConfigCheck::ShowClock);
    values.EnableScroll = FView->Checked(TConfigCheck::EnableScroll);
    TSettingTexts texts = values.Texts();
    const auto& offered = OfferedColors();
    for (TConfigChooser chooser : {TConfigChooser::BackColor, TConfigChooser::ForeColor}) {
        const TSetting setting =
            chooser == TConfigChooser::BackColor ? TSetting::BackColor : TSetting::ForeColor;
        const std::int32_t selection = FView->ColorSelection(chooser);
        // No offered colour shows: the text as loaded is the only trace of
        // the user's choice, so it is saved as it was.
        texts[static_cast<std::size_t>(setting)] =
            selection >= 0 && static_cast<std::size_t>(selection) < offered.size()
                ? ColorToText(offered[selection].Value)
                : FLoaded.ColorTexts[ChooserSlot(chooser)];
    }
    for (TSetting setting : kAllSettings) {
        if (FLoaded.Failed(setting) && ShowsLoadedValue(setting))
            texts[static_cast<std::size_t>(setting)].reset();
    }
    return texts;
}

// A value that could not be read is never lost by OK: a setting that failed
// is written only when the user changed it; the URL list keeps its
// unreadable entries, and is left alone while the box shows what was loaded.
void TLumenaryConfigDlg::OKBtnClick() {
    TSettingsStore store(FRegistry);
    SaveSettingTexts(store, TextsToSave());
    const std::vector<std::string> lines = SplitURLLines(FView->URLText());
    if (FLoaded.URLFailures.empty())
        store.SaveURLList(URLLinesToSave(lines));
    else if (lines != FShown.URLLines)
        SaveURLListKeepingUnreadable(store, URLLinesToSave(lines), FLoaded);
    store.Commit();
}

bool TLumenaryConfigDlg::OKBtnChecks() {
    for (TConfigSpin spin : {TConfigSpin::ReloadTime, TConfigSpin::ShowTime}) {
        const std::string warning = SpinTextWarning(spin, FView->SpinText(spin));
        if (warning.empty())
            continue;
        ShowMsg(FMessageBoxes, warning, mtWarning, 0);
        FView->FocusSpinText(spin);
        return false;
    }
    const std::vector<TFlaggedURLLine> flagged =
        FlaggedURLLines(SplitURLLines(FView->URLText()), FShown.URLLines);
    if (flagged.empty() || AskYesNo(FMessageBoxes, FlaggedURLLinesQuestion(flagged), mtWarning, 0))
        return true;
    FView->FocusURLLine(flagged.front().Line);
    return false;
}

void TLumenaryConfigDlg::EraseSectionClick() {
    if (!AskYesNo(FMessageBoxes, FTexts.EraseQuestion, mtConfirmation, 0))
        return;
    {
        TSettingsStore store(FRegistry);
        store.EraseKey(store.SettingsSection());
        store.Commit();
    }
    // What could not be read is gone now: OK writes what the dialog shows.
    FLoaded.Failures = {};
    FLoaded.URLFailures.clear();
    ShowMsg(FMessageBoxes, FTexts.EraseDoneNotice, mtInformation, 0);
}

void TLumenaryConfigDlg::SetBounds(std::int32_t left,
                                   std::int32_t top,
                                   std::int32_t width,
                                   std::int32_t height) {
    FView->SetBounds(TRect{left, top, left + width, top + height});
}

void TLumenaryConfigDlg::SetVisible(bool visible) {
    if (visible)
        PlaceOnScreen();
    FView->SetVisible(visible);
}

int TLumenaryConfigDlg::ShowModal() {
    PlaceOnScreen();
    return FView->ShowModal();
}

// Only the first showing places the dialog; later ones keep where the user
// moved it.
void TLumenaryConfigDlg::PlaceOnScreen() {
    if (FPlaced)
        return;
    FPlaced = true;
    const TRect bounds = FView->BoundsRect();
    const TPoint at =
        ScreenCenteredPosition(FView->ScreenSize(), TSize{bounds.Width(), bounds.Height()});
    FView->SetBounds(TRect{at.X, at.Y, at.X + bounds.Width(), at.Y + bounds.Height()});
}

}  // namespace lum
