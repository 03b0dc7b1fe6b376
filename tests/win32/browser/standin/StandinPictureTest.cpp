// The picture of a page taller than one band of the capture window's bitmap:
// drawn band by band through the message loop, whole and upright across the
// bands' edges, the view back at its size afterwards; a navigation drops it
// uncalled, and its time limit ends it between two bands.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "win32/browser/standin/StandinCaptureRig.h"

namespace lum::win32 {
namespace {

using namespace std::chrono_literals;

// 16 MiB of rows 1920 pixels wide: a band holds 2184 of them.
constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kBandRows = 2184;
constexpr std::int32_t kTall = 3 * kBandRows - 100;

class StandinPicture : public StandinCapture {
  protected:
    std::unique_ptr<TWin32WebView> LoadTall(std::vector<std::string>& seen,
                                            const std::string& extra = "") {
        auto view = NewView(seen);
        view->SetViewSize(TSize{kWidth, 1080});
        view->Navigate("standin:tall?h=" + std::to_string(kTall) + extra);
        PumpUntil(seen, 1);
        return view;
    }
    template <class F>
    static void PumpUntilTrue(F&& done) {
        const DWORD start = ::GetTickCount();
        while (!done() && ::GetTickCount() - start < 10000)
            PumpMessages(5);
    }
};

TEST_F(StandinPicture, TallPictureIsDrawnBandByBandWholeAcrossTheEdges) {
    std::vector<std::string> seen;
    auto view = LoadTall(seen);
    ASSERT_EQ(seen.size(), 1u);
    TPageBitmap taken;
    bool called = false;
    view->TakePicture(
        TSize{kWidth, kTall},
        [&](TPageBitmap& picture) {
            taken = std::move(picture);
            called = true;
        },
        [](const std::string& message) { ADD_FAILURE() << message; });
    EXPECT_FALSE(called);  // the first band comes through the message loop
    PumpUntilTrue([&] { return called; });
    ASSERT_TRUE(called);
    ASSERT_EQ(taken.Width(), kWidth);
    ASSERT_EQ(taken.Height(), kTall);
    for (const std::int32_t y :
         {0, kBandRows - 1, kBandRows, 2 * kBandRows - 1, 2 * kBandRows, kTall - 1})
        EXPECT_EQ(PixelAt(taken, 10, y), Expected(kTallTag, y)) << "row " << y;
    LONG height = 0;
    view->Host()->Browser()->get_Height(&height);
    EXPECT_EQ(height, 1080);  // the view's own size again
}

TEST_F(StandinPicture, NavigationWhileTheBandsAreDrawnDropsThePicture) {
    std::vector<std::string> seen;
    auto view = LoadTall(seen);
    std::vector<std::string> calls;
    view->TakePicture(
        TSize{kWidth, kTall}, [&](TPageBitmap&) { calls.push_back("done"); },
        [&](const std::string& message) { calls.push_back(message); });
    view->Navigate("standin:fill");
    PumpUntil(seen, 2);
    PumpMessages(100);
    EXPECT_TRUE(calls.empty());
    LONG height = 0;
    view->Host()->Browser()->get_Height(&height);
    EXPECT_EQ(height, 1080);
}

TEST_F(StandinPicture, PictureStopsBetweenBandsAtItsLimit) {
    std::vector<std::string> seen;
    auto view = LoadTall(seen, "&slow=150");
    TStepLimits limits;
    limits.Picture = 100ms;
    view->SetStepLimits(limits);
    std::vector<std::string> calls;
    view->TakePicture(
        TSize{kWidth, kTall}, [&](TPageBitmap&) { calls.push_back("done"); },
        [&](const std::string& message) { calls.push_back(message); });
    PumpUntilTrue([&] { return !calls.empty(); });
    PumpMessages(500);  // no band after the limit
    EXPECT_EQ(calls, std::vector<std::string>{"taking the page's picture took longer than 0.1 s"});
}

}  // namespace
}  // namespace lum::win32
