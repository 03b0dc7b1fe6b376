#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>

#include "engine/WebKitFailure.h"
#include "engine/WebKitSteps.h"
#include "engine/WebKitWebView.h"
#include "linux/GtkApplication.h"

// What WebKit tells the view and what each event does to the current load:
// the signal handlers, the load's time limit and the ending of a stuck page.

namespace lum {

namespace {

constexpr char kStuck[] = "the page stopped answering (a script that never ends?)";

}  // namespace

// The GObject signal handlers, each passing on to the view.
struct TWebKitSignals {
    static void LoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
        gtk::Guarded([&] { static_cast<TWebKitWebView*>(self)->OnLoadChanged(event); });
    }
    static gboolean LoadFailed(WebKitWebView*,
                               WebKitLoadEvent,
                               gchar* uri,
                               GError* error,
                               gpointer self) {
        gtk::Guarded(
            [&] { static_cast<TWebKitWebView*>(self)->OnLoadFailed(uri ? uri : "", error); });
        return TRUE;  // no error page: a failed page is not captured
    }
    // An untrusted certificate is never accepted: the page fails, and WebKit
    // goes on to "load-failed" with its own words.
    static gboolean TlsFailed(WebKitWebView*,
                              gchar* uri,
                              GTlsCertificate*,
                              GTlsCertificateFlags errors,
                              gpointer self) {
        gtk::Guarded([&] {
            static_cast<TWebKitWebView*>(self)->OnCertificateRefused(uri ? uri : "", errors);
        });
        return FALSE;
    }
    static gboolean DecidePolicy(WebKitWebView*,
                                 WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type,
                                 gpointer self) {
        if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
            return FALSE;
        return gtk::Guarded<gboolean>(
            FALSE, [&] { return static_cast<TWebKitWebView*>(self)->OnResponse(decision); });
    }
    static void ProcessEnded(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
        gtk::Guarded([&] { static_cast<TWebKitWebView*>(self)->OnProcessEnded(); });
    }
    static void ResponsiveChanged(WebKitWebView* view, GParamSpec*, gpointer self) {
        if (!webkit_web_view_get_is_web_process_responsive(view))
            gtk::Guarded([&] { static_cast<TWebKitWebView*>(self)->OnProcessStuck(); });
    }
    // Nothing may wait for a user: dialogs close at once (alert, confirm as
    // "cancel", "leave this page?" as "leave"), permissions are denied,
    // nothing is printed, and no file is ever downloaded.
    static gboolean ScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer) {
        if (webkit_script_dialog_get_dialog_type(dialog) ==
            WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM)
            webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        return TRUE;
    }
    // A password the user chose to remember in the sign-in window (kept by
    // WebKit in the desktop keyring, offered as the proposed credential) is
    // used once. Without one, or when the site refuses it, the load goes on
    // without a password: the site's refusal (401) then fails the page at
    // once, with the reason. (Cancelling instead would stop the load without
    // an answer, and the page would fail only at its time limit.)
    static gboolean Authenticate(WebKitWebView*,
                                 WebKitAuthenticationRequest* request,
                                 gpointer self) {
        WebKitCredential* kept = webkit_authentication_request_get_proposed_credential(request);
        const bool usable = kept && webkit_credential_has_password(kept);
        const bool refused = usable && webkit_authentication_request_is_retry(request);
        if (usable && !refused) {
            webkit_authentication_request_authenticate(request, kept);
        } else {
            const gchar* host = webkit_authentication_request_get_host(request);
            gtk::Guarded([&] {
                static_cast<TWebKitWebView*>(self)->OnLoginRefused(host ? host : "", refused);
            });
            webkit_authentication_request_authenticate(request, nullptr);
        }
        if (kept)
            webkit_credential_free(kept);
        return TRUE;
    }
    static gboolean Permission(WebKitWebView*, WebKitPermissionRequest* request, gpointer) {
        webkit_permission_request_deny(request);
        return TRUE;
    }
    static gboolean Swallow(WebKitWebView*, gpointer, gpointer) { return TRUE; }
    static void DownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
        webkit_download_cancel(download);
    }
    static gboolean LoadTimeout(gpointer self) {
        gtk::Guarded([&] { static_cast<TWebKitWebView*>(self)->OnLoadTimeout(); });
        return G_SOURCE_REMOVE;
    }
};

