// The slide-show form: its run (cache folder, settings, capture form, one
// timer), its tick, its paint, and the shows of several monitors.
#include "slideshow/SlideShowForm.h"

#include "settings/Colors.h"
#include "settings/PageOptions.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "slideshow/MonitorLayout.h"
#include "slideshow/PageCache.h"
#include "slideshow/RegionCanvas.h"

namespace lum {

TSlideShowForm::TSlideShowForm(TSlideShowServices& services, const TFormWindowStyle& style)
    : TForm(nullptr, services.Windows, style),
      FServices(services),
      FShow(services.Files, services.Clock) {
    if (!services.CacheDir.empty())
        FShow.SetCacheDir(services.CacheDir);
    Timer = std::make_unique<TTimer>(this);
    Timer->Interval = 1000;
    Timer->OnTimer = [this](TTimer* sender) { TimerTimer(sender); };
}

TSlideShowForm::~TSlideShowForm() {
    ShutDownRun();
    Timer.reset();
}

void TSlideShowForm::ShutDownRun() {
    if (Timer)
        Timer->SetEnabled(false);
    if (FWorkingForm)
        FWorkingForm->Disconnect();
    FWorkingForm.reset();
}

// The size pages are captured at: the form's, the largest monitor's when
// the form covers several, or that of the monitor a trial window is on.
TSize TSlideShowForm::CaptureSize() const {
    const TRect bounds = const_cast<TSlideShowForm*>(this)->BoundsRect();
    if (!FTryMonitors.empty())
        return MonitorSizeOfWindow(FTryMonitors, bounds);
    if (!FMonitors.empty() || !FMonitorSet.empty())
        return CaptureSizeFor(FMonitors.empty() ? FMonitorSet : FMonitors);
    return TSize{bounds.Width(), bounds.Height()};
}

std::int32_t TSlideShowForm::Width() const {
    return CaptureSize().Width;
}

std::int32_t TSlideShowForm::Height() const {
    return CaptureSize().Height;
}

void TSlideShowForm::SetMonitors(std::vector<TRect> monitors) {
    FMonitors = OrderedMonitors(std::move(monitors));
    if (FMonitors.size() < 2)
        FMonitors.clear();
}

void TSlideShowForm::SetOwnMonitor(std::vector<TRect> monitors, const TRect& own) {
    FMonitorSet = OrderedMonitors(std::move(monitors));
    FOwnMonitor = own;
    if (FMonitorSet.size() < 2)
        FMonitorSet.clear();
}

void TSlideShowForm::SetTryWindowMonitors(std::vector<TRect> monitors) {
    FTryMonitors = OrderedMonitors(std::move(monitors));
}

// A trial window scales pictures to its width as a narrower monitor does,
// at its width of the moment.
void TSlideShowForm::FollowWindowWidth() {
    if (!FTryMonitors.empty())
        FShow.FMonitorWidth = BoundsRect().Width();
}

const TSlideShow& TSlideShowForm::MonitorShow(std::size_t ordinal) const {
    return ordinal == 0 || ordinal > FOtherShows.size() ? FShow : *FOtherShows[ordinal - 1];
}

std::vector<TSlideShow*> TSlideShowForm::Shows() {
    std::vector<TSlideShow*> shows{&FShow};
    for (const auto& show : FOtherShows)
        shows.push_back(show.get());
    return shows;
}

// Every monitor's show takes the settings of the first; each starts at its
// own page ("different") or all at the first ("same"), and shows pictures
// wider than itself scaled down.
void TSlideShowForm::SetUpMonitorShows(const std::string& monitorPages) {
    FOtherShows.clear();
    const TMonitorPages mode = MonitorPagesFromText(monitorPages);
    const auto pages = static_cast<std::int32_t>(FShow.FURLs.size());
    if (!FMonitorSet.empty()) {
        FShow.FPageIndex =
            FirstPageOfMonitor(MonitorOrdinal(FMonitorSet, FOwnMonitor), pages, mode);
        FShow.FMonitorWidth = FOwnMonitor.Width();
        return;
    }
    if (FMonitors.empty())
        return;
    for (std::size_t k = 0; k < FMonitors.size(); ++k) {
        TSlideShow* show = &FShow;
        if (k > 0) {
            FOtherShows.push_back(std::make_unique<TSlideShow>(FServices.Files, FServices.Clock));
            show = FOtherShows.back().get();
            show->SetCacheDir(FShow.CacheDir());
            show->FURLs = FShow.FURLs;
            show->FPageOptions = FShow.FPageOptions;
            show->FRefreshTime = FShow.FRefreshTime;
            show->FURLShowTime = FShow.FURLShowTime;
            show->FShowURL = FShow.FShowURL;
            show->FShowClock = FShow.FShowClock;
            show->FEnableScroll = FShow.FEnableScroll;
            show->FRefusedSettingsPath = FShow.FRefusedSettingsPath;
            show->FRefusedSettingsReason = FShow.FRefusedSettingsReason;
        }
        show->FPageIndex = FirstPageOfMonitor(static_cast<std::int32_t>(k), pages, mode);
        show->FMonitorWidth = FMonitors[k].Width();
    }
}

void TSlideShowForm::StartRun() {
    IFileSystem& files = FServices.Files;
    const std::string cacheDir = FShow.CacheDir();
    files.CreateDirectory(cacheDir);
    FRunning = true;
    FShow.FURLs.clear();
    FShow.FBitmap.Clear();
    // Without its capture form the run still shows the pages cached earlier.
    // Its window has no owner window: an owned window would always stay
    // above the full-screen form, and the capture form lies under it.
    try {
        if (FServices.CreateWebView)
            FWorkingForm =
                std::make_unique<TWorkingForm>(FServices.CreateWebView(0), files, cacheDir, *this);
    } catch (const std::exception& e) {
        FWorkingForm.reset();
        Application().ShowException(e);
    }
    ReadSettings();
    for (TSlideShow* show : Shows())
        show->StartRun(FServices.Clock.TickCount());
    if (FWorkingForm) {
        FWorkingForm->OnPageTried = [this](std::int32_t index, const std::string& url,
                                           const TPageFailure* failure) {
            for (TSlideShow* show : Shows())
                show->PageTried(index, url, failure);
        };
    }
    Timer->SetEnabled(true);
    StartCapturePass();
}

// A pass of the capture form, if this run has one: the shows wait for
// pages not captured yet only while this run captures (a pass left out, as
// another program captures now, leaves them to that program's files).
void TSlideShowForm::StartCapturePass() {
    if (FWorkingForm) {
        try {
            FWorkingForm->StartCapture();
        } catch (const std::exception& e) {
            Application().ShowException(e);
        }
    }
    for (TSlideShow* show : Shows())
        show->FCapturing = FWorkingForm != nullptr && !FWorkingForm->PassRefused();
}

// Every setting is read on its own: one that cannot be read (a value of
// another registry type, a colour text that is no colour) keeps its default,
// a URL list entry that cannot be read is left out, and the run goes on with
// the rest, without a report.
void TSlideShowForm::ReadSettings() {
    TSettingsStore store(FServices.Registry);
    TSettings settings = LoadSettings(store).Values;
    NoteRefusedSettings();
    FShow.FRefreshTime = settings.RefreshTime;
    FShow.FURLShowTime = settings.URLShowTime;
    FShow.FShowURL = settings.ShowURL;
    FShow.FShowClock = settings.ShowClock;
    FShow.FEnableScroll = settings.EnableScroll;
    Color = settings.BackColor;
    FontColor = settings.ForeColor;
    TPages pages = ReadPages(settings.URLs);
    FShow.FURLs = std::move(pages.URLs);
    FShow.FPageOptions = std::move(pages.Options);
    // (A refused settings file has been reported as such.)
    if (FShow.FURLs.empty() && FShow.FRefusedSettingsPath.empty())
        Application().Log(
            "the URL list is empty: there is no page to show; add the pages' "
            "addresses in the settings dialog");
    FollowWindowWidth();
    SetUpMonitorShows(FMonitors.empty() && FMonitorSet.empty()
                          ? std::string()
                          : store.ReadTextValue(store.SettingsSection(), kMonitorPagesName,
                                                kMonitorPagesDifferent));
}

// The settings read anew before each capture pass, so that a run left alone
// for days follows edits of its settings: every show takes the new list,
// times, switches and colours where it stands (the monitors' arrangement
// stays as the run began).
void TSlideShowForm::ReadSettingsAgain() {
    TSettingsStore store(FServices.Registry);
    TSettings settings = LoadSettings(store).Values;
    NoteRefusedSettings();
    if (settings.URLs.empty() && !FShow.FURLs.empty())
        Application().Log("the URL list is empty now: there is no page to show");
    Color = settings.BackColor;
    FontColor = settings.ForeColor;
    for (TSlideShow* show : Shows()) {
        show->FRefreshTime = settings.RefreshTime;
        show->FURLShowTime = settings.URLShowTime;
        show->FShowURL = settings.ShowURL;
        show->FShowClock = settings.ShowClock;
        show->FEnableScroll = settings.EnableScroll;
        TPages pages = ReadPages(settings.URLs);
        show->SetPages(std::move(pages.URLs), std::move(pages.Options));
    }
}

// The pages' addresses and options: each line's URL without the options
// after it (which never reach a URL line, a request or a log: a header's
// value may be a secret). An option that cannot be read is said once in the
// run, and the page goes on without it.
TSlideShowForm::TPages TSlideShowForm::ReadPages(const std::vector<std::string>& lines) {
    TPages pages;
    for (const std::string& line : lines) {
        TURLLine read = ParseURLLine(line);
        for (const std::string& problem : read.Problems) {
            if (FSaidProblems.size() < kMaxSaidProblems &&
                FSaidProblems.insert(read.URL + "\n" + problem).second)
                Application().Log("\"" + read.URL + "\": an option is left out: " + problem);
        }
        pages.URLs.push_back(std::move(read.URL));
        pages.Options.push_back(std::move(read.Options));
    }
    return pages;
}

void TSlideShowForm::NoteRefusedSettings() {
    std::string path;
    std::string reason;
    if (!FServices.SettingsRefused || !FServices.SettingsRefused(path, reason))
        path.clear();
    for (TSlideShow* show : Shows()) {
        show->FRefusedSettingsPath = path;
        show->FRefusedSettingsReason = reason;
    }
}

void TSlideShowForm::DoClose() {
    if (FRunning)
        ReleaseRun();
}

void TSlideShowForm::ReleaseRun() {
    if (FReleased)
        return;
    FReleased = true;
    Timer->SetEnabled(false);
    if (FWorkingForm) {
        // A completion that the control still delivers before the form is
        // destroyed must find nothing to capture into or report.
        FWorkingForm->Disconnect();
        Application().Release(std::move(FWorkingForm));
    }
    for (TSlideShow* show : Shows()) {
        show->FBitmap.Clear();
        show->FURLs.clear();
    }
}

void TSlideShowForm::TimerTimer(TTimer*) {
    // A tick that shows an error box must not run again inside that box.
    if (FInTick || FReleased)
        return;
    FInTick = true;
    try {
        // Every monitor's show ticks in its own height; one capture serves all.
        bool capture = false;
        FollowWindowWidth();
        const std::vector<TSlideShow*> shows = Shows();
        for (std::size_t k = 0; k < shows.size(); ++k) {
            const std::int32_t height =
                FMonitors.empty() ? BoundsRect().Height() : FMonitors[k].Height();
            capture = shows[k]->TimerTimer(height) || capture;
        }
        if (capture) {
            ReadSettingsAgain();
            StartCapturePass();
        }
    } catch (...) {
        FInTick = false;
        Invalidate();
        throw;
    }
    FInTick = false;
    Invalidate();
}

TDisplayMode TSlideShowForm::PaintMode() {
    return Running() ? TDisplayMode::dmNormal : TDisplayMode::dmOther;
}

void TSlideShowForm::FormPaint(ICanvas& canvas) {
    TPaintContext context;
    context.Mode = PaintMode();
    context.Width = canvas.Width();
    context.Height = canvas.Height();
    context.BackColor = Color;
    context.ForeColor = FontColor;
    context.Title = Application().Title;
    context.Now = FServices.Clock.Now();
    FollowWindowWidth();
    if (FMonitors.empty() || context.Mode != TDisplayMode::dmNormal)
        return PaintDisplay(canvas, FShow, context, FServices.Locale);
    // One show a monitor, each in its own rectangle, in their order (left
    // to right): a line of text that runs past its monitor is painted over
    // by the next.
    canvas.FillRect(TRect{0, 0, canvas.Width(), canvas.Height()}, Color);
    const std::vector<TSlideShow*> shows = Shows();
    for (std::size_t k = 0; k < shows.size(); ++k) {
        TRegionCanvas region(canvas, FMonitors[k]);
        context.Width = FMonitors[k].Width();
        context.Height = FMonitors[k].Height();
        PaintDisplay(region, *shows[k], context, FServices.Locale);
    }
}

}  // namespace lum
