// The capture program misbehaving, as the view in the showing program meets
// it: fake capture programs (small shell scripts on the channel) that answer
// with failure kinds, write on their standard output, or write bytes out of
// place, and the real one stopped (SIGSTOP) or killed mid-page. Each fault
// fails only its page; the next page gets a new program.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "engine/WebKitCaptureRig.h"
#include "fakes/FakeHost.h"
#include "linux/capture/ProcessWebView.h"

namespace lum {
namespace {

using gtk::TCaptureLimits;
using gtk::TProcessWebView;

// A fake capture program: reads the requests on its channel (descriptor 3)
// and runs the case branches given for them, with $line the request, $1.. its
// words and $url the URL of a navigation.
std::string FakeProgram(const std::string& branches) {
    static int count = 0;
    const std::string dir = ::testing::TempDir() + "lum-fake-" + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
    const std::string path = dir + "/capture" + std::to_string(++count);
    std::ofstream(path) << "#!/bin/bash\n"
                           "[ \"$1 $2\" = '--channel 3' ] || exit 2\n"
                           "while IFS= read -r line <&3; do\n"
                           "  set -- $line; url=${line#navigate }\n"
                           "  case $1 in\n"
                        << branches
                        << "\n  esac\n"
                           "done\n";
    ::chmod(path.c_str(), 0700);
    return path;
}

const std::string kCompletes = "navigate) printf 'complete %s\\n' \"$url\" >&3 ;;\n";

struct TFailure {
    std::string Url;
    TPageFailure Failure;
};

class CaptureFaults : public TWebKitRig {
  protected:
    void Use(const std::string& program, TCaptureLimits limits = {}) {
        AdoptView(std::make_unique<TProcessWebView>(program, limits));
        FView->OnDocumentFailed = [this](const std::string& url, const TPageFailure& failure) {
            ++FLoaded.Events;
            FLoaded.Failed = true;
            FLoaded.Url = url;
            FLoaded.Message = failure.Detail;
            FFailures.push_back(TFailure{url, failure});
        };
    }
    TProcessWebView& Process() { return static_cast<TProcessWebView&>(*FView); }
    // Ended and reaped (a zombie still answers kill 0).
    static bool Gone(pid_t pid) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        std::getline(stat, text);
        return text.empty() || text.find(") Z") != std::string::npos;
    }
    // Measures with the step's failure allowed; the failure's message.
    std::string MeasureFailure() {
        Measure(true);
        return FStepFailure;
    }

