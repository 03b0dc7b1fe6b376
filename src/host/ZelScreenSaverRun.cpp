// The run of the host component: set-up, the message filters in front of the
// form and of the translate control, the cursor, and the close sequence with
// the password check.
#include "host/ZelScreenSaver.h"

namespace lum {

namespace {

bool KeyIsDown(IHostSystem& system, std::uint32_t vk) {
    return system.KeyState(vk) < 0;
}

}  // namespace

void TZelScreenSaver::RunSetUp() {
    if (Normal() && !FIsNT) {
        FSystem.SetScreenSaverRunning(true);
        FSaverRunningSet = true;
    }
    InstallFormFilter();
    InstallTranslateFilter();
    ApplyCursor(FShowCursor);
    if (OnInitialize)
        OnInitialize(this, Initialize);
    if (Initialize)
        InitializeBounds();
    FSystem.SetTopmost(SaverWnd);
    FRunSetUp = true;
    for (const TMonitorForm& m : FMonitorForms)
        SetUpMonitorForm(m.Form);
}

void TZelScreenSaver::InstallFormFilter() {
    if (FOldWindowProc)
        return;
    FOldWindowProc = FForm->WindowProc;
    FForm->WindowProc = [this](TMessage& m) { FormWindowProc(m); };
}

void TZelScreenSaver::RemoveFormFilter() {
    if (!FOldWindowProc)
        return;
    FForm->WindowProc = FOldWindowProc;
    FOldWindowProc = nullptr;
}

void TZelScreenSaver::InstallTranslateFilter() {
    if (!FTranslateControl || Loading() || FOldTranslateProc)
        return;
    FOldTranslateProc = FTranslateControl->WindowProc;
    FTranslateControl->WindowProc = [this](TMessage& m) { TranslateWindowProc(m); };
}

void TZelScreenSaver::RemoveTranslateFilter() {
    if (!FOldTranslateProc)
        return;
    if (FTranslateControl)
        FTranslateControl->WindowProc = FOldTranslateProc;
    FOldTranslateProc = nullptr;
}

void TZelScreenSaver::SetShowCursor(bool value) {
    if (value == FShowCursor)
        return;
    FShowCursor = value;
    ApplyCursor(value);
}

void TZelScreenSaver::SetTranslateControl(TWinControl* value) {
    if (value == FTranslateControl)
        return;
    if (value == FForm)
        throw Exception("TranslateControlプロパティにメインフォームを指定することはできません");
    RemoveTranslateFilter();
    if (FTranslateControl)
        FTranslateControl->RemoveFreeNotification(this);
    FTranslateControl = value;
    if (FTranslateControl)
        FTranslateControl->FreeNotification(this);
    InstallTranslateFilter();
}

void TZelScreenSaver::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && FTranslateControl &&
        component == static_cast<TComponent*>(FTranslateControl)) {
        // The control is going away: its handler is not restored.
        FOldTranslateProc = nullptr;
        FTranslateControl = nullptr;
    }
}

void TZelScreenSaver::ApplyCursor(bool show) {
    if (!Normal())
        return;
    // The display counter may stand anywhere; step until it is on the wanted
    // side of zero (each call moves it by one).
    if (show) {
        for (int i = 0; FSystem.ShowCursor(true) < 0 && i < 100000; ++i) {
        }
    } else {
        for (int i = 0; FSystem.ShowCursor(false) >= 0 && i < 100000; ++i) {
        }
    }
}

// The form of a full-screen run covers the primary monitor (the desktop
// window's rectangle when there is one; the forms of the others are added
// by its owner). A preview takes its parent's size.
void TZelScreenSaver::InitializeBounds() {
    if (Normal()) {
        const std::vector<TRect> monitors = FSystem.Monitors();
        if (monitors.size() > 1) {
            const TRect primary = PrimaryMonitor(monitors);
            FForm->SetBounds(primary.Left, primary.Top, primary.Width(), primary.Height());
            return;
        }
    }
    TRect r;
    FSystem.WindowRect(ParentWnd, r);
    FForm->SetBounds(0, 0, r.Width(), r.Height());
}

