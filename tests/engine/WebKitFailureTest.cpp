// Why a page fails, as the real WebKit view tells it: each failing answer of
// a server on 127.0.0.1 ends in one failure of the right kind, with WebKit's
// own words. Names that cannot be resolved are never looked up here (that
// would ask a name server off this machine): their errors are constructed.
#include <gio/gio.h>
#include <webkit2/webkit2.h>

#include "engine/WebKitCaptureRig.h"
#include "engine/WebKitFailure.h"

namespace lum {
namespace {

using Failure = TWebKitRig;
using Kind = TPageFailureKind;

TPageFailure Of(GQuark domain, int code, const char* message) {
    GError* error = g_error_new_literal(domain, code, message);
    const TPageFailure failure = FailureOf(error);
    g_error_free(error);
    return failure;
}

TEST(FailureKind, UnknownHostNameIsNameNotFound) {
    const TPageFailure failure =
        Of(G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND,
           "Error resolving “no-such-host.invalid”: Name or service not known");
    EXPECT_EQ(failure.Kind, Kind::pfNameNotFound);
    EXPECT_EQ(failure.Detail, "Error resolving “no-such-host.invalid”: Name or service not known");
    EXPECT_EQ(Of(G_RESOLVER_ERROR, G_RESOLVER_ERROR_TEMPORARY_FAILURE, "x").Kind,
              Kind::pfNameNotFound);
    EXPECT_EQ(Of(G_IO_ERROR, G_IO_ERROR_HOST_NOT_FOUND, "x").Kind, Kind::pfNameNotFound);
}

TEST(FailureKind, ConnectionErrorsAndTheRestEachHaveTheirKind) {
    EXPECT_EQ(Of(G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED, "x").Kind, Kind::pfRefused);
    EXPECT_EQ(Of(G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE, "x").Kind, Kind::pfRefused);
    EXPECT_EQ(Of(G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "x").Kind, Kind::pfNoAnswer);
    EXPECT_EQ(Of(G_TLS_ERROR, G_TLS_ERROR_BAD_CERTIFICATE, "x").Kind, Kind::pfCertificate);
    EXPECT_EQ(Of(WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_CANNOT_SHOW_MIME_TYPE, "x").Kind,
              Kind::pfDownload);
    // Not a network error at all, or one that says nothing of the cause.
    EXPECT_EQ(Of(G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED + 1000, "x").Kind, Kind::pfOther);
    EXPECT_EQ(Of(WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FAILED, "x").Kind, Kind::pfOther);
    EXPECT_EQ(Of(G_FILE_ERROR, G_IO_ERROR_CONNECTION_REFUSED, "x").Kind, Kind::pfOther);
    EXPECT_EQ(FailureOf(nullptr).Kind, Kind::pfOther);
    EXPECT_FALSE(FailureOf(nullptr).Detail.empty());
}

TEST_F(Failure, ClosedPortIsRefused) {
    const std::string url = TWebKitTestServer::ClosedPortUrl();
    const TLoaded loaded = Load(url);
    EXPECT_TRUE(loaded.Failed);
    EXPECT_EQ(loaded.Kind, Kind::pfRefused);
    EXPECT_EQ(loaded.Url, url);
    EXPECT_NE(loaded.Message.find("Connection refused"), std::string::npos) << loaded.Message;
}

// WebKit never connects to some ports (1, X11's 6000, ...): it shows an empty
// page of its own without any error, which once went by as a blank page.
TEST_F(Failure, PortWebKitDoesNotConnectToIsRefusedInOneEvent) {
    MakeView();
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    for (const std::string url : {"http://127.0.0.1:1/", "http://127.0.0.1:6000/x.html"}) {
        const TLoaded loaded = Load(url);
        RunUntil([] { return false; }, 300ms);
        EXPECT_EQ(FLoaded.Events, 1) << url;
        EXPECT_TRUE(loaded.Failed) << url;
        EXPECT_EQ(loaded.Kind, Kind::pfRefused) << url;
        EXPECT_EQ(loaded.Url, url);
        EXPECT_FALSE(loaded.Message.empty());
    }
    EXPECT_FALSE(Load(Page("short.html")).Failed);
    EXPECT_EQ(Measure(), (TSize{1024, 768}));
}

TEST_F(Failure, ErrorStatusIsAnHttpStatus) {
    for (int status : {404, 503}) {
        const TLoaded loaded = Load(FServer.Url("/status/" + std::to_string(status)));
        EXPECT_TRUE(loaded.Failed) << status;
        EXPECT_EQ(loaded.Kind, Kind::pfHttpStatus) << status;
        EXPECT_EQ(loaded.Status, status);
        EXPECT_NE(loaded.Message.find(std::to_string(status)), std::string::npos);
    }
}

TEST_F(Failure, AttachmentAndUnshownContentAreDownloads) {
    for (const char* path : {"/attachment", "/binary"}) {
        const TLoaded loaded = Load(FServer.Url(path));
        EXPECT_TRUE(loaded.Failed) << path;
        EXPECT_EQ(loaded.Kind, Kind::pfDownload) << path;
        EXPECT_EQ(loaded.Status, 0);
    }
}

TEST_F(Failure, SelfSignedCertificateIsNotTrusted) {
    TWebKitTestServer secure(true);
    const std::string url = secure.Url("/pages/short.html");
    ASSERT_EQ(url.rfind("https://127.0.0.1:", 0), 0u);
    const TLoaded loaded = Load(url);
    EXPECT_TRUE(loaded.Failed);
    EXPECT_EQ(loaded.Kind, Kind::pfCertificate);
    EXPECT_EQ(loaded.Events, 1);
    EXPECT_NE(loaded.Message.find("not signed by a known authority"), std::string::npos)
        << loaded.Message;
    // Never accepted later either: the same page fails again, each time
    // with the certificate's reason (not as a cancelled load), also after a
    // page that loads and in a fresh page process.
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const TLoaded again = Load(url);
        EXPECT_EQ(again.Kind, Kind::pfCertificate) << again.Message;
        EXPECT_NE(again.Message.find("not signed by a known authority"), std::string::npos)
            << again.Message;
        if (round % 3 == 2) {
            EXPECT_FALSE(Load(Page("short.html")).Failed);
        }
    }
    EXPECT_FALSE(Load(Page("short.html")).Failed);
}

TEST_F(Failure, NoAnswerWithinTheLimitIsNoAnswer) {
    TWebKitLimits limits;
    limits.Load = 2500ms;
    MakeView(limits);
    ASSERT_FALSE(Load("about:blank").Failed);
    const TLoaded loaded = Load(FServer.Url("/hold"));
    EXPECT_TRUE(loaded.Failed);
    EXPECT_EQ(loaded.Kind, Kind::pfNoAnswer);
    EXPECT_NE(loaded.Message.find("2500 ms"), std::string::npos) << loaded.Message;
}

TEST_F(Failure, SlowPageThatAnswersWithinTheLimitCompletes) {
    TWebKitLimits limits;
    limits.Load = 4000ms;
    MakeView(limits);
    ASSERT_FALSE(Load("about:blank").Failed);
    const TLoaded loaded = Load(FServer.Url("/slow?ms=1500"));
    EXPECT_FALSE(loaded.Failed) << loaded.Message;
    EXPECT_EQ(loaded.Url, FServer.Url("/slow?ms=1500"));
    EXPECT_EQ(Measure(), (TSize{1024, 1234}));
}

TEST_F(Failure, ScriptAddressFailsWithoutRunningInThePage) {
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    const TLoaded loaded = Load("javascript:document.body.style.height='5000px'");
    EXPECT_TRUE(loaded.Failed);
    EXPECT_EQ(loaded.Events, 1);
    EXPECT_EQ(Measure(), (TSize{1024, 768}));
}

// A PDF is not drawn by the engine into a picture (its viewer would come out
// empty): it fails with a card that says what it is.
TEST_F(Failure, PdfDocumentFailsWithTheReason) {
    const TLoaded loaded = Load(FServer.Url("/document.pdf"));
    EXPECT_TRUE(loaded.Failed);
    EXPECT_EQ(loaded.Events, 1);
    EXPECT_NE(loaded.Message.find("a PDF document"), std::string::npos) << loaded.Message;
    EXPECT_FALSE(Load(Page("short.html")).Failed);  // and the next page loads
}

}  // namespace
}  // namespace lum
