// The capture in a process of its own: the real capture program started by
// the view, pages served on 127.0.0.1 measured and pictured through it, the
// program ended after a pass, a program that dies failing what was pending,
// and the lines of the protocol under hostile text.
#include "linux/capture/ProcessWebView.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <climits>

#include "engine/WebKitCaptureRig.h"
#include "linux/capture/CaptureProtocol.h"

namespace lum {
namespace {

using gtk::TProcessWebView;

class ProcessCapture : public TWebKitRig {
  protected:
    void SetUp() override {
        TWebKitRig::SetUp();
        AdoptView(std::make_unique<TProcessWebView>(LUM_CAPTURE_HELPER));
    }
    TProcessWebView& Process() { return static_cast<TProcessWebView&>(*FView); }
    static bool Running(pid_t pid) { return pid > 0 && ::kill(pid, 0) == 0; }
};

TEST_F(ProcessCapture, PageIsMeasuredAndPicturedThroughTheCaptureProgram) {
    EXPECT_EQ(Process().HelperPid(), 0) << "no program before the first page";
    ASSERT_FALSE(Load(Page("short.html")).Failed) << FLoaded.Message;
    const pid_t helper = Process().HelperPid();
    EXPECT_TRUE(Running(helper));
    EXPECT_EQ(Measure(), (TSize{1024, 768}));  // the whole document: never less than the view
    const TPageBitmap picture = Picture({1040, 216});
    ASSERT_EQ(picture.Width(), 1040);
    ASSERT_EQ(picture.Height(), 216);
    EXPECT_EQ(picture.Pixel(5, 5), 0x1E90FFu);  // the banner, as the engine drew it
    EXPECT_EQ(picture.Pixel(1030, 210), 0xFFFFFFu);

    // A tall picture (40 MB of pixels) comes through the pipe whole.
    ASSERT_FALSE(Load(Page("tall.html")).Failed);
    const TPageBitmap tall = Picture({1040, 10016});
    ASSERT_EQ(tall.Height(), 10016);
    EXPECT_EQ(tall.Pixel(500, 500), 0xC0392Bu);
    EXPECT_EQ(tall.Pixel(500, 9500), 0xD35400u);

    Process().PassEnded();
    EXPECT_EQ(Process().HelperPid(), 0);
    EXPECT_TRUE(RunUntil([&] { return !Running(helper); }, 10s)) << "the program ends after a pass";
}

// The page settles in the capture program before its picture: what its
// script draws after the load is in the picture.
TEST_F(ProcessCapture, PageSettlesThroughTheCaptureProgram) {
    ASSERT_FALSE(Load(BoxPage("<script>onload = function () { setTimeout(function () {"
                              "  document.getElementById('box').style.background = '#00ff00';"
                              "}, 1000); };</script>"))
                     .Failed)
        << FLoaded.Message;
    EXPECT_EQ(Settle(), true);
    const TPageBitmap picture = Picture({1024, 768});
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Pixel(50, 50), 0x00FF00u);
}

// A page far taller than any picture (60,000 px) is measured at its height
// through the program, and its first part comes back as a picture at the
// height cap.
TEST_F(ProcessCapture, PageTallerThanAnyPictureIsMeasuredAndPicturedDownToTheCap) {
    ASSERT_FALSE(Load(HtmlPage("<style>body{margin:0}div{height:30000px}</style>"
                               "<div style='background:#c80000'></div>"
                               "<div style='background:#0000c8'></div>"))
                     .Failed)
        << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{1024, 60000}));
    const TPageBitmap picture = Picture({1024, kPageHeightCap});
    ASSERT_EQ(picture.Height(), kPageHeightCap);
    EXPECT_EQ(picture.Pixel(500, 29999), 0xC80000u);
    EXPECT_EQ(picture.Pixel(500, 30000), 0x0000C8u);
    EXPECT_EQ(picture.Pixel(1023, kPageHeightCap - 1), 0x0000C8u);
}