void TWebKitWebView::Connect() {
    g_signal_connect(FView, "load-changed", G_CALLBACK(TWebKitSignals::LoadChanged), this);
    g_signal_connect(FView, "load-failed", G_CALLBACK(TWebKitSignals::LoadFailed), this);
    g_signal_connect(FView, "load-failed-with-tls-errors", G_CALLBACK(TWebKitSignals::TlsFailed),
                     this);
    g_signal_connect(FView, "decide-policy", G_CALLBACK(TWebKitSignals::DecidePolicy), this);
    g_signal_connect(FView, "web-process-terminated", G_CALLBACK(TWebKitSignals::ProcessEnded),
                     this);
    g_signal_connect(FView, "notify::is-web-process-responsive",
                     G_CALLBACK(TWebKitSignals::ResponsiveChanged), this);
    g_signal_connect(FView, "script-dialog", G_CALLBACK(TWebKitSignals::ScriptDialog), this);
    g_signal_connect(FView, "authenticate", G_CALLBACK(TWebKitSignals::Authenticate), this);
    g_signal_connect(FView, "permission-request", G_CALLBACK(TWebKitSignals::Permission), this);
    g_signal_connect(FView, "print", G_CALLBACK(TWebKitSignals::Swallow), this);
    g_signal_connect(FView, "run-file-chooser", G_CALLBACK(TWebKitSignals::Swallow), this);
    g_signal_connect(FView, "show-notification", G_CALLBACK(TWebKitSignals::Swallow), this);
    g_signal_connect(FContext, "download-started", G_CALLBACK(TWebKitSignals::DownloadStarted),
                     this);
}

void TWebKitWebView::OnLoadChanged(int event) {
    switch (event) {
        case WEBKIT_LOAD_STARTED:
            // A load the page starts itself (a script, a refresh) gets its own
            // time limit; one we asked for has it already.
            if (FLoad != TLoad::Requested)
                StartLoadTimer();
            FAsked = FLoad == TLoad::Requested && !FDetour;
            FLoad = TLoad::Loading;
            FCommitted = false;
            FCancelled = false;
            FFailed = false;
            FFailure = {};
            FLoginRefused.clear();
            FUri = CurrentUri();
            break;
        case WEBKIT_LOAD_REDIRECTED:
            FUri = CurrentUri();
            break;
        case WEBKIT_LOAD_COMMITTED:
            if (FLoad == TLoad::Loading) {
                FCommitted = true;
                FUri = CurrentUri();
                // An address WebKit will not load without an error (a port
                // it never connects to) ends as an empty page of its own.
                if (FAsked && FUri == "about:blank" && FRequested.rfind("about:", 0) != 0) {
                    FUri = FRequested;
                    NoteFailure(BlankInsteadFailure(FRequested));
                }
            }
            break;
        case WEBKIT_LOAD_FINISHED:
            OnLoadFinished();
            break;
    }
}

void TWebKitWebView::OnLoadFinished() {
    if (FLoad != TLoad::Loading)
        return;
    if (FCancelled && !FCommitted) {
        // Stopped before it showed anything, by the page or by a load that
        // replaces it: the time limit still ends it if nothing follows.
        FLoad = TLoad::Requested;
        return;
    }
    if (FDetour) {
        FDetour = false;
        FLoad = TLoad::Requested;
        LoadRequested();
        return;
    }
    StopLoadTimer();
    EndLoad(FFailed, FFailure);
}

void TWebKitWebView::OnLoadFailed(const std::string& uri, const GError* error) {
    if (FLoad != TLoad::Loading)
        return;
    if (!uri.empty())
        FUri = uri;
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
        FCancelled = true;
        return;
    }
    TPageFailure failure = FailureOf(error);
    const auto untrusted = FUntrusted.find(SiteOf(FUri));
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) && untrusted != FUntrusted.end())
        NoteFailure(TPageFailure{TPageFailureKind::pfCertificate, 0, untrusted->second});
    if (FFailed && FFailure.Kind == TPageFailureKind::pfCertificate) {
        // The certificate's problems were noted first: keep them, with the
        // engine's words before them.
        FFailure.Detail = failure.Detail + " (" + FFailure.Detail + ")";
        return;
    }
    NoteFailure(failure);
}

