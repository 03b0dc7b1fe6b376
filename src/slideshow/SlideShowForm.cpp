// The slide-show form: its run (cache folder, settings, capture form, one
// timer), its tick, its paint, and the shows of several monitors.
#include "slideshow/SlideShowForm.h"

#include "settings/Colors.h"
#include "settings/PageOptions.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "slideshow/MonitorLayout.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageSchedule.h"

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
    StopSharingCapture();
    for (TSlideShowForm* sharer : FCaptureSharers)
        sharer->FCaptureOwner = nullptr;
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
// the form shows one of several, or that of the monitor a trial window is on.
TSize TSlideShowForm::CaptureSize() const {
    const TRect bounds = const_cast<TSlideShowForm*>(this)->BoundsRect();
    if (!FTryMonitors.empty())
        return MonitorSizeOfWindow(FTryMonitors, bounds);
    if (!FMonitorSet.empty())
        return CaptureSizeFor(FMonitorSet);
    return TSize{bounds.Width(), bounds.Height()};
}

std::int32_t TSlideShowForm::Width() const {
    return CaptureSize().Width;
}

std::int32_t TSlideShowForm::Height() const {
    return CaptureSize().Height;
}

void TSlideShowForm::SetOwnMonitor(std::vector<TRect> monitors, const TRect& own) {
    FMonitorSet = OrderedMonitors(std::move(monitors));
    FOwnMonitor = own;
    if (FMonitorSet.size() < 2)
        FMonitorSet.clear();
    // A run under way keeps its page and scales to the monitor of now.
    if (FRunning)
        FShow.FMonitorWidth = FMonitorSet.empty() ? 0 : FOwnMonitor.Width();
}

void TSlideShowForm::ShareCaptureOf(TSlideShowForm& capturing) {
    if (&capturing == this || FCaptureOwner == &capturing)
        return;
    StopSharingCapture();
    FCaptureOwner = &capturing;
    capturing.FCaptureSharers.push_back(this);
}

void TSlideShowForm::StopSharingCapture() {
    if (!FCaptureOwner)
        return;
    std::erase(FCaptureOwner->FCaptureSharers, this);
    FCaptureOwner = nullptr;
}

std::vector<TSlideShow*> TSlideShowForm::CaptureShows() {
    std::vector<TSlideShow*> shows{&FShow};
    for (TSlideShowForm* sharer : FCaptureSharers)
        shows.push_back(&sharer->FShow);
    return shows;
}

// The shows wait for pages not captured yet only while a capture runs for
// them (a pass left out, as another program captures now, leaves them to
// that program's files).
void TSlideShowForm::SetCapturing(bool capturing) {
    for (TSlideShow* show : CaptureShows())
        show->FCapturing = capturing;
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

// The form of one monitor of several starts at its monitor's page
// ("different") or at the first ("same"), and shows pictures wider than its
// monitor scaled down.
void TSlideShowForm::SetUpMonitorShow(const std::string& monitorPages) {
    if (FMonitorSet.empty())
        return;
    const auto pages = static_cast<std::int32_t>(FShow.FURLs.size());
    FShow.FPageIndex = FirstPageOfMonitor(MonitorOrdinal(FMonitorSet, FOwnMonitor), pages,
                                          MonitorPagesFromText(monitorPages));
    FShow.FMonitorWidth = FOwnMonitor.Width();
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
    FShow.StartRun(FServices.Clock.TickCount());
    if (FWorkingForm) {
        FWorkingForm->OnPageTried = [this](std::int32_t index, const std::string& url,
                                           const TPageFailure* failure) {
            for (TSlideShow* show : CaptureShows())
                show->PageTried(index, url, failure);
        };
    }
    Timer->SetEnabled(true);
    // A form that shares another's capture waits as that one's pass does.
    if (FCaptureOwner)
        FShow.FCapturing = FCaptureOwner->FShow.FCapturing;
    else
        StartCapturePass();
}

// A pass of the capture form, if this run has one; a form that shares
// another's capture asks that form for it.
void TSlideShowForm::StartCapturePass() {
    if (FCaptureOwner)
        return FCaptureOwner->StartCapturePass();
    if (FWorkingForm) {
        try {
            FWorkingForm->StartCapture();
        } catch (const std::exception& e) {
            Application().ShowException(e);
        }
    }
    SetCapturing(FWorkingForm != nullptr && !FWorkingForm->PassRefused());
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
    SetUpMonitorShow(FMonitorSet.empty()
                         ? std::string()
                         : store.ReadTextValue(store.SettingsSection(), kMonitorPagesName,
                                               kMonitorPagesDifferent));
}

// The settings read anew before each capture pass, so that a run left alone
// for days follows edits of its settings: the show takes the new list,
// times, switches and colours where it stands.
void TSlideShowForm::ReadSettingsAgain() {
    TSettingsStore store(FServices.Registry);
    TSettings settings = LoadSettings(store).Values;
    NoteRefusedSettings();
    if (settings.URLs.empty() && !FShow.FURLs.empty())
        Application().Log("the URL list is empty now: there is no page to show");
    Color = settings.BackColor;
    FontColor = settings.ForeColor;
    FShow.FRefreshTime = settings.RefreshTime;
    FShow.FURLShowTime = settings.URLShowTime;
    FShow.FShowURL = settings.ShowURL;
    FShow.FShowClock = settings.ShowClock;
    FShow.FEnableScroll = settings.EnableScroll;
    TPages pages = ReadPages(settings.URLs);
    FShow.SetPages(std::move(pages.URLs), std::move(pages.Options));
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

TCaptureOptions TSlideShowForm::CaptureOptions(std::int32_t k) const {
    return CaptureOptionsOf(FShow.OptionsOf(k));
}

void TSlideShowForm::NoteRefusedSettings() {
    std::string path;
    std::string reason;
    if (!FServices.SettingsRefused || !FServices.SettingsRefused(path, reason))
        path.clear();
    FShow.FRefusedSettingsPath = path;
    FShow.FRefusedSettingsReason = reason;
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
    FShow.FBitmap.Clear();
    FShow.FURLs.clear();
    StopSharingCapture();
}

void TSlideShowForm::TimerTimer(TTimer*) {
    // A tick that shows an error box must not run again inside that box.
    if (FInTick || FReleased)
        return;
    FInTick = true;
    try {
        FollowWindowWidth();
        if (FShow.TimerTimer(BoundsRect().Height())) {
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
    PaintDisplay(canvas, FShow, context, FServices.Locale);
}

void TSlideShowForm::WndProc(TMessage& message) {
    if (message.Msg == Msg::DpiChanged && FMonitorBounds.Width() > 0 &&
        FMonitorBounds.Height() > 0) {
        // The monitor keeps its pixels when its scale changes: the form stays
        // on them, and the next paint draws its text at the new scale.
        const TRect& m = FMonitorBounds;
        SetBounds(m.Left, m.Top, m.Width(), m.Height());
        Invalidate();
        return;
    }
    TForm::WndProc(message);
}

}  // namespace lum
