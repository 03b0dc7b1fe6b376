// The forms of the other monitors of a full-screen run: each has a filter in
// front of its own handler that hands the input ending a run to the form the
// component sits on, so that the run ends, with its close sequence and
// password check, from whichever monitor the input comes.
#include "host/ZelScreenSaver.h"

#include <algorithm>

namespace lum {

namespace {

constexpr std::uint32_t kWsExToolWindow = 0x00000080;

}  // namespace

void TZelScreenSaver::AddMonitorForm(TCustomForm* form) {
    if (!form || form == FForm)
        return;
    for (const TMonitorForm& m : FMonitorForms) {
        if (m.Form == form)
            return;
    }
    FMonitorForms.push_back(TMonitorForm{form, form->WindowProc});
    form->WindowProc = [this, form](TMessage& m) { MonitorFormWindowProc(form, m); };
    if (FRunSetUp)
        SetUpMonitorForm(form);
}

// As the run set-up does for the form: no taskbar button, topmost; then
// shown (the form itself is shown by the message loop, after these).
void TZelScreenSaver::SetUpMonitorForm(TCustomForm* form) {
    const THandle wnd = form->Handle();
    if (!ShowTaskbarIcon)
        FSystem.SetWindowExStyle(wnd, FSystem.WindowExStyle(wnd) | kWsExToolWindow);
    FSystem.SetTopmost(wnd);
    form->SetVisible(true);
}

void TZelScreenSaver::RemoveMonitorForm(TCustomForm* form) {
    auto it = std::find_if(FMonitorForms.begin(), FMonitorForms.end(),
                           [form](const TMonitorForm& m) { return m.Form == form; });
    if (it == FMonitorForms.end())
        return;
    form->WindowProc = it->OldWindowProc;
    FMonitorForms.erase(it);
}

void TZelScreenSaver::RemoveMonitorForms() {
    for (const TMonitorForm& m : FMonitorForms)
        m.Form->WindowProc = m.OldWindowProc;
    FMonitorForms.clear();
}

void TZelScreenSaver::HideMonitorForms() {
    for (const TMonitorForm& m : FMonitorForms)
        m.Form->SetVisible(false);
}

// Input passes the form's filter (FormWindowProc), as a translate control's
// does; the cursor position it compares is the screen's, whichever form
// the mouse is over. A form of a monitor never closes on its own: its close
// is the run's.
void TZelScreenSaver::MonitorFormWindowProc(TCustomForm* form, TMessage& message) {
    if (message.Msg == Msg::Close)
        return RequestClose();
    if (message.Msg == Msg::SysCommand) {
        if ((message.WParam & 0xFFF0) == kScScreenSave)
            message.Result = 1;
    } else if (!PassInputToForm(message) && TrapKeyHeld()) {
        RequestClose();
    }
    if (message.Result != 0)
        return;
    // The list may have changed while the message was handled.
    for (const TMonitorForm& m : FMonitorForms) {
        if (m.Form == form) {
            TWndMethod old = m.OldWindowProc;
            old(message);
            return;
        }
    }
}

}  // namespace lum
