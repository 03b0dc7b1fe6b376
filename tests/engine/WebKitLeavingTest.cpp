// Leaving a page never waits on it: a page that asks "leave this page?" or
// runs a long loop as it is left does not hold the next page, nor the ones
// after it.
#include "engine/WebKitCaptureRig.h"

namespace lum {
namespace {

// The load limit (20 s) is what a page held by the one before it would fail
// at: "no answer within 20000 ms".
using Leaving = TWebKitRig;

TEST_F(Leaving, PageAskingLeaveThisPageDoesNotHoldTheNext) {
    ASSERT_FALSE(Load(BoxPage("<script>addEventListener('beforeunload', function (e) {"
                              "  e.preventDefault(); e.returnValue = 'stay'; return 'stay';"
                              "});</script>"))
                     .Failed);
    ASSERT_TRUE(Settle());
    const TLoaded next = Load(Page("short.html"));
    EXPECT_FALSE(next.Failed) << next.Message;
    EXPECT_EQ(next.Url, Page("short.html"));
    EXPECT_EQ(Measure(), (TSize{1024, 768}));
}

TEST_F(Leaving, PageLoopingAsItIsLeftDoesNotHoldTheNextPages) {
    for (const char* event : {"unload", "pagehide"}) {
        SCOPED_TRACE(event);
        ASSERT_FALSE(Load(BoxPage(std::string("<script>addEventListener('") + event +
                                  "', function () { for (;;) {} });</script>"))
                         .Failed);
        ASSERT_TRUE(Settle());
        const TLoaded next = Load(Page("short.html"));
        EXPECT_FALSE(next.Failed) << next.Message;
        const TLoaded after = Load(Page("tall.html"));
        EXPECT_FALSE(after.Failed) << after.Message;
        EXPECT_EQ(Measure(), (TSize{1024, 10000}));
    }
}

}  // namespace
}  // namespace lum
