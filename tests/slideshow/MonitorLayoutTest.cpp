#include "slideshow/MonitorLayout.h"

#include <gtest/gtest.h>

#include <set>

namespace lum {
namespace {

const TRect kPrimary{0, 0, 1024, 768};

TEST(MonitorLayout, OneMonitorStartsAtPageZeroAndCapturesAtItsSize) {
    const auto ordered = OrderedMonitors({kPrimary});
    ASSERT_EQ(ordered.size(), 1u);
    EXPECT_EQ(MonitorOrdinal(ordered, kPrimary), 0);
    EXPECT_EQ(FirstPageOfMonitor(0, 5, TMonitorPages::mpDifferent), 0);
    EXPECT_EQ(CaptureSizeFor(ordered), (TSize{1024, 768}));
}

TEST(MonitorLayout, TwoMonitorsOfDifferentSizesSideBySide) {
    const TRect small{1024, 0, 1824, 600};
    // Listed right one first: the order is by position, not by listing.
    const auto ordered = OrderedMonitors({small, kPrimary});
    EXPECT_EQ(ordered, (std::vector<TRect>{kPrimary, small}));
    EXPECT_EQ(MonitorOrdinal(ordered, small), 1);
    EXPECT_EQ(MonitorOrdinal(ordered, kPrimary), 0);
    EXPECT_EQ(FirstPageOfMonitor(1, 3, TMonitorPages::mpDifferent), 1);
    EXPECT_EQ(FirstPageOfMonitor(1, 3, TMonitorPages::mpSame), 0);
    // Captured at the larger monitor's size; the narrower one scales down.
    EXPECT_EQ(CaptureSizeFor(ordered), (TSize{1024, 768}));
    EXPECT_EQ(ShownPictureSize({1040, 3000}, 800), (TSize{800, 2307}));
    EXPECT_EQ(ShownPictureSize({1040, 3000}, 1024), (TSize{1024, 2953}));
    EXPECT_EQ(ShownPictureSize({500, 300}, 800), (TSize{500, 300}));  // never enlarged
}

TEST(MonitorLayout, MonitorLeftOfAndAboveThePrimaryComesFirst) {
    const TRect upperLeft{-1280, -1024, 0, 0};
    const auto ordered = OrderedMonitors({kPrimary, upperLeft});
    EXPECT_EQ(ordered.front(), upperLeft);
    EXPECT_EQ(MonitorOrdinal(ordered, upperLeft), 0);
    EXPECT_EQ(MonitorOrdinal(ordered, kPrimary), 1);
    EXPECT_EQ(CaptureSizeFor(ordered), (TSize{1280, 1024}));
}

TEST(MonitorLayout, ThreeMonitorsShowThreeDifferentPagesWhileThereAreEnough) {
    const auto ordered =
        OrderedMonitors({{1920, 0, 3840, 1080}, {0, 0, 1920, 1080}, {0, 1080, 1920, 2160}});
    // Same left edge: top to bottom.
    EXPECT_EQ(ordered[1], (TRect{0, 1080, 1920, 2160}));
    for (std::int32_t pages : {3, 7}) {
        std::set<std::int32_t> first;
        for (std::int32_t k = 0; k < 3; ++k)
            first.insert(FirstPageOfMonitor(k, pages, TMonitorPages::mpDifferent));
        EXPECT_EQ(first.size(), 3u) << pages;
    }
    // Fewer pages than monitors: they repeat from the start of the list.
    EXPECT_EQ(FirstPageOfMonitor(2, 2, TMonitorPages::mpDifferent), 0);
    EXPECT_EQ(FirstPageOfMonitor(2, 0, TMonitorPages::mpDifferent), 0);
}

TEST(MonitorLayout, WindowsAreFoundByTheirCentreOrTheirLargestOverlap) {
    const auto ordered = OrderedMonitors({kPrimary, {1024, 0, 1824, 600}});
    EXPECT_EQ(MonitorOrdinal(ordered, {1100, 100, 1300, 300}), 1);
    // Centre off every monitor (below the smaller one): the largest overlap.
    EXPECT_EQ(MonitorOrdinal(ordered, {1000, 500, 1400, 760}), 1);
    EXPECT_EQ(MonitorOrdinal(ordered, {5000, 5000, 5100, 5100}), 0);
    EXPECT_EQ(MonitorOrdinal({}, kPrimary), 0);
    EXPECT_TRUE(OrderedMonitors({{10, 10, 10, 500}, {0, 0, -5, 5}}).empty());
}

TEST(MonitorLayout, MonitorPagesTextIsSameOnlyWhenItSaysSo) {
    EXPECT_EQ(MonitorPagesFromText("same"), TMonitorPages::mpSame);
    EXPECT_EQ(MonitorPagesFromText("SAME"), TMonitorPages::mpSame);
    for (const char* text : {"", "different", "Different", "same ", "sam", "\xff"})
        EXPECT_EQ(MonitorPagesFromText(text), TMonitorPages::mpDifferent) << text;
}

TEST(MonitorLayout, HugeCoordinatesDoNotOverflow) {
    const TRect far{2147483000, 2147483000, 2147483600, 2147483600};
    const auto ordered = OrderedMonitors({far, kPrimary});
    EXPECT_EQ(MonitorOrdinal(ordered, far), 1);
    EXPECT_EQ(ShownPictureSize({32767, 32767}, 1), (TSize{1, 1}));
    EXPECT_EQ(ShownPictureSize({32767, 32767}, 32766), (TSize{32766, 32766}));
    EXPECT_EQ(ShownPictureSize({32767, 1}, 2), (TSize{2, 1}));
}

// A window on the display (not a monitor of its own) is captured for at the
// size of the monitor holding its centre, whatever its own size.
TEST(MonitorLayout, AWindowIsCapturedForAtTheSizeOfTheMonitorItIsOn) {
    const TRect wide{1024, 0, 2944, 1080};
    const std::vector<TRect> monitors{wide, kPrimary};  // listed out of order
    EXPECT_EQ(MonitorSizeOfWindow(monitors, TRect{100, 50, 612, 434}), (TSize{1024, 768}));
    EXPECT_EQ(MonitorSizeOfWindow(monitors, TRect{1500, 100, 1800, 300}), (TSize{1920, 1080}));
    // Across both: the centre (1044, 384) is on the wide one.
    EXPECT_EQ(MonitorSizeOfWindow(monitors, TRect{600, 0, 1488, 768}), (TSize{1920, 1080}));
    // Larger than its monitor, still that monitor's size.
    EXPECT_EQ(MonitorSizeOfWindow({kPrimary}, TRect{0, 0, 1600, 1200}), (TSize{1024, 768}));
    // Off every monitor: the first in order; no monitors at all: nothing.
    EXPECT_EQ(MonitorSizeOfWindow(monitors, TRect{5000, 5000, 5100, 5100}), (TSize{1024, 768}));
    EXPECT_EQ(MonitorSizeOfWindow({}, TRect{0, 0, 800, 600}), (TSize{}));
}

TEST(MonitorLayout, AWindowIsCentredOnItsMonitorAndNeverStartsOffIt) {
    EXPECT_EQ(CentredOnMonitor(TRect{1024, 0, 2944, 1080}, {1024, 768}),
              (TRect{1472, 156, 2496, 924}));
    EXPECT_EQ(CentredOnMonitor(TRect{-1280, -1024, 0, 0}, {1024, 768}),
              (TRect{-1152, -896, -128, -128}));
    // As large as the monitor: on it exactly; larger: from its top-left corner.
    EXPECT_EQ(CentredOnMonitor(kPrimary, {1024, 768}), kPrimary);
    EXPECT_EQ(CentredOnMonitor(TRect{100, 200, 900, 800}, {1024, 768}),
              (TRect{100, 200, 1124, 968}));
    EXPECT_EQ(CentredOnMonitor(TRect{2147483000, 0, 2147483600, 600}, {1024, 768}).Right,
              INT32_MAX);
}

}  // namespace
}  // namespace lum
