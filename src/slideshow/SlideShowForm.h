// The slide-show form that both programs show: the run (cache folder,
// settings, capture form, one-second timer), its tick and its paint, on one
// monitor or several. Failures of a handler reach the standard error report.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/Form.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/WebView.h"
#include "slideshow/PaintLayout.h"
#include "slideshow/SlideShow.h"
#include "slideshow/Working.h"

namespace lum {

// The platform services a slide-show form and what it creates need.
struct TSlideShowServices {
    IFormWindowFactory& Windows;
    IRegistry& Registry;
    IFileSystem& Files;
    IClock& Clock;
    ILocale& Locale;
    // The capture form's window with its web view, owned by the given window;
    // empty: this run only shows what the cache holds.
    std::function<std::unique_ptr<IWebView>(THandle owner)> CreateWebView;
    // The page cache folder, ending in a delimiter; empty: "LumenaryCache"
    // beside the program.
    std::string CacheDir;
    // Whether the settings were refused as a whole at their last reading (a
    // settings file that is no settings file), with its path and why; empty:
    // a platform whose settings are always read value by value.
    std::function<bool(std::string& path, std::string& reason)> SettingsRefused;
};

// A form that shows the slide show: the run (cache folder, settings, capture
// form, one-second timer), its tick and its paint. The Windows display form
// adds the screen-saver host; the Linux program drives it directly.
class TSlideShowForm : public TForm, public ICaptureSource {
  public:
    TSlideShowForm(TSlideShowServices& services, const TFormWindowStyle& style);
    ~TSlideShowForm() override;

    // Components, in declaration order.
    std::unique_ptr<TTimer> Timer;

    // The form shows one monitor of several (the Windows run and the
    // Linux full-screen run put a form on every monitor; XScreenSaver runs
    // the Linux program once per monitor): it starts at that monitor's page,
    // scales pictures down to its width, and captures at the largest
    // monitor's size. Before the run starts; again while it runs when the
    // monitors change, which keeps the page on screen.
    void SetOwnMonitor(std::vector<TRect> monitors, const TRect& own);
    // The form covers a monitor (bounds, in screen coordinates): when the
    // system tells of another scale of that monitor and suggests another
    // rectangle for the window, the form keeps this one; only its text is
    // drawn at the new scale. Without it the form takes the suggestion.
    void SetMonitorBounds(const TRect& bounds) { FMonitorBounds = bounds; }
    const TRect& MonitorBounds() const { return FMonitorBounds; }
    // The form shows what another form of the same run captures (one
    // capture form serves every monitor's form): it is told of each page
    // tried, waits for pages while that form captures, and its due passes
    // go to that form. Before either run starts. Each form forgets the
    // other when it releases its run or goes.
    void ShareCaptureOf(TSlideShowForm& capturing);
    // The form is an ordinary window on the display (the window of a trial
    // run), not a monitor's: pages are captured at the size of the monitor
    // it is on now, never at its own, so the cache keeps monitor-sized
    // pictures only; pictures wider than the window are shown scaled down to
    // its width, which follows the window as it is resized. An empty list
    // leaves the form as it was. Before the run starts.
    void SetTryWindowMonitors(std::vector<TRect> monitors);
    // Starts the full-screen run: cache folder, settings, capture form,
    // timer, first capture pass.
    void StartRun();
    // Ends the run once: the timer stops, the capture form is disconnected
    // and released, the picture and the list are freed.
    void ReleaseRun();
    void TimerTimer(TTimer* Sender);
    void FormPaint(ICanvas& canvas);

    // What the capture form reads.
    const std::vector<std::string>& URLs() const override { return FShow.FURLs; }
    bool EnableScroll() const override { return FShow.FEnableScroll; }
    bool PageDue(std::int32_t k) const override { return FShow.CaptureDue(k); }
    bool PageScroll(std::int32_t k) const override {
        return FShow.OptionsOf(k).Scroll.value_or(FShow.FEnableScroll);
    }
    TCaptureOptions CaptureOptions(std::int32_t k) const override;
    std::int32_t Width() const override;
    std::int32_t Height() const override;

    TColor Color = SystemColor(15);     // clBtnFace
    TColor FontColor = SystemColor(8);  // clWindowText
    const TSlideShow& SlideShow() const { return FShow; }
    TWorkingForm* WorkingForm() { return FWorkingForm.get(); }
    bool Running() const { return FRunning && !FReleased; }
    bool Released() const { return FReleased; }

    void WndProc(TMessage& message) override;

  protected:
    void Paint(ICanvas& canvas) override { FormPaint(canvas); }
    void DoClose() override;
    // What the paint shows: the run, the preview's title, or the title alone.
    virtual TDisplayMode PaintMode();
    // Stops the timer and destroys the capture form now (form destruction).
    void ShutDownRun();

  private:
    void ReadSettings();
    void ReadSettingsAgain();
    void NoteRefusedSettings();
    // The list's lines read: each page's URL and its options.
    struct TPages {
        std::vector<std::string> URLs;
        std::vector<TPageOptions> Options;
    };
    TPages ReadPages(const std::vector<std::string>& lines);
    void StartCapturePass();
    TSize CaptureSize() const;
    void FollowWindowWidth();
    void SetUpMonitorShow(const std::string& monitorPages);
    // The shows this form's capture tells: its own and those of the forms
    // that share it.
    std::vector<TSlideShow*> CaptureShows();
    void SetCapturing(bool capturing);
    void StopSharingCapture();

    TSlideShowServices& FServices;
    TSlideShow FShow;
    // Every monitor, when the form shows only its own of several.
    std::vector<TRect> FMonitorSet;
    TRect FOwnMonitor;
    std::vector<TRect> FTryMonitors;               // the display's, when the form is a trial window
    TRect FMonitorBounds;                          // empty: the form takes the system's suggestion
    TSlideShowForm* FCaptureOwner = nullptr;       // the form whose capture this one shares
    std::vector<TSlideShowForm*> FCaptureSharers;  // the forms that share this one's
    std::unique_ptr<TWorkingForm> FWorkingForm;
    // The options that could not be read, said once each in the run (a
    // bounded number of them).
    static constexpr std::size_t kMaxSaidProblems = 1000;
    std::set<std::string> FSaidProblems;
    bool FRunning = false;
    bool FReleased = false;
    bool FInTick = false;
};

}  // namespace lum