// A page's options go to the capture program with its navigation: its
// server lets it in only with its header (the other one, with a blank, a
// backslash and a tab, travels too), it is zoomed to 200 %, the banner in
// its frame is hidden, so the frame cropped is the panel alone, and its wait
// makes its settle step last a second at least. The next page goes without.
TEST_F(ProcessCapture, PageOptionsReachTheCaptureProgram) {
    TCaptureOptions options;
    options.ZoomPercent = 200;
    options.WaitSeconds = 1;
    options.Hide = "#banner";
    options.Crop = "#frame";
    options.Headers = {{"X-Note", "a b\\c\td"},
                       {TWebKitTestServer::kKeyHeader, TWebKitTestServer::kKeyValue}};
    const std::string page = HtmlPage(
        "<div id='frame' style='width:60px'>"
        "<div id='banner' style='height:20px;background:#ff0000'></div>"
        "<div style='height:40px;background:#0000ff'></div></div>",
        "/keyed");
    FView->SetCaptureOptions(options);
    ASSERT_FALSE(Load(page).Failed) << FLoaded.Message;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Settle(), true);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(Measure(), (TSize{120, 80}));
    const TPageBitmap picture = Picture({120, 80});
    ASSERT_EQ(picture.Height(), 80);
    EXPECT_EQ(picture.Pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(picture.Pixel(119, 79), 0x0000FFu);

    FView->SetCaptureOptions({});
    const TLoaded refused = Load(page);
    EXPECT_TRUE(refused.Failed);
    EXPECT_EQ(refused.Status, 403);
}

TEST_F(ProcessCapture, PageThatFailsAndTextsWithNewlinesComeBackWhole) {
    const TLoaded failed = Load(FServer.Url("/status/404"));
    EXPECT_TRUE(failed.Failed);
    EXPECT_EQ(failed.Url, FServer.Url("/status/404"));
    EXPECT_NE(failed.Message.find("404"), std::string::npos) << failed.Message;
    // An address with a line break in it is one request, not two: it ends
    // in one event, and the program still serves the next page.
    const TLoaded odd = Load("http://bad\nnavigate host/\\x");
    EXPECT_EQ(odd.Events, 1);
    EXPECT_TRUE(odd.Failed);
    RunUntil([] { return false; }, 500ms);
    EXPECT_EQ(FLoaded.Events, 1) << "no second navigation was smuggled in";
    EXPECT_FALSE(Load(Page("short.html")).Failed);
}

// A pass started again before its blank page completed (the display's
// refresh came while the capture program was still starting) asks for that
// page twice; the engine loads it twice, and a second completion would count
// against the next address. It completes once, and the next page loads.
TEST_F(ProcessCapture, BlankPageAskedForAgainBeforeItCompletesCompletesOnce) {
    FView->OnDocumentComplete = [this](const std::string& url) {
        ++FLoaded.Events;
        if (url == "about:blank")
            FView->Navigate(Page("short.html"));
        else
            FLoaded.Url = url;
    };
    FView->Navigate("about:blank");
    FView->Navigate("about:blank");
    ASSERT_TRUE(RunUntil([&] { return FLoaded.Events >= 2; }, 30s));
    RunUntil([] { return false; }, 1s);
    EXPECT_EQ(FLoaded.Events, 2) << "the blank page and the next one, each once";
    EXPECT_FALSE(FLoaded.Failed) << FLoaded.Message;
    EXPECT_EQ(FLoaded.Url, Page("short.html"));
}

TEST_F(ProcessCapture, ProgramThatDiesFailsThePendingStepAndTheNextPageStartsANewOne) {
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    const pid_t first = Process().HelperPid();
    bool measured = false;
    std::string failure;
    ::kill(first, SIGSTOP);  // the request waits in the pipe, unanswered ...
    FView->MeasurePage([&](TSize) { measured = true; },
                       [&](const std::string& message) { failure = message; });
    ::kill(first, SIGKILL);  // ... until the program is gone
    EXPECT_TRUE(RunUntil([&] { return measured || !failure.empty(); }, 10s));
    EXPECT_FALSE(measured);
    EXPECT_NE(failure.find("ended"), std::string::npos) << failure;
    EXPECT_EQ(Process().HelperPid(), 0);

    ASSERT_FALSE(Load(Page("short.html")).Failed) << FLoaded.Message;
    EXPECT_NE(Process().HelperPid(), first);
    EXPECT_EQ(Measure(), (TSize{1024, 768}));  // the whole document: never less than the view
}

