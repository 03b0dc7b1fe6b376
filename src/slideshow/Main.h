// The display form: the program's main form and the face of the screen
// saver. It carries the host component, answers its events (full-screen
// run, preview, configuration, close), runs the slide show with a one-second
// timer and paints it. Failures of a handler reach the standard error report.
#pragma once

#include <functional>
#include <memory>

#include "common/Form.h"
#include "host/ZelScreenSaver.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/WebView.h"
#include "slideshow/SlideShow.h"
#include "slideshow/Working.h"

namespace lum {

// The platform services the display form and what it creates need.
struct TDisplayServices {
    IFormWindowFactory& Windows;
    IHostSystem& Host;
    IRegistry& Registry;
    IFileSystem& Files;
    IClock& Clock;
    ILocale& Locale;
    // The capture form's window with its web view, owned by the given window.
    std::function<std::unique_ptr<IWebView>(THandle owner)> CreateWebView;
    // The configuration dialog (its window owned by ParentWnd).
    std::function<std::unique_ptr<TCustomForm>(TComponent* owner)> CreateConfigDialog;
};

class TScreenSaverDisplayForm : public TForm, public ICaptureSource {
  public:
    explicit TScreenSaverDisplayForm(TDisplayServices& services);
    ~TScreenSaverDisplayForm() override;

    // Components, in declaration order.
    std::unique_ptr<TTimer> Timer;
    std::unique_ptr<TZelScreenSaver> ZelScreenSaver;

    // Host events.
    void ZelScreenSaverRunNormal(TZelScreenSaver* Sender, THandle hWnd, THandle hWndParent);
    void ZelScreenSaverRunPreview(TZelScreenSaver* Sender, THandle hWnd, THandle hWndParent);
    void ZelScreenSaverClose(TZelScreenSaver* Sender);
    void ZelScreenSaverCreateConfigForm(TZelScreenSaver* Sender,
                                        std::unique_ptr<TCustomForm>& ConfigForm);
    // Form events.
    void TimerTimer(TTimer* Sender);
    void FormShortCut(const TMessage& Msg, bool& Handled);
    void FormPaint(ICanvas& canvas);

    bool IsShortCut(const TMessage& message) override;

    // What the capture form reads.
    const std::vector<std::string>& URLs() const override { return FShow.FURLs; }
    bool EnableScroll() const override { return FShow.FEnableScroll; }
    std::int32_t Width() const override;
    std::int32_t Height() const override;

    TColor Color = SystemColor(15);     // clBtnFace
    TColor FontColor = SystemColor(8);  // clWindowText
    const TSlideShow& SlideShow() const { return FShow; }
    using TForm::Show;
    TWorkingForm* WorkingForm() { return FWorkingForm.get(); }

  protected:
    void Paint(ICanvas& canvas) override { FormPaint(canvas); }
    void DoClose() override;

  private:
    void ReadSettings();
    void ReleaseRun();

    TDisplayServices& FServices;
    TSlideShow FShow;
    std::unique_ptr<TWorkingForm> FWorkingForm;
    bool FReleased = false;
    bool FInTick = false;
};

// The program's main form, set while it exists.
extern TScreenSaverDisplayForm* ScreenSaverDisplayForm;

}  // namespace lum
