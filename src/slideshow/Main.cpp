// The Windows display form: the slide-show form with the screen-saver host
// component, answering its events, and the forms of the other monitors.
#include "slideshow/Main.h"

#include <algorithm>

#include "settings/SettingsStore.h"
#include "slideshow/MonitorLayout.h"

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

// The monitors other than the primary one, in their stable order.
std::vector<TRect> OtherMonitors(const std::vector<TRect>& monitors) {
    const TRect primary = PrimaryMonitor(monitors);
    std::vector<TRect> others = OrderedMonitors(monitors);
    std::erase(others, primary);
    return others;
}

}  // namespace

TScreenSaverDisplayForm::TScreenSaverDisplayForm(TDisplayServices& services)
    : TSlideShowForm(services, DisplayFormStyle()),
      FDisplayServices(services),
      FMonitorServices(services) {
    FMonitorServices.CreateWebView = nullptr;
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
    // screen-saver flag and gives the monitors' forms their handlers back.
    ShutDownRun();
    for (auto& form : FMonitorForms)
        form->ReleaseRun();
    ZelScreenSaver.reset();
    if (ScreenSaverDisplayForm == this)
        ScreenSaverDisplayForm = nullptr;
}

// A form on every monitor, each a slide show of its own starting at its
// monitor's page; this one (sized by the host after this handler) covers
// the primary monitor and captures for all.
void TScreenSaverDisplayForm::ZelScreenSaverRunNormal(TZelScreenSaver*, THandle, THandle) {
    PlaceOnMonitors();
    StartRun();
    for (auto& form : FMonitorForms)
        form->StartRun();
}

// This form takes the primary monitor, the others a form each. Each form
// keeps its monitor's rectangle when the system suggests another on a
// change of scale.
void TScreenSaverDisplayForm::PlaceOnMonitors() {
    const std::vector<TRect> monitors = FDisplayServices.Host.Monitors();
    TRect primary = PrimaryMonitor(monitors);
    if (monitors.size() < 2)
        FDisplayServices.Host.WindowRect(FDisplayServices.Host.DesktopWindow(), primary);
    SetOwnMonitor(monitors, primary);
    SetMonitorBounds(primary);
    if (primary.Width() > 0 && primary.Height() > 0)
        SetBounds(primary.Left, primary.Top, primary.Width(), primary.Height());
    const std::vector<TRect> others =
        monitors.size() < 2 ? std::vector<TRect>{} : OtherMonitors(monitors);
    MatchMonitorForms(others);
    for (std::size_t k = 0; k < others.size(); ++k) {
        const TRect& m = others[k];
        if (!FMonitorForms[k]) {
            // A monitor whose form cannot be made stays blank; the run goes on.
            Application().Guard([&] { FMonitorForms[k] = CreateMonitorForm(m); });
            if (!FMonitorForms[k])
                continue;
            FMonitorForms[k]->SetOwnMonitor(monitors, m);
            if (Running())  // a monitor added while the run goes on
                FMonitorForms[k]->StartRun();
            continue;
        }
        FMonitorForms[k]->SetBounds(m.Left, m.Top, m.Width(), m.Height());
        FMonitorForms[k]->SetOwnMonitor(monitors, m);
        FMonitorForms[k]->SetMonitorBounds(m);
    }
    std::erase(FMonitorForms, nullptr);
}

// Lines the forms up with monitors (entry k: the form of monitors[k], or
// none yet): a form whose monitor is still there stays on it, the others
// take a monitor left without a form, and those left over go (their runs
// end, they hide and are destroyed from the message loop, as one of them
// may be handling the message that got here).
void TScreenSaverDisplayForm::MatchMonitorForms(const std::vector<TRect>& monitors) {
    std::vector<std::unique_ptr<TSlideShowForm>> placed(monitors.size());
    for (auto& form : FMonitorForms) {
        auto same = std::find(monitors.begin(), monitors.end(), form->MonitorBounds());
        if (same != monitors.end() && !placed[std::size_t(same - monitors.begin())])
            placed[std::size_t(same - monitors.begin())] = std::move(form);
    }
    for (auto& form : FMonitorForms) {
        if (!form)
            continue;
        auto free = std::find(placed.begin(), placed.end(), nullptr);
        if (free != placed.end()) {
            *free = std::move(form);
            continue;
        }
        ZelScreenSaver->RemoveMonitorForm(form.get());
        form->ReleaseRun();
        form->SetVisible(false);
        Application().Release(std::move(form));
    }
    FMonitorForms = std::move(placed);
}

std::unique_ptr<TSlideShowForm> TScreenSaverDisplayForm::CreateMonitorForm(const TRect& monitor) {
    TFormWindowStyle style = DisplayFormStyle();
    style.ClassName = "TScreenSaverMonitorForm";
    style.Bounds = monitor;
    style.MainWindow = false;
    auto form = std::make_unique<TSlideShowForm>(FMonitorServices, style);
    form->SetMonitorBounds(monitor);
    form->ShareCaptureOf(*this);
    ZelScreenSaver->AddMonitorForm(form.get());
    return form;
}

// The monitors changed (one added, removed, moved or set to another
// resolution): every form goes to its monitor of now.
void TScreenSaverDisplayForm::WndProc(TMessage& message) {
    if (message.Msg == Msg::DisplayChange && ZelScreenSaver && ZelScreenSaver->Normal() &&
        Running()) {
        Application().Guard([this] { PlaceOnMonitors(); });
    }
    TSlideShowForm::WndProc(message);
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
    if (ZelScreenSaver && ZelScreenSaver->Normal()) {
        ReleaseRun();
        for (auto& form : FMonitorForms)
            form->ReleaseRun();
    }
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
