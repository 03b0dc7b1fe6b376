// Folder src/slideshow (lum_slideshow, in every program): the page cache,
// failure cards, the display form, the capture form. It includes src/settings
// and src/host; with them it is the portable core, which includes no system
// header but the C++ library's.
//
// The display form: the program's main form and the face of the screen
// saver. Its slide-show part (slideshow/SlideShowForm.h) runs the show with a
// one-second timer and paints it; the Windows form adds the host component
// and answers its events (full-screen run, preview, configuration, close).
// A full-screen run on several monitors puts a form of its own on each other
// monitor (sharing this form's capture) and follows the monitors as they
// change. Failures of a handler reach the standard error report.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "common/Form.h"
#include "host/ZelScreenSaver.h"
#include "slideshow/SlideShowForm.h"

namespace lum {

// What the Windows display form needs besides: the screen-saver host's
// system services and the configuration dialog (its window owned by
// ParentWnd).
struct TDisplayServices : TSlideShowServices {
    IHostSystem& Host;
    std::function<std::unique_ptr<TCustomForm>(TComponent* owner)> CreateConfigDialog;
};

class TScreenSaverDisplayForm : public TSlideShowForm {
  public:
    explicit TScreenSaverDisplayForm(TDisplayServices& services);
    ~TScreenSaverDisplayForm() override;

    // Components, in declaration order (after Timer).
    std::unique_ptr<TZelScreenSaver> ZelScreenSaver;

    // Host events.
    void ZelScreenSaverRunNormal(TZelScreenSaver* Sender, THandle hWnd, THandle hWndParent);
    void ZelScreenSaverRunPreview(TZelScreenSaver* Sender, THandle hWnd, THandle hWndParent);
    void ZelScreenSaverClose(TZelScreenSaver* Sender);
    void ZelScreenSaverCreateConfigForm(TZelScreenSaver* Sender,
                                        std::unique_ptr<TCustomForm>& ConfigForm);
    // Form events.
    void FormShortCut(const TMessage& Msg, bool& Handled);

    bool IsShortCut(const TMessage& message) override;
    using TForm::Show;
    void WndProc(TMessage& message) override;

    // The forms of the other monitors of a full-screen run, in the order of
    // their monitors (left to right); this form covers the primary one.
    std::size_t MonitorFormCount() const { return FMonitorForms.size(); }
    TSlideShowForm& MonitorForm(std::size_t k) { return *FMonitorForms.at(k); }

  protected:
    void DoClose() override;
    TDisplayMode PaintMode() override;

  private:
    void PlaceOnMonitors();
    std::unique_ptr<TSlideShowForm> CreateMonitorForm(const TRect& monitor);
    void MatchMonitorForms(const std::vector<TRect>& monitors);

    TDisplayServices& FDisplayServices;
    // What the forms of the other monitors use: these services without a
    // capture of their own (they share this form's).
    TSlideShowServices FMonitorServices;
    std::vector<std::unique_ptr<TSlideShowForm>> FMonitorForms;
};

// The program's main form, set while it exists.
extern TScreenSaverDisplayForm* ScreenSaverDisplayForm;

}  // namespace lum