std::string LinkOf(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// The processes (other than this one) that hold an open file whose link is target.
std::vector<pid_t> HoldersOf(const std::string& target) {
    std::vector<pid_t> holders;
    DIR* proc = ::opendir("/proc");
    while (dirent* entry = proc ? ::readdir(proc) : nullptr) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0 || pid == ::getpid())
            continue;
        const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
        DIR* dir = ::opendir(fds.c_str());
        while (dirent* fd = dir ? ::readdir(dir) : nullptr) {
            if (fd->d_name[0] != '.' && LinkOf(fds + "/" + fd->d_name) == target) {
                holders.push_back(pid);
                break;
            }
        }
        if (dir)
            ::closedir(dir);
    }
    if (proc)
        ::closedir(proc);
    return holders;
}

TEST_F(ProcessCapture, TheChannelIsTheProgramsAloneAndItsOutputGoesToThePipeThisProgramReads) {
    ASSERT_FALSE(Load(Page("short.html")).Failed) << FLoaded.Message;
    EXPECT_EQ(Measure(), (TSize{1024, 768}));  // the engine's helpers are all up by now
    const std::string helper = "/proc/" + std::to_string(Process().HelperPid());
    const std::string channel = LinkOf(helper + "/fd/3");
    ASSERT_EQ(channel.rfind("socket:", 0), 0u) << channel;
    EXPECT_EQ(HoldersOf(channel), std::vector<pid_t>{Process().HelperPid()})
        << "no helper process of the engine holds the channel";
    // Its output and its standard error go to the pipe that this program
    // reads (and passes on to its own standard error, less the engine's
    // noise). Its standard error stays open: a closed one is taken by the
    // next file it opens, whose messages then corrupt (it hung the capture).
    const std::string output = LinkOf(helper + "/fd/1");
    EXPECT_EQ(output.rfind("pipe:", 0), 0u) << output;
    EXPECT_EQ(LinkOf(helper + "/fd/2"), output);
    EXPECT_EQ(LinkOf(helper + "/fd/0"), "/dev/null");
}

TEST_F(ProcessCapture, DestroyedViewCallsNothingAndEndsItsProgram) {
    ASSERT_FALSE(Load(Page("short.html")).Failed);
    const pid_t helper = Process().HelperPid();
    bool called = false;
    FView->TakePicture(
        TSize{1040, 216}, [&](const TPageBitmap&) { called = true; },
        [&](const std::string&) { called = true; });
    FView.reset();
    RunUntil([] { return false; }, 1s);
    EXPECT_FALSE(called);
    EXPECT_TRUE(RunUntil([&] { return !Running(helper); }, 10s));
}

TEST_F(ProcessCapture, MissingProgramIsAClearErrorAndStepsWithoutAPageThrow) {
    AdoptView(std::make_unique<TProcessWebView>("/nonexistent/lumenary-capture"));
    EXPECT_THROW(FView->Navigate("about:blank"), Exception);
    EXPECT_THROW(FView->MeasurePage([](TSize) {}, [](const std::string&) {}), Exception);
    EXPECT_THROW(FView->SetViewSize(TSize{0, 10}), Exception);
}

TEST(CaptureProtocol, TextsSurviveTheLineAndHostileLinesSplitSafely) {
    for (const std::string& text :
         {std::string("plain"), std::string("a\\nb"), std::string("tab\there\nnew\r\\"),
          std::string("nul\0byte", 8), std::string("末尾の\\"), std::string()}) {
        const std::string line = gtk::EscapeLineText(text);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_EQ(line.find('\t'), std::string::npos);
        EXPECT_EQ(gtk::UnescapeLineText(line), text);
    }
    EXPECT_EQ(gtk::SplitLine("picture 7 10 20", 4),
              (std::vector<std::string>{"picture", "7", "10", "20"}));
    EXPECT_EQ(gtk::SplitLine("stepfailed 3 a long message", 3),
              (std::vector<std::string>{"stepfailed", "3", "a long message"}));
    EXPECT_EQ(gtk::SplitLine("measure", 4), (std::vector<std::string>{"measure"}));
    EXPECT_EQ(gtk::ParseCount("32767", 32767), 32767);
    EXPECT_EQ(gtk::SettledAnswer(7, true), "settled 7 1");
    EXPECT_EQ(gtk::SettledAnswer(8, false), "settled 8 0");
    for (const char* bad : {"", "-1", "32768", "1e3", "12x", " 5", "99999999999999999999"})
        EXPECT_EQ(gtk::ParseCount(bad, 32767), -1) << bad;
}

}  // namespace
}  // namespace lum
