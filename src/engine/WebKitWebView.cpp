#include "engine/WebKitWebView.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstring>
#include <utility>

#include "common/Bmp.h"
#include "engine/WebKitDataStore.h"
#include "engine/WebKitSteps.h"

namespace lum {

namespace {

constexpr TSize kFirstViewSize{1024, 768};

// The kept session (cookies and site data of the sign-ins, the
// certificates the user trusted, each for its host), or one of which
// nothing outlives the view. The sandbox is set before any page process
// of the context starts (WebKit ends the program for a change later),
// and no certificate WebKit does not trust is ever accepted.
WebKitWebContext* CreateContext(bool keptSession) {
    WebKitWebContext* context =
        keptSession ? gtk::CreateCaptureWebContext() : webkit_web_context_new_ephemeral();
    webkit_web_context_set_sandbox_enabled(context, TRUE);
    webkit_website_data_manager_set_tls_errors_policy(
        webkit_web_context_get_website_data_manager(context), WEBKIT_TLS_ERRORS_POLICY_FAIL);
    webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    return context;
}

// A muted view on context, drawn without the graphics card: no web audio, no
// media that plays by itself, no page cache, no window a script opens; watch
// is the user content its pages get (the view takes it over).
WebKitWebView* CreateView(WebKitWebContext* context, WebKitUserContentManager* watch) {
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    webkit_settings_set_enable_webaudio(settings, FALSE);
    webkit_settings_set_media_playback_requires_user_gesture(settings, TRUE);
    webkit_settings_set_enable_page_cache(settings, FALSE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    WebKitWebView* view =
        WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings",
                                     settings, "user-content-manager", watch, nullptr));
    g_object_unref(settings);
    g_object_unref(watch);
    webkit_web_view_set_is_muted(view, TRUE);
    return view;
}

}  // namespace

TWebKitWebView::TWebKitWebView(const TWebKitLimits& limits,
                               const TSandboxTools& sandbox,
                               bool keptSession)
    : FLimits(limits), FSteps(std::make_unique<TWebKitSteps>()) {
    if (!gdk_display_get_default())
        throw Exception("the web view needs a display (GTK is not initialised)");
    CheckPageSandbox(sandbox);
    // An off-screen view has no reader of the screen: its page processes do
    // not look for the accessibility bus, which from inside the sandbox they
    // cannot reach (each would say so on standard error).
    g_setenv("WEBKIT_A11Y_BUS_ADDRESS", "", FALSE);
    FContext = CreateContext(keptSession);
    FView = CreateView(FContext, NewSettleWatch(FLimits));
    FWindow = gtk_offscreen_window_new();
    gtk_container_add(GTK_CONTAINER(FWindow), GTK_WIDGET(FView));
    SetViewSize(kFirstViewSize);
    gtk_widget_show_all(FWindow);
    Connect();
    // A page process that lets a step run out of time is stuck (a script
    // that never returns): end it, so that the next page gets a fresh one.
    FSteps->SetOnTimeout([this] { webkit_web_view_terminate_web_process(FView); });
}

TWebKitWebView::~TWebKitWebView() {
    // Pending steps and document events are dropped uncalled.
    FSteps.reset();
    StopLoadTimer();
    g_signal_handlers_disconnect_by_data(FView, this);
    g_signal_handlers_disconnect_by_data(FContext, this);
    // The window holds the only reference to the view; with the view and the
    // context gone, WebKit ends the page's and the network's processes.
    gtk_widget_destroy(FWindow);
    g_object_unref(FContext);
}

void TWebKitWebView::Navigate(const std::string& url) {
    // A script address would run in the page shown now and load nothing.
    const bool script = g_ascii_strncasecmp(url.c_str(), "javascript:", 11) == 0;
    if (!script)
        LeavePage();
    // Events of the load this one replaces arrive before it starts and are
    // ignored while it is only requested.
    FLoad = TLoad::Requested;
    FCommitted = false;
    FCancelled = false;
    FFailed = false;
    FFailure = {};
    FLoginRefused.clear();
    FUri = url;
    FRequested = url;
    FRestarted = false;
    FPage = FOptions;
    FCropBox = {};
    webkit_web_view_set_zoom_level(FView, Zoom());
    if (script) {
        StopLoadTimer();
        return EndLoad(true, TPageFailure{TPageFailureKind::pfOther, 0, "a script, not a page"});
    }
    StartLoadTimer();
    // An address with an anchor may name the document already shown: WebKit
    // then only scrolls, loads nothing and reports nothing. Such an address
    // goes by way of a blank page (unreported), so that it is loaded anew.
    FDetour = url.find('#') != std::string::npos;
    if (FDetour)
        webkit_web_view_load_uri(FView, "about:blank");
    else
        LoadRequested();
}

// Leaving a page never waits on it: a page's process runs what the page
// does as it is left (a "leave this page?" question, a handler that loops)
// before the next page can take its place. So every page of the list starts
// in a fresh page process, and the one of the page before simply ends: its
// handlers never run, and nothing a page left in its process (memory, timers,
// workers) outlives it. The blank page that starts a pass keeps its process.
void TWebKitWebView::LeavePage() {
    const char* shown = webkit_web_view_get_uri(FView);
    if (!shown || std::strcmp(shown, "about:blank") == 0)
        return;
    StopLoadTimer();
    FLoad = TLoad::Ended;  // the end of the page's process is expected
    webkit_web_view_terminate_web_process(FView);
}

void TWebKitWebView::SetViewSize(const TSize& size) {
    if (size.Width <= 0 || size.Height <= 0 || size.Width > kBmpMaxSide ||
        size.Height > kBmpMaxSide)
        throw Exception("the web view cannot have the size " + std::to_string(size.Width) + " x " +
                        std::to_string(size.Height));
    FViewSize = size;
    gtk_widget_set_size_request(GTK_WIDGET(FView), size.Width, size.Height);
    gtk_window_resize(GTK_WINDOW(FWindow), size.Width, size.Height);
    // Lay the widgets out now rather than at the next frame, so that WebKit
    // sends the page its new size before any later request (a load, a
    // picture), which the page then sees at that size.
    if (gtk_widget_get_visible(FWindow))
        gtk_container_check_resize(GTK_CONTAINER(FWindow));
}

TSize TWebKitWebView::ViewSize() const {
    return {gtk_widget_get_allocated_width(GTK_WIDGET(FView)),
            gtk_widget_get_allocated_height(GTK_WIDGET(FView))};
}

bool TWebKitWebView::Muted() const {
    return webkit_web_view_get_is_muted(FView);
}

void TWebKitWebView::EndLoad(bool failed, const TPageFailure& failure) {
    FLoad = TLoad::Ended;
    const std::string url = FUri;
    FSteps->Post([this, failed, url, failure] {
        // Copies: the handler may destroy the view.
        if (failed) {
            auto handler = OnDocumentFailed;
            if (handler)
                handler(url, failure);
        } else {
            auto handler = OnDocumentComplete;
            if (handler)
                handler(url);
        }
    });
}

std::string TWebKitWebView::CurrentUri() const {
    const char* uri = webkit_web_view_get_uri(FView);
    return uri ? uri : FUri;
}

}  // namespace lum
