// Folder src/engine (lum_engine, in lumenary-capture and lumenary-sign-in,
// never in lumenary): the browser engine: the WebKitGTK view, its steps,
// picture, failures, sandbox, data store, the sign-in window and its prompts.
// It includes src/linux/session and what that includes; only it includes
// WebKitGTK.
//
// The web view of the page capture on Linux: one off-screen WebKitGTK view in
// an ephemeral session, whose every step ends within a time limit. A page that
// cannot be shown fails (OnDocumentFailed); one that never finishes loading is
// taken as it stands. Destroying the view ends its helper processes.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "engine/WebKitSandbox.h"
#include "platform/WebView.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitUserContentManager WebKitUserContentManager;
typedef struct _GObject GObject;
typedef struct _GAsyncResult GAsyncResult;
typedef struct _GError GError;

namespace lum {

class TWebKitSteps;

struct TWebKitLimits {
    // A page still loading after this is taken as it stands; one that has not
    // answered at all by then fails.
    std::chrono::milliseconds Load{20000};
    // Measuring the page (a script in the page's process).
    std::chrono::milliseconds Script{5000};
    // Drawing the whole page into a picture.
    std::chrono::milliseconds Snapshot{20000};
    // A loaded page that has not settled by then is taken as it stands.
    std::chrono::milliseconds Settle{10000};
    // How long a settled page has shown no change.
    std::chrono::milliseconds Quiet{500};
};

// Needs GTK initialised (gtk_init) and a display. Creating it is cheap: the
// helper processes start with the first page, each page process in WebKit's
// sandbox (bubblewrap: no view of the user's files), muted. What each page
// comes to:
// - shown (HTML, text, an image, "about:blank"): OnDocumentComplete with the
//   document's URL once it has finished loading;
// - not loaded: OnDocumentFailed, once, with the kind of failure and WebKit's
//   own words: a connection refused or not made (a port WebKit never
//   connects to too), a name not found, an HTTP status of 400 or more, a
//   download (an attachment or a kind WebKit does not show), a certificate
//   that is not trusted (never accepted), anything else; no error page is
//   drawn and nothing is saved; a "javascript:" address fails at once;
// - still loading at the load limit: OnDocumentComplete as it stands if
//   anything of it has arrived, else OnDocumentFailed (no answer);
// - a page process stuck in a script is ended (the step or load that waits on
//   it fails); a page held up by the stuck one before it is loaded again in a
//   fresh process;
// - dialogs close at once, permissions, new windows, printing and downloads
//   are refused: nothing waits for a user; a site's login gets the password
//   kept in the desktop keyring, else none, and its refusal (401) fails the
//   page with the reason.
// A page that loads itself again (a script, a refresh) reports that load too.
// SettlePage waits, within the settle limit, until the page is quiet: loaded,
// its fonts there, no request of its scripts (fetch, XMLHttpRequest) in
// flight, no timer of theirs pending that is due within the limit, no image
// in view still loading, no move to another address due within the limit,
// and no change of its document for the quiet time. Then it scrolls the page
// through one view at a time, waiting briefly at each for what comes into
// view (lazy images, more stories), and back to its top: within a number of
// views, the height cap and a time limit of its own.
// MeasurePage measures the page as laid out at the size SetViewSize gave last
// (it asks again, within the script limit, until the page has that size).
// Navigate while a load is still pending may, when WebKit swaps page
// processes, end as the blank page or at the load limit: one event either way.
class TWebKitWebView final : public IWebView {
  public:
    // Throws lum::Exception when the page sandbox cannot start (see
    // CheckPageSandbox): pages are never loaded without it.
    // keptSession: the pages are loaded in Lumenary's kept web session (the
    // sign-ins of "lumenary --sign-in"), else in a session of their own that
    // nothing outlives.
    explicit TWebKitWebView(const TWebKitLimits& limits = {},
                            const TSandboxTools& sandbox = {},
                            bool keptSession = false);
    ~TWebKitWebView() override;
    TWebKitWebView(const TWebKitWebView&) = delete;
    TWebKitWebView& operator=(const TWebKitWebView&) = delete;

    void Navigate(const std::string& url) override;
    // Zoom and headers go with each Navigate's load (not with loads a page
    // starts itself), the wait comes at the end of SettlePage, and
    // MeasurePage first hides what Hide selects (a selector list the engine
    // rejects hides nothing, which is said on standard error) and, with a
    // Crop, answers the size of the first element it selects: its border
    // box in the view's pixels, rounded out and within the page. TakePicture
    // is then that box (at the size asked for) from its top left.
    void SetCaptureOptions(const TCaptureOptions& options) override;
    void SetViewSize(const TSize& size) override;
    void SettlePage(std::function<void(bool settled)> done, TStepFailed failed) override;
    void MeasurePage(std::function<void(TSize scrollSize)> done, TStepFailed failed) override;
    void TakePicture(const TSize& size,
                     std::function<void(TPageBitmap& picture)> done,
                     TStepFailed failed) override;

    // The view's size as the widget has it now (for checks).
    TSize ViewSize() const;
    // Whether the view is silent (it always is: a saver makes no sound).
    bool Muted() const;

  private:
    enum class TLoad { Idle, Requested, Loading, Ended };
    using TPictureDone = std::function<void(TPageBitmap& picture)>;
    using TMeasured = std::function<void(TSize scrollSize)>;