    std::vector<TFailure> FFailures;
};

TEST_F(CaptureFaults, FailureKindAndStatusComeOverTheChannel) {
    Use(FakeProgram(
        "navigate) case $url in\n"
        "  *refused*) printf 'failed refused 0 %s\\tConnection refused\\n' \"$url\" >&3 ;;\n"
        "  *status*) printf 'failed http-status 503 %s\\tService Unavailable\\n' \"$url\" >&3 ;;\n"
        "  *name*) printf 'failed name-not-found 0 %s\\t\\n' \"$url\" >&3 ;;\n"
        "  *) printf 'complete %s\\n' \"$url\" >&3 ;; esac ;;"));
    EXPECT_TRUE(Load("http://127.0.0.1:1/refused").Failed);
    EXPECT_TRUE(Load("http://127.0.0.1:1/status").Failed);
    EXPECT_TRUE(Load("http://unknown.invalid/name").Failed);
    EXPECT_FALSE(Load("http://127.0.0.1:1/fine").Failed);
    ASSERT_EQ(FFailures.size(), 3u);
    EXPECT_EQ(FFailures[0].Url, "http://127.0.0.1:1/refused");
    EXPECT_EQ(FFailures[0].Failure.Kind, TPageFailureKind::pfRefused);
    EXPECT_EQ(FFailures[0].Failure.Detail, "Connection refused");
    EXPECT_EQ(FFailures[1].Failure.Kind, TPageFailureKind::pfHttpStatus);
    EXPECT_EQ(FFailures[1].Failure.Status, 503);
    EXPECT_EQ(FFailures[1].Failure.Detail, "Service Unavailable");
    EXPECT_EQ(FFailures[2].Failure.Kind, TPageFailureKind::pfNameNotFound);
    EXPECT_EQ(FFailures[2].Failure.Detail, "");
}

// The engine refuses ports that browsers may not use (1, 9, ...) by staying
// on the blank page: the address is reported as one that could not be
// reached, never skipped as a blank page.
TEST_F(CaptureFaults, AnAddressTheEngineStaysBlankForIsARefusedPage) {
    Use(FakeProgram("navigate) printf 'complete about:blank\\n' >&3 ;;"));
    EXPECT_FALSE(Load("about:blank").Failed) << "the blank page itself is complete";
    EXPECT_FALSE(Load("").Failed);
    const TLoaded blocked = Load("http://127.0.0.1:1/");
    EXPECT_TRUE(blocked.Failed);
    ASSERT_EQ(FFailures.size(), 1u);
    EXPECT_EQ(FFailures[0].Url, "http://127.0.0.1:1/");
    EXPECT_EQ(FFailures[0].Failure.Kind, TPageFailureKind::pfRefused);
}

TEST_F(CaptureFaults, ARestrictedPortOfTheRealEngineIsReported) {
    Use(LUM_CAPTURE_HELPER);
    ASSERT_FALSE(Load("about:blank").Failed);
    const TLoaded blocked = Load("http://127.0.0.1:1/");
    EXPECT_TRUE(blocked.Failed);
    EXPECT_EQ(blocked.Url, "http://127.0.0.1:1/");
    const std::string closed = TWebKitTestServer::ClosedPortUrl();
    const TLoaded refused = Load(closed);
    EXPECT_TRUE(refused.Failed);
    EXPECT_EQ(refused.Url, closed);
}

TEST_F(CaptureFaults, WhatTheProgramWritesOnItsStandardOutputIsNoAnswer) {
    Use(FakeProgram(
        "navigate) printf 'complete http://stray/\\nfailed other 0 x\\tstray\\n';\n"
        "  printf 'complete %s\\n' \"$url\" >&3 ;;\n"
        "measure) echo \"measured $2 1 1\"; printf 'measured %s 640 480\\n' $2 >&3 ;;"));
    const TLoaded loaded = Load("http://127.0.0.1:1/page");
    EXPECT_FALSE(loaded.Failed);
    EXPECT_EQ(loaded.Url, "http://127.0.0.1:1/page");
    EXPECT_EQ(Measure(), (TSize{640, 480}));
    RunUntil([] { return false; }, 300ms);
    EXPECT_EQ(FLoaded.Events, 1);
    EXPECT_TRUE(FFailures.empty());
}

TEST_F(CaptureFaults, BytesOutOfPlaceFailOnlyThatPage) {
    // Each case: what the program answers to a measure; the page that follows
    // is measured by a new program.
    const std::vector<std::string> answers = {
        "printf 'measured %s ten 20\\n' $2 >&3",                // a word that is no number
        "printf 'measured 999 10 20\\n' >&3",                   // a step that was never asked for
        "printf 'mesured %s 10 20\\n' $2 >&3",                  // no such answer
        "printf 'picture %s 2 1\\n' $2 >&3",                    // a picture nobody asked for
        "printf 'measured %s 10 20 30\\n' $2 >&3",              // a word too many
        "printf 'measured %s 10 2147483648\\n' $2 >&3",         // beyond any page
        "head -c 300000 /dev/zero | tr '\\0' x >&3; sleep 30",  // a line without end
    };
    for (const std::string& answer : answers) {
        FFailures.clear();
        Use(FakeProgram(kCompletes + "measure) " + answer + " ;;"));
        ASSERT_FALSE(Load("http://127.0.0.1:1/a").Failed) << answer;
        const pid_t first = Process().HelperPid();
        const std::string failure = MeasureFailure();
        EXPECT_NE(failure.find("make no sense"), std::string::npos) << answer << ": " << failure;
        EXPECT_EQ(Process().HelperPid(), 0) << answer;
        EXPECT_TRUE(RunUntil([&] { return Gone(first); }, 5s)) << "the program is ended";
        ASSERT_FALSE(Load("http://127.0.0.1:1/b").Failed) << answer;
        EXPECT_NE(Process().HelperPid(), first);
    }
}

// A settle step's answer is "settled N 0" or "settled N 1" for that step;
// anything else is out of place. A program that does not answer in time is
// ended at the settle step's own limit.
TEST_F(CaptureFaults, SettleAnswersAreHeldToTheirStep) {
    Use(FakeProgram(kCompletes + "settle) printf 'settled %s 0\\n' $2 >&3 ;;"));
    ASSERT_FALSE(Load("http://127.0.0.1:1/a").Failed);
    EXPECT_EQ(Settle(), false);
    for (const std::string& answer : {
             std::string("printf 'settled %s 2\\n' $2 >&3"),     // neither 0 nor 1
             std::string("printf 'settled %s\\n' $2 >&3"),       // a word short
             std::string("printf 'measured %s 1 1\\n' $2 >&3"),  // an answer of another step
         }) {
        Use(FakeProgram(kCompletes + "settle) " + answer + " ;;"));
        ASSERT_FALSE(Load("http://127.0.0.1:1/b").Failed) << answer;
        EXPECT_EQ(Settle(true), std::nullopt) << answer;
        EXPECT_NE(FStepFailure.find("make no sense"), std::string::npos) << FStepFailure;
    }
    TCaptureLimits limits;
    limits.SettleMs = 1000;
    Use(FakeProgram(kCompletes), limits);  // asked to settle, it says nothing
    ASSERT_FALSE(Load("http://127.0.0.1:1/c").Failed);
    EXPECT_EQ(Settle(true), std::nullopt);
    EXPECT_NE(FStepFailure.find("no answer within 1 s"), std::string::npos) << FStepFailure;
}

TEST_F(CaptureFaults, APictureOfAnotherSizeOrCutShortFailsItsStep) {
    // Asked for 2 x 1: a header of 3 x 1 is out of place.
    Use(FakeProgram(kCompletes + "picture) printf 'picture %s 3 1\\n' $2 >&3 ;;"));
    ASSERT_FALSE(Load("http://127.0.0.1:1/a").Failed);
    Picture(TSize{2, 1}, true);
    EXPECT_NE(FStepFailure.find("out of place"), std::string::npos) << FStepFailure;
    ASSERT_FALSE(Load("http://127.0.0.1:1/b").Failed);
    // The 16 bytes of the 2 x 2 picture take in the line that follows, and
    // the picture then ends a byte short: nothing more comes, so the time
    // limit of the step ends it.
    Use(FakeProgram(kCompletes +
                    "picture) printf 'picture %s 2 2\\n\\1\\2\\3\\0complete x\\n' $2 >&3 ;;"),
        TCaptureLimits{5000, 1000, 1000});
    ASSERT_FALSE(Load("http://127.0.0.1:1/c").Failed);
    const TPageBitmap picture = Picture(TSize{2, 2}, true);
    EXPECT_TRUE(picture.Empty());
    EXPECT_NE(FStepFailure.find("no answer"), std::string::npos) << FStepFailure;
    EXPECT_EQ(FLoaded.Url, "http://127.0.0.1:1/c") << "the pixels were read as no answer";
}

TEST_F(CaptureFaults, GarbageWhileAPageLoadsFailsThatPageAndTheNextLoads) {
    Use(
        FakeProgram("navigate) case $url in *bad*) printf '\\x89PNG\\r\\n\\x1a\\n' >&3 ;;\n"
                    "  *) printf 'complete %s\\n' \"$url\" >&3 ;; esac ;;"));
    const TLoaded bad = Load("http://127.0.0.1:1/bad");
    EXPECT_TRUE(bad.Failed);
    EXPECT_EQ(bad.Url, "http://127.0.0.1:1/bad");
    ASSERT_EQ(FFailures.size(), 1u);
    EXPECT_EQ(FFailures[0].Failure.Kind, TPageFailureKind::pfOther);
    EXPECT_NE(bad.Message.find("make no sense"), std::string::npos) << bad.Message;
    EXPECT_FALSE(Load("http://127.0.0.1:1/good").Failed);
}

// The real capture program, stopped: every step has a time limit, after
// which the program is ended and the page fails.
TEST_F(CaptureFaults, StoppedProgramIsEndedAfterEachStepsTimeLimit) {
    Use(LUM_CAPTURE_HELPER, TCaptureLimits{1500, 1500, 1500});
    ASSERT_FALSE(Load(Page("short.html")).Failed) << FLoaded.Message;

    pid_t helper = Process().HelperPid();
    ::kill(helper, SIGSTOP);
    const auto start = std::chrono::steady_clock::now();
    const std::string measure = MeasureFailure();
    EXPECT_NE(measure.find("no answer within 1.5 s"), std::string::npos) << measure;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(RunUntil([&] { return Gone(helper); }, 5s)) << "a stopped program is killed";

    ASSERT_FALSE(Load(Page("tall.html")).Failed) << FLoaded.Message;
    helper = Process().HelperPid();
    ::kill(helper, SIGSTOP);
    Picture(TSize{1040, 10016}, true);
    EXPECT_NE(FStepFailure.find("no answer"), std::string::npos) << FStepFailure;
    EXPECT_TRUE(RunUntil([&] { return Gone(helper); }, 5s));

    // A load that gets no answer fails its page as one that did not answer.
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    helper = Process().HelperPid();
    ::kill(helper, SIGSTOP);
    const TLoaded held = Load(Page("tall.html"));
    EXPECT_TRUE(held.Failed);
    ASSERT_FALSE(FFailures.empty());
    EXPECT_EQ(FFailures.back().Url, Page("tall.html"));
    EXPECT_EQ(FFailures.back().Failure.Kind, TPageFailureKind::pfNoAnswer);
    EXPECT_TRUE(RunUntil([&] { return Gone(helper); }, 5s));
    ASSERT_FALSE(Load(Page("short.html")).Failed) << "the next page gets a new program";
    EXPECT_EQ(Measure(), (TSize{1024, 768}));  // a short page fills the view
}

// Each page's options go just before its navigation, a new program's too,
// and its wait lengthens the settle step's time limit by itself (a program
// stopped for good shows the limit the step had).
TEST_F(CaptureFaults, OptionsGoBeforeEachNavigationAndTheWaitLengthensTheSettleLimit) {
    const std::string log = ::testing::TempDir() + "lum-requests-" + std::to_string(::getpid());
    std::remove(log.c_str());
    const std::string note = "printf '%s\\n' \"$line\" >> '" + log + "'";
    Use(FakeProgram("navigate) " + note + "; printf 'complete %s\\n' \"$url\" >&3 ;;\n*) " + note +
                    " ;;"),
        TCaptureLimits{30000, 15000, 40000, 300});
    TCaptureOptions options;
    options.ZoomPercent = 150;
    options.WaitSeconds = 1;
    options.Hide = ".x";
    options.Headers = {{"X-Key", "a b"}};
    FView->SetCaptureOptions(options);
    ASSERT_FALSE(Load("http://one/").Failed) << FLoaded.Message;
    ::kill(Process().HelperPid(), SIGSTOP);
    const auto start = std::chrono::steady_clock::now();
    Settle(true);
    EXPECT_NE(FStepFailure.find("no answer within 1.3 s"), std::string::npos) << FStepFailure;
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1300ms);

