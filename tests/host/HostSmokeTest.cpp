#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace lum::testing {
namespace {

TEST(HostStartUp, FullScreenRunFiresRunNormalThenInitialize) {
    THostFixture f;
    std::vector<std::string> events;
    f.BindEvents = [&](TZelScreenSaver& h) {
        h.OnRunNormal = [&](TZelScreenSaver*, THandle, THandle) { events.push_back("RunNormal"); };
        h.OnInitialize = [&](TZelScreenSaver*, bool&) { events.push_back("Initialize"); };
    };
    auto& host = f.Start("/s");
    EXPECT_TRUE(host.Normal());
    EXPECT_EQ(events, (std::vector<std::string>{"RunNormal", "Initialize"}));
    EXPECT_EQ(f.Window().Bounds(), (TRect{0, 0, 1024, 768}));
    EXPECT_TRUE(f.App.ShowMainForm);
}

}  // namespace
}  // namespace lum::testing