    void Connect();
    void OnLoadChanged(int event);
    void OnLoadFinished();
    void OnLoadFailed(const std::string& uri, const GError* error);
    void OnCertificateRefused(const std::string& uri, unsigned errors);
    bool OnResponse(void* decision);
    // The site asked for a password and gets none: none is kept for host, or
    // the kept one was refused. Its refusal, if it comes, says why.
    void OnLoginRefused(const std::string& host, bool keptRefused);
    void OnProcessEnded();
    void OnProcessStuck();
    void OnLoadTimeout();
    // Ends the current load: the document event fires later from the loop.
    void EndLoad(bool failed, const TPageFailure& failure);
    // Notes why the current load fails, unless an earlier reason stands.
    void NoteFailure(const TPageFailure& failure);
    void LeavePage();
    void StartLoadTimer();
    void StopLoadTimer();
    // Ends the page's process when WebKit finds that it no longer answers.
    bool EndStuckProcess();
    std::string CurrentUri() const;
    // Loads the address of the last Navigate with its page's headers
    // (WebKitViewOptions.cpp).
    void LoadRequested();
    // Hides what the page's Hide selects, then next(); a rule the engine
    // rejects is said on standard error, and next() runs all the same.
    void HideThen(std::function<void()> next, TStepFailed failed);
    // What the measure script answers once the page is laid out, as
    // statements of a function that has d (the root element), b (the
    // body) and z (the zoom): the page's size, or the crop's box.
    std::string MeasureAnswer() const;
    // Reads the measure script's answer (WebKitViewOptions.cpp): true with
    // size, else false with why; "wait" answers are the caller's.
    bool ReadMeasured(const std::string& text, TSize& size, std::string& why);
    // The text a script answered with, and the error's message if it failed
    // (WebKitViewSteps.cpp).
    static std::string ScriptText(GObject* source, GAsyncResult* result, std::string& why);
    // The page's zoom as a factor.
    double Zoom() const { return FPage.ZoomPercent / 100.0; }
    // Measures the page once it is laid out at the view's size, trying again
    // until deadline (WebKitViewSteps.cpp).
    void MeasureLaidOut(std::chrono::steady_clock::time_point deadline,
                        TMeasured done,
                        TStepFailed failed);
    // The picture steps (WebKitViewSteps.cpp); a page too large to draw is
    // cut to the picture's height and drawn once more.
    void Snapshot(const TSize& size, TPictureDone done, TStepFailed failed, bool cut);
    // The top left of the picture in the page: the crop's, else the page's.
    TPoint PictureOrigin() const;
    void CutAndSnapshot(const TSize& size, TPictureDone done, TStepFailed failed);
    std::function<void(GObject*, GAsyncResult*)> SnapshotAfter(const TSize& size,
                                                               TPictureDone done,
                                                               TStepFailed failed,
                                                               bool cut);
    // What watches each page for SettlePage from its start, in the page's own
    // world (WebKitViewSettle.cpp).
    static WebKitUserContentManager* NewSettleWatch(const TWebKitLimits& limits);
    // What asks the page whether it has been quiet for quiet (WebKitViewSettle.cpp).
    static std::string SettleProbe(std::chrono::milliseconds quiet);
    // Asks the page whether it is quiet (probe: SettleProbe) until it is or
    // deadline has passed.
    void PollSettled(std::chrono::steady_clock::time_point deadline,
                     const std::string& probe,
                     std::function<void(bool settled)> done,
                     TStepFailed failed);
    // Scrolls a settled page through and back to its top (WebKitViewScroll.cpp),
    // then done(settled).
    void ScrollThrough(bool settled, std::function<void(bool settled)> done, TStepFailed failed);
    struct TScroll;
    void ScrollView(std::shared_ptr<TScroll> scroll, int y);
    void ScrollBackToTop(std::shared_ptr<TScroll> scroll);
    // Runs a script of ours in the page within limit; finish reads the answer.
    // world: a world of our own by default, nullptr for the page's.
    void RunScript(const std::string& script,
                   std::chrono::milliseconds limit,
                   const std::string& what,
                   TStepFailed failed,
                   std::function<void(GObject*, GAsyncResult*)> finish,
                   const char* world = "lumenary");

    TWebKitLimits FLimits;
    TCaptureOptions FOptions;  // of the Navigates from now on
    TCaptureOptions FPage;     // of the last Navigate's page
    TRect FCropBox;            // as the page's last measure found it
    WebKitWebContext* FContext = nullptr;
    GtkWidget* FWindow = nullptr;
    WebKitWebView* FView = nullptr;
    std::unique_ptr<TWebKitSteps> FSteps;
    TSize FViewSize;  // as SetViewSize gave it
    TLoad FLoad = TLoad::Idle;
    bool FCommitted = false;
    bool FCancelled = false;
    std::string FUri;           // of the current load, as the events report it
    bool FFailed = false;       // the current load fails, for FFailure
    std::string FLoginRefused;  // why the current load asked for a password in vain
    TPageFailure FFailure;
    bool FAsked = false;      // the current load is the one Navigate asked for
    std::string FRequested;   // the URL of the last Navigate
    bool FRestarted = false;  // that load was started again in a fresh process
    bool FDetour = false;     // loading the blank page before it
    unsigned FLoadTimer = 0;
    // What was wrong with the certificates refused so far, by site: WebKit
    // may answer a later load of such a site with a cancelled connection.
    std::map<std::string, std::string> FUntrusted;

    friend struct TWebKitSignals;
};

}  // namespace lum
