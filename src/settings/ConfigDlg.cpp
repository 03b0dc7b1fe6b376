#include "settings/ConfigDlg.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "common/stdDialogs.h"
#include "common/stdFiles.h"
#include "settings/SettingsStore.h"

namespace lum {

namespace {

std::size_t ChooserSlot(TConfigChooser chooser) {
    return chooser == TConfigChooser::BackColor ? 0 : 1;
}

// Byte length of the UTF-8 sequence that starts with lead, and its size in
// UTF-16 units. Stray continuation bytes count as one character each.
std::pair<std::size_t, std::size_t> CharSize(unsigned char lead) {
    if (lead >= 0xF0)
        return {4, 2};
    if (lead >= 0xE0)
        return {3, 1};
    if (lead >= 0xC0)
        return {2, 1};
    return {1, 1};
}

std::size_t UTF16Length(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto [bytes, width] = CharSize(static_cast<unsigned char>(text[i]));
        i += bytes;
        units += width;
    }
    return units;
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

const std::vector<TColorEntry>& OfferedColors() {
    static const std::vector<TColorEntry> offered = [] {
        std::vector<TColorEntry> result;
        for (const TColorEntry& entry : ColorTable()) {
            if (entry.ChooserName)
                result.push_back(entry);
        }
        return result;
    }();
    return offered;
}

std::int32_t ColorSelectionOf(TColor color) {
    const auto& offered = OfferedColors();
    for (std::size_t i = 0; i < offered.size(); ++i) {
        if (offered[i].Value == color)
            return static_cast<std::int32_t>(i);
    }
    return kNoColorSelection;
}

std::int32_t SpinPositionFromValue(std::int32_t value) {
    // The control keeps a 16-bit signed position: 65541 arrives as 5.
    const auto position = static_cast<std::int16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
    return std::clamp<std::int32_t>(position, kSpinMin, kSpinMax);
}

std::int32_t SpinPositionFromText(std::string_view text, std::int32_t lastValid) {
    if (text.empty() || text.size() > 9)
        return lastValid;
    std::int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return lastValid;
        value = value * 10 + (c - '0');
    }
    return value <= kSpinMax ? value : lastValid;
}

std::string CutLine(std::string_view line, std::size_t maxChars) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        const auto [bytes, width] = CharSize(static_cast<unsigned char>(line[i]));
        if (units + width > maxChars)
            break;
        units += width;
        i = std::min(line.size(), i + bytes);
    }
    return std::string(line.substr(0, i));
}

std::vector<std::string> SplitURLLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(CutLine(text.substr(start, i - start), kMaxURLLineChars));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    // The text after the last break is the last line; when it is empty
    // (an empty box, or a text ending in a break) it is not a line.
    if (start < text.size()) {
        lines.push_back(CutLine(text.substr(start), kMaxURLLineChars));
    }
    return lines;
}

std::string JoinURLLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

TPoint ScreenCenteredPosition(TSize screen, TSize dialog) {
    return TPoint{std::max(0, (screen.Width - dialog.Width) / 2),
                  std::max(0, (screen.Height - dialog.Height) / 2)};
}

TLumenaryConfigDlg::TLumenaryConfigDlg(TComponent* owner,
                                       IRegistry& registry,
                                       IFileSystem& fileSystem,
                                       IMessageBoxes& messageBoxes,
                                       std::string cacheDir,
                                       std::unique_ptr<IConfigDialogView> view)
    : TCustomForm(owner),
      FRegistry(registry),
      FFileSystem(fileSystem),
      FMessageBoxes(messageBoxes),
      FCacheDir(std::move(cacheDir)),
      FView(std::move(view)) {
    FView->SetEvents(TConfigDialogEvents{
        [this] { Application().Guard([this] { OKBtnClick(); }); },
        [this] { Application().Guard([this] { EraseSectionClick(); }); },
    });
    // A failing load is reported and the dialog opens all the same.
    Application().Guard([this] { FormCreate(); });
}

void TLumenaryConfigDlg::FormCreate() {
    // A load failure skips the rest, the emptying of the cache included.
    LoadSettings();
    EmptyPageCache();
}

