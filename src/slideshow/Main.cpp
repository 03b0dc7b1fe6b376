// The Windows display form: the slide-show form with the screen-saver host
// component, answering its events.
#include "slideshow/Main.h"

#include "settings/SettingsStore.h"

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

// The form will cover the whole virtual screen (the host sizes it after this
// handler): each monitor, in the form's coordinates, gets its own show.
void TScreenSaverDisplayForm::ZelScreenSaverRunNormal(TZelScreenSaver*, THandle, THandle) {
    std::vector<TRect> monitors = FDisplayServices.Host.Monitors();
    const TRect all = MonitorsUnion(monitors);
    for (TRect& m : monitors)
        m = TRect{m.Left - all.Left, m.Top - all.Top, m.Right - all.Left, m.Bottom - all.Top};
    SetMonitors(std::move(monitors));
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

void TScreenSaverDisplayForm::ZelScreenSaverCreateConfigForm(
    TZelScreenSaver*,
    std::unique_ptr<TCustomForm>& ConfigForm) {
    if (FDisplayServices.CreateConfigDialog)
        ConfigForm = FDisplayServices.CreateConfigDialog(this);
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

}  // namespace lum
