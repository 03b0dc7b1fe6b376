#include "slideshow/Main.h"

#include "settings/Colors.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "slideshow/PageCache.h"

namespace lum {

TScreenSaverDisplayForm* ScreenSaverDisplayForm = nullptr;

namespace {

TFormWindowStyle DisplayFormStyle() {
    TFormWindowStyle style;
    style.ClassName = "TScreenSaverDisplayForm";
    style.Caption = kApplicationTitle;
    style.Bounds = TRect{0, 0, 640, 480};
    style.Popup = true;
    style.MainWindow = true;
    return style;
}

}  // namespace

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

std::int32_t TSlideShowForm::Width() const {
    return const_cast<TSlideShowForm*>(this)->BoundsRect().Width();
}

std::int32_t TSlideShowForm::Height() const {
    return const_cast<TSlideShowForm*>(this)->BoundsRect().Height();
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
    Timer->SetEnabled(true);
    if (FWorkingForm) {
        try {
            FWorkingForm->StartCapture();
        } catch (const std::exception& e) {
            Application().ShowException(e);
        }
    }
    FShow.StartRun(FServices.Clock.TickCount());
}

void TSlideShowForm::ReadSettings() {
    // Every setting is read on its own: one that cannot be read (a value of
    // another registry type, a colour text that is no colour) keeps its
    // default, a URL list entry that cannot be read is left out, and the run
    // goes on with the rest, without a report.
    TSettingsStore store(FServices.Registry);
    TSettings settings = LoadSettings(store).Values;
    FShow.FRefreshTime = settings.RefreshTime;
    FShow.FURLShowTime = settings.URLShowTime;
    FShow.FShowURL = settings.ShowURL;
    FShow.FShowClock = settings.ShowClock;
    FShow.FEnableScroll = settings.EnableScroll;
    Color = settings.BackColor;
    FontColor = settings.ForeColor;
    FShow.FURLs = std::move(settings.URLs);
}

TScreenSaverDisplayForm::TScreenSaverDisplayForm(TDisplayServices& services)
    : TSlideShowForm(services, DisplayFormStyle()), FDisplayServices(services) {
    ScreenSaverDisplayForm = this;
    try {
        ZelScreenSaver = std::make_unique<TZelScreenSaver>(this, services.Host);
        // The values stored with the form, applied after construction.
        TZelScreenSaver& host = *ZelScreenSaver;
        host.SetLoading(true);
        host.ConfigTitle = "スクリーンセーバー";
        host.ConfigMessage = "このスクリーンセーバーには、設定できるオプションがありません.";
        host.Initialize = true;
        host.Mutex = true;
        host.MutexName = "TZelScreenSaverMutex[43242875]";
        host.StoreShowCursor(false);
        host.ShowTaskbarIcon = false;
        host.TrapEvents = kAllTrapEvents;
        host.OnClose = [this](TZelScreenSaver* s) { ZelScreenSaverClose(s); };
        host.OnCreateConfigForm = [this](TZelScreenSaver* s, std::unique_ptr<TCustomForm>& f) {
            ZelScreenSaverCreateConfigForm(s, f);
        };
        host.OnRunNormal = [this](TZelScreenSaver* s, THandle w, THandle p) {
            ZelScreenSaverRunNormal(s, w, p);
        };
        host.OnRunPreview = [this](TZelScreenSaver* s, THandle w, THandle p) {
            ZelScreenSaverRunPreview(s, w, p);
        };
        host.Loaded();
    } catch (...) {
        ScreenSaverDisplayForm = nullptr;
        throw;
    }
}

TScreenSaverDisplayForm::~TScreenSaverDisplayForm() {
    // The run goes before the host, which then releases the mutex and the
    // screen-saver flag.
    ShutDownRun();
    ZelScreenSaver.reset();
    if (ScreenSaverDisplayForm == this)
        ScreenSaverDisplayForm = nullptr;
}

void TScreenSaverDisplayForm::ZelScreenSaverRunNormal(TZelScreenSaver*, THandle, THandle) {
    StartRun();
}

void TScreenSaverDisplayForm::ZelScreenSaverRunPreview(TZelScreenSaver*, THandle, THandle) {
    Color = clBlack;
    FontColor = clWhite;
}

void TScreenSaverDisplayForm::ZelScreenSaverClose(TZelScreenSaver*) {
    // Nothing is released yet: the password check may still refuse this
    // close, and the run must then go on. The release comes with the close
    // that really happens (DoClose), once, however many requests came first.
}

void TScreenSaverDisplayForm::DoClose() {
    if (ZelScreenSaver && ZelScreenSaver->Normal())
        ReleaseRun();
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
}

void TScreenSaverDisplayForm::ZelScreenSaverCreateConfigForm(
    TZelScreenSaver*,
    std::unique_ptr<TCustomForm>& ConfigForm) {
    if (FDisplayServices.CreateConfigDialog)
        ConfigForm = FDisplayServices.CreateConfigDialog(this);
}

void TSlideShowForm::TimerTimer(TTimer*) {
    // A tick that shows an error box must not run again inside that box.
    if (FInTick || FReleased)
        return;
    FInTick = true;
    try {
        if (FShow.TimerTimer(Height()) && FWorkingForm)
            FWorkingForm->StartCapture();
    } catch (...) {
        FInTick = false;
        Invalidate();
        throw;
    }
    FInTick = false;
    Invalidate();
}

void TScreenSaverDisplayForm::FormShortCut(const TMessage& Msg, bool& Handled) {
    if (Msg.WParam == Vk::X || Msg.WParam == Vk::Z)
        Handled = true;
}

bool TScreenSaverDisplayForm::IsShortCut(const TMessage& message) {
    if (message.Msg != Msg::KeyDown)
        return false;
    bool handled = false;
    FormShortCut(message, handled);
    return handled;
}

TDisplayMode TScreenSaverDisplayForm::PaintMode() {
    if (ZelScreenSaver && ZelScreenSaver->Normal() && !Released())
        return TDisplayMode::dmNormal;
    if (ZelScreenSaver && ZelScreenSaver->Preview())
        return TDisplayMode::dmPreview;
    return TDisplayMode::dmOther;
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
    PaintDisplay(canvas, FShow, context, FServices.Locale);
}

}  // namespace lum
