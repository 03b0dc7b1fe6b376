// The page file written away from the message loop, on a platform that takes
// messages from other threads: the pass waits for the file, a failing write
// fails its page, and a form that goes while its file is written waits for
// it and drops what would have followed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "common/Forms.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeWebView.h"
#include "slideshow/PageCache.h"
#include "slideshow/PageFailure.h"
#include "slideshow/Working.h"

namespace lum {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCache = "C:\\Cache\\";

// A message loop of the test's own thread: actions posted from any thread
// run when the test asks.
class TThreadedPlatform : public IApplicationPlatform {
  public:
    void ShowErrorReport(const std::string&, const std::string& message) override {
        ADD_FAILURE() << message;
    }
    void PostDeferred(std::function<void()> action) override {
        const std::lock_guard<std::mutex> lock(FLock);
        FQueue.push_back(std::move(action));
        FPosted.notify_all();
    }
    bool PostsFromAnyThread() const override { return true; }
    void WriteLog(const std::string& line) override { Lines.push_back(line); }
    std::vector<std::string> Lines;
    // Waits up to a few seconds for a posted action and runs it; false when
    // none came.
    bool RunNext() {
        std::function<void()> action;
        {
            std::unique_lock<std::mutex> lock(FLock);
            if (!FPosted.wait_for(lock, 5s, [&] { return !FQueue.empty(); }))
                return false;
            action = std::move(FQueue.front());
            FQueue.pop_front();
        }
        action();
        return true;
    }
    bool Idle() {
        const std::lock_guard<std::mutex> lock(FLock);
        return FQueue.empty();
    }

  private:
    std::mutex FLock;
    std::condition_variable FPosted;
    std::deque<std::function<void()>> FQueue;
};

// Page files can be created only once the gate is open.
class TGatedFiles : public fakes::TFakeFileSystem {
  public:
    std::unique_ptr<IFileWriter> CreateReplacing(const std::string& path) override {
        std::unique_lock<std::mutex> lock(FLock);
        ++FWaiting;
        FChanged.notify_all();
        FChanged.wait(lock, [&] { return FOpen; });
        return TFakeFileSystem::CreateReplacing(path);
    }
    void Open() {
        const std::lock_guard<std::mutex> lock(FLock);
        FOpen = true;
        FChanged.notify_all();
    }
    // Waits until a writer is being asked for.
    bool WaitForWriter() {
        std::unique_lock<std::mutex> lock(FLock);
        return FChanged.wait_for(lock, 5s, [&] { return FWaiting > 0; });
    }

  private:
    std::mutex FLock;
    std::condition_variable FChanged;
    int FWaiting = 0;
    bool FOpen = false;
};

struct TSource : ICaptureSource {
    std::vector<std::string> List{"http://a/", "http://b/"};
    const std::vector<std::string>& URLs() const override { return List; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return 64; }
    std::int32_t Height() const override { return 48; }
};

class BackgroundWrite : public ::testing::Test {
  protected:
    BackgroundWrite() {
        SetApplication(&App);
        Files.Folders.insert(kCache);
        auto view = std::make_unique<fakes::TFakeWebView>();
        View = view.get();
        Form = std::make_unique<TWorkingForm>(std::move(view), Files, kCache, Source);
        Form->OnPageTried = [this](std::int32_t index, const std::string&,
                                   const TPageFailure* failure) {
            Tried.push_back(std::to_string(index) + (failure ? " failed" : " captured"));
        };
    }
    ~BackgroundWrite() override {
        Files.Open();
        Form.reset();
        SetApplication(nullptr);
    }
    std::size_t Navigations(const std::string& url) {
        return static_cast<std::size_t>(
            std::count(View->Log.begin(), View->Log.end(), "navigate " + url));
    }

    TThreadedPlatform Platform;
    TApplication App{Platform};
    TGatedFiles Files;
    TSource Source;
    fakes::TFakeWebView* View = nullptr;
    std::unique_ptr<TWorkingForm> Form;
    std::vector<std::string> Tried;
};

TEST_F(BackgroundWrite, ThePassGoesOnOnceThePageFileIsWritten) {
    Form->StartCapture();
    View->Complete("about:blank");
    View->CompleteCurrent();  // page 0: its file is being written
    ASSERT_TRUE(Files.WaitForWriter());
    EXPECT_TRUE(Form->Busy());
    EXPECT_EQ(Navigations("http://b/"), 0u);
    EXPECT_TRUE(Tried.empty());
    Files.Open();
    ASSERT_TRUE(Platform.RunNext());
    EXPECT_EQ(Tried, std::vector<std::string>{"0 captured"});
    EXPECT_EQ(Navigations("http://b/"), 1u);
    EXPECT_EQ(Files.Files.count(GetCacheFileName(kCache, 0)), 1u);
    View->CompleteCurrent();
    ASSERT_TRUE(Platform.RunNext());
    EXPECT_FALSE(Form->Busy());
    EXPECT_EQ(Tried, (std::vector<std::string>{"0 captured", "1 captured"}));
}

TEST_F(BackgroundWrite, AWriteThatFailsFailsItsPageAndThePassGoesOn) {
    Files.Open();
    Files.FailWrites = true;
    Form->StartCapture();
    View->Complete("about:blank");
    View->CompleteCurrent();
    ASSERT_TRUE(Platform.RunNext());
    EXPECT_EQ(Tried, std::vector<std::string>{"0 failed"});
    ASSERT_FALSE(Platform.Lines.empty());
    EXPECT_NE(Platform.Lines.back().find("0.bmp\" cannot be written"), std::string::npos);
    EXPECT_EQ(Navigations("http://b/"), 1u);
}

TEST_F(BackgroundWrite, AFormThatGoesWaitsForItsFileAndDropsWhatFollows) {
    Form->StartCapture();
    View->Complete("about:blank");
    View->CompleteCurrent();
    ASSERT_TRUE(Files.WaitForWriter());
    std::thread opener([&] {
        std::this_thread::sleep_for(50ms);
        Files.Open();
    });
    Form.reset();  // returns once the file is written
    opener.join();
    EXPECT_EQ(Files.Files.count(GetCacheFileName(kCache, 0)), 1u);
    while (!Platform.Idle())
        Platform.RunNext();
    EXPECT_TRUE(Tried.empty());
}

}  // namespace
}  // namespace lum