    FView->SetCaptureOptions({});
    ASSERT_FALSE(Load("http://two/").Failed) << FLoaded.Message;
    ::kill(Process().HelperPid(), SIGSTOP);
    Settle(true);
    EXPECT_NE(FStepFailure.find("no answer within 0.3 s"), std::string::npos) << FStepFailure;

    std::ifstream lines(log);
    std::string line, sent;
    while (std::getline(lines, line))
        sent += line + "|";
    EXPECT_EQ(sent,
              "size 1024 768|options 150 1|hide .x|header X-Key a b|navigate http://one/|"
              "size 1024 768|options 100 0|navigate http://two/|")
        << sent;
    std::remove(log.c_str());
}

// A program that dies mid-page is seen at once (none of the engine's helper
// processes keeps the channel open), its page fails as pfOther, and a
// program that can no longer be started is an error of the next navigation.
TEST_F(CaptureFaults, ProgramKilledMidPageFailsItAtOnceAndOneThatCannotStartThrows) {
    const std::string copy =
        ::testing::TempDir() + "lum-capture-copy-" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("cp " + std::string(LUM_CAPTURE_HELPER) + " " + copy).c_str()), 0);
    Use(copy);
    ASSERT_FALSE(Load(Page("short.html")).Failed) << FLoaded.Message;
    FLoaded = {};
    FView->Navigate(FServer.Url("/hold"));
    RunUntil([] { return false; }, 500ms);
    ::chmod(copy.c_str(), 0600);
    const auto start = std::chrono::steady_clock::now();
    ::kill(Process().HelperPid(), SIGKILL);
    ASSERT_TRUE(RunUntil([&] { return FLoaded.Events > 0; }, 10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    ASSERT_EQ(FFailures.size(), 1u);
    EXPECT_EQ(FFailures[0].Url, FServer.Url("/hold"));
    EXPECT_EQ(FFailures[0].Failure.Kind, TPageFailureKind::pfOther);
    EXPECT_NE(FFailures[0].Failure.Detail.find("ended"), std::string::npos);
    EXPECT_THROW(FView->Navigate(Page("short.html")), Exception);
    ::unlink(copy.c_str());
}

// An exception thrown by what the view calls back never crosses the GLib
// callback that read the answer: it is reported, and the loop goes on.
TEST_F(CaptureFaults, AnExceptionOfACallbackIsReportedAndNeverLeavesTheLoop) {
    fakes::TFakeApplicationPlatform platform;
    TApplication application(platform);
    SetApplication(&application);
    Use(FakeProgram(kCompletes));
    FView->OnDocumentComplete = [this](const std::string& url) {
        ++FLoaded.Events;
        throw Exception("the next page cannot be requested: " + url);
    };
    bool escaped = false;
    try {
        Load("http://127.0.0.1:1/a");
    } catch (...) {
        escaped = true;
    }
    SetApplication(nullptr);
    EXPECT_FALSE(escaped);
    EXPECT_EQ(FLoaded.Events, 1);
    ASSERT_EQ(platform.Reports.size(), 1u);
    EXPECT_EQ(platform.Reports[0], "the next page cannot be requested: http://127.0.0.1:1/a");
}

}  // namespace
}  // namespace lum