void TWebKitWebView::OnCertificateRefused(const std::string& uri, unsigned errors) {
    // Kept whatever state the load is in: WebKit may refuse the certificate
    // before it reports the load as started, and then reports the load as
    // cancelled; the cancellation then finds the reason here.
    FUntrusted[SiteOf(uri.empty() ? FUri : uri)] = CertificateProblems(errors);
    if (FLoad != TLoad::Loading)
        return;
    NoteFailure(TPageFailure{TPageFailureKind::pfCertificate, 0, CertificateProblems(errors)});
}

void TWebKitWebView::NoteFailure(const TPageFailure& failure) {
    if (FFailed)
        return;
    FFailed = true;
    FFailure = failure;
}

bool TWebKitWebView::OnResponse(void* decision) {
    auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    if (FLoad != TLoad::Loading ||
        !webkit_response_policy_decision_is_main_frame_main_resource(response))
        return false;
    TPageFailure failure;
    if (!ResponseFailure(response, failure))
        return false;  // WebKit shows it
    if (!FLoginRefused.empty() && (failure.Status == 401 || failure.Status == 407))
        failure.Detail += ": " + FLoginRefused;
    NoteFailure(failure);
    webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
    return true;
}

void TWebKitWebView::OnLoginRefused(const std::string& host, bool keptRefused) {
    FLoginRefused = keptRefused ? "the site refused the password kept for " + host +
                                      "; sign in again with lumenary --sign-in"
                                : "no password is kept for " + host +
                                      "; sign in with lumenary --sign-in and let a desktop "
                                      "keyring remember it";
}

void TWebKitWebView::OnProcessStuck() {
    // WebKit finds out within seconds that a script holds the page process.
    if ((FLoad != TLoad::Requested && FLoad != TLoad::Loading) || FRestarted)
        return;
    if (FCommitted) {
        // The page being loaded is stuck: it can be neither measured nor drawn.
        StopLoadTimer();
        FLoad = TLoad::Ended;
        webkit_web_view_terminate_web_process(FView);
        return EndLoad(true, TPageFailure{TPageFailureKind::pfOther, 0, kStuck});
    }
    // The page before it is stuck and holds the process, so this one cannot
    // load: start it once more in a fresh process rather than let it fail at
    // its time limit.
    FRestarted = true;
    FDetour = false;
    FLoad = TLoad::Requested;
    StartLoadTimer();  // the fresh process gets the whole time
    webkit_web_view_terminate_web_process(FView);
    // From the loop: WebKit is still inside the notification.
    FSteps->Post([this] {
        if (FLoad == TLoad::Requested)
            LoadRequested();
    });
}

void TWebKitWebView::OnProcessEnded() {
    if ((FLoad != TLoad::Requested && FLoad != TLoad::Loading) || FRestarted)
        return;
    StopLoadTimer();
    EndLoad(true, TPageFailure{TPageFailureKind::pfOther, 0,
                               "the page's process ended (crashed or out of memory)"});
}

void TWebKitWebView::OnLoadTimeout() {
    FLoadTimer = 0;
    const bool shown = FLoad == TLoad::Loading && FCommitted && !FFailed;
    // Nothing of the page has come: no answer within the limit.
    const TPageFailure failure =
        FFailed ? FFailure
                : TPageFailure{TPageFailureKind::pfNoAnswer, 0,
                               "no answer within " + std::to_string(FLimits.Load.count()) + " ms"};
    FLoad = TLoad::Ended;  // the stop's own events are ignored
    if (EndStuckProcess())
        return EndLoad(true, TPageFailure{TPageFailureKind::pfOther, 0, kStuck});
    webkit_web_view_stop_loading(FView);
    EndLoad(!shown, shown ? TPageFailure{} : failure);
}

bool TWebKitWebView::EndStuckProcess() {
    // WebKit notices within seconds that a page process does not answer; the
    // next page then gets a fresh one.
    if (webkit_web_view_get_is_web_process_responsive(FView))
        return false;
    webkit_web_view_terminate_web_process(FView);
    return true;
}

void TWebKitWebView::StartLoadTimer() {
    StopLoadTimer();
    FLoadTimer =
        g_timeout_add(static_cast<guint>(FLimits.Load.count()), TWebKitSignals::LoadTimeout, this);
}

void TWebKitWebView::StopLoadTimer() {
    if (FLoadTimer)
        g_source_remove(FLoadTimer);
    FLoadTimer = 0;
}

}  // namespace lum