void TLumenaryConfigDlg::LoadSettings() {
    TSettingsStore store(FRegistry);
    const std::string section = store.SettingsSection();
    FView->SetSpinPosition(TConfigSpin::ReloadTime,
                           SpinPositionFromValue(store.ReadIntValue(section, "RefreshTime", 1)));
    FView->SetSpinPosition(TConfigSpin::ShowTime,
                           SpinPositionFromValue(store.ReadIntValue(section, "URLShowTime", 5)));
    FView->SetChecked(TConfigCheck::ShowURL, store.ReadBoolValue(section, "ShowURL", false));
    FView->SetChecked(TConfigCheck::ShowClock, store.ReadBoolValue(section, "ShowClock", false));
    FView->SetChecked(TConfigCheck::EnableScroll,
                      store.ReadBoolValue(section, "EnableScroll", true));
    const std::pair<TConfigChooser, const char*> colors[] = {
        {TConfigChooser::BackColor, "clBtnFace"}, {TConfigChooser::ForeColor, "clWindowText"}};
    for (const auto& [chooser, def] : colors) {
        const char* name = chooser == TConfigChooser::BackColor ? "BackColor" : "ForeColor";
        std::string text = store.ReadTextValue(section, name, def);
        FView->SetColorSelection(chooser, ColorSelectionOf(TextToColor(text)));
        FLoadedColorText[ChooserSlot(chooser)] = std::move(text);
    }
    LoadURLList(store);
}

void TLumenaryConfigDlg::LoadURLList(TSettingsStore& store) {
    TRedrawSuspended suspended(*FView);
    std::vector<std::string> urls;
    std::vector<std::string> names;
    try {
        store.LoadURLList(urls, &names);
    } catch (...) {
        // The entries read so far stay in the box in their name=URL form.
        FView->SetURLText(JoinURLLines(urls));
        throw;
    }
    CutLoadedURLs(urls, names);
    FView->SetURLText(JoinURLLines(urls));
}

// Each URL passes through the box as name "=" URL before it is reduced to
// the URL, and the box hands out at most kMaxURLLineChars of that line: the
// name and "=" take their share of the limit, whatever the name's length.
void TLumenaryConfigDlg::CutLoadedURLs(std::vector<std::string>& urls,
                                       const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < urls.size() && i < names.size(); ++i) {
        const std::size_t prefix = UTF16Length(names[i]) + 1;
        urls[i] = CutLine(urls[i], kMaxURLLineChars - std::min(prefix, kMaxURLLineChars));
    }
}

void TLumenaryConfigDlg::EmptyPageCache() {
    std::vector<std::string> names;
    ListFiles(FFileSystem, FCacheDir + "*.bmp", 0x3F, names, false);
    for (const std::string& name : names)
        FFileSystem.DeleteFile(FCacheDir + name);
}

std::int32_t TLumenaryConfigDlg::ReadSpin(TConfigSpin spin) {
    return SpinPositionFromText(FView->SpinText(spin), FView->SpinPosition(spin));
}

void TLumenaryConfigDlg::OKBtnClick() {
    TSettingsStore store(FRegistry);
    const std::string section = store.SettingsSection();
    store.WriteIntValue(section, "RefreshTime", ReadSpin(TConfigSpin::ReloadTime));
    store.WriteIntValue(section, "URLShowTime", ReadSpin(TConfigSpin::ShowTime));
    store.WriteBoolValue(section, "ShowURL", FView->Checked(TConfigCheck::ShowURL));
    store.WriteBoolValue(section, "ShowClock", FView->Checked(TConfigCheck::ShowClock));
    store.WriteBoolValue(section, "EnableScroll", FView->Checked(TConfigCheck::EnableScroll));
    for (TConfigChooser chooser : {TConfigChooser::BackColor, TConfigChooser::ForeColor}) {
        const char* name = chooser == TConfigChooser::BackColor ? "BackColor" : "ForeColor";
        const std::int32_t selection = FView->ColorSelection(chooser);
        const auto& offered = OfferedColors();
        if (selection >= 0 && static_cast<std::size_t>(selection) < offered.size()) {
            store.WriteTextValue(section, name, ColorToText(offered[selection].Value));
        } else if (const auto& loaded = FLoadedColorText[ChooserSlot(chooser)]) {
            // No offered colour shows: the stored text is the only trace of
            // the user's choice, so it is kept as it was.
            store.WriteTextValue(section, name, *loaded);
        }
    }
    store.SaveURLList(SplitURLLines(FView->URLText()));
}

void TLumenaryConfigDlg::EraseSectionClick() {
    if (!AskYesNo(FMessageBoxes, kEraseQuestion, mtConfirmation, 0))
        return;
    {
        TSettingsStore store(FRegistry);
        store.EraseKey(store.SettingsSection());
    }
    ShowMsg(FMessageBoxes, kEraseDoneNotice, mtInformation, 0);
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