TRect PrimaryMonitor(const std::vector<TRect>& monitors) {
    for (const TRect& m : monitors) {
        if (m.Left <= 0 && 0 < m.Right && m.Top <= 0 && 0 < m.Bottom)
            return m;
    }
    return monitors.empty() ? TRect{} : monitors.front();
}

bool TZelScreenSaver::TrapKeyHeld() {
    return (TrapEvents & zelteKeyDown) &&
           (KeyIsDown(FSystem, Vk::Menu) || KeyIsDown(FSystem, Vk::Tab) ||
            KeyIsDown(FSystem, Vk::Snapshot));
}

// The first move only notes where the cursor is; a later one away from
// there ends the run.
void TZelScreenSaver::MouseMoved(const TPoint& p) {
    if (!FMouseMoved) {
        FMouseMoved = true;
        FMousePos = p;
    } else if ((TrapEvents & zelteMouseMove) && !(p == FMousePos)) {
        RequestClose();
    }
}

void TZelScreenSaver::FormWindowProc(TMessage& message) {
    const TPoint p = FSystem.CursorPos();
    switch (message.Msg) {
        case Msg::Close:
            if (!CloseSequence())
                return;
            break;
        case Msg::KeyDown:
            if (TrapEvents & zelteKeyDown)
                RequestClose();
            break;
        case Msg::SysCommand:
            if ((message.WParam & 0xFFF0) == kScScreenSave)
                message.Result = 1;
            break;
        case Msg::MouseMove:
            MouseMoved(p);
            break;
        case Msg::LButtonDown:
            if (TrapEvents & zelteMouseDownL)
                RequestClose();
            break;
        case Msg::RButtonDown:
            if (TrapEvents & zelteMouseDownR)
                RequestClose();
            break;
        case Msg::MButtonDown:
            if (TrapEvents & zelteMouseDownM)
                RequestClose();
            break;
        default:
            if (TrapKeyHeld())
                FForm->Perform(Msg::KeyDown, Vk::Escape, 0);
            break;
    }
    if (message.Result == 0 && FOldWindowProc)
        FOldWindowProc(message);
}

bool TZelScreenSaver::CloseSequence() {
    // A close request that arrives while the password dialog of an earlier
    // one is open joins that one: its verdict closes the form or keeps it.
    if (FVerifying)
        return false;
    if (OnClose)
        OnClose(this);
    if (!FShowCursor)
        ApplyCursor(true);
    FVerifying = true;
    bool passed = false;
    try {
        passed = VerifyPassword();
    } catch (...) {
        FVerifying = false;
        throw;
    }
    FVerifying = false;
    if (passed) {
        FForm->SetVisible(false);
        HideMonitorForms();
        return true;
    }
    ApplyCursor(FShowCursor);
    FMousePos = FSystem.CursorPos();
    if (OnCloseCancel)
        OnCloseCancel(this);
    return false;
}

bool TZelScreenSaver::VerifyPassword() {
    if (FIsNT)
        return true;
    if (!FSystem.ScreenSaveUsePasswordExists())
        return true;
    const THandle library = FSystem.LoadLibrary("password.cpl");
    if (!library)
        return true;
    bool passed = true;
    if (FSystem.HasExport(library, "VerifyScreenSavePwd")) {
        FSystem.SetForegroundWindow(SaverWnd);
        passed = FSystem.VerifyScreenSavePwd(library, SaverWnd);
    }
    FSystem.FreeLibrary(library);
    return passed;
}

// The input that ends a run, wherever it arrives: the display form's filter
// (FormWindowProc) judges it.
bool TZelScreenSaver::PassInputToForm(TMessage& message) {
    switch (message.Msg) {
        case Msg::KeyDown:
        case Msg::MouseMove:
        case Msg::LButtonDown:
        case Msg::RButtonDown:
        case Msg::MButtonDown:
            message.Result = FForm->Perform(message.Msg, message.WParam, message.LParam);
            return true;
        default:
            return false;
    }
}

void TZelScreenSaver::TranslateWindowProc(TMessage& message) {
    PassInputToForm(message);
    if (TrapKeyHeld())
        RequestClose();
    if (message.Result == 0 && FOldTranslateProc)
        FOldTranslateProc(message);
}

}  // namespace lum
