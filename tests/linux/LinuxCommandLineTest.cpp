#include "linux/LinuxCommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace lum::gtk {
namespace {

TLinuxParseResult Parse(std::vector<const char*> args, const char* env = nullptr) {
    args.insert(args.begin(), "lumenary");
    return ParseArgs(static_cast<int>(args.size()), args.data(), env);
}

TEST(LinuxCommandLine, NoOptionRunsFullScreen) {
    const TLinuxParseResult r = Parse({});
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Options.Mode, TLinuxWindowMode::lwFullScreen);
    EXPECT_FALSE(r.Options.Config);
}

TEST(LinuxCommandLine, WindowOptionsWithOneOrTwoDashes) {
    EXPECT_EQ(Parse({"--window"}).Options.Mode, TLinuxWindowMode::lwWindow);
    EXPECT_EQ(Parse({"-root"}).Options.Mode, TLinuxWindowMode::lwRoot);
    const TLinuxParseResult hex = Parse({"--window-id", "0x1a00005"});
    ASSERT_TRUE(hex.Ok);
    EXPECT_EQ(hex.Options.Mode, TLinuxWindowMode::lwForeign);
    EXPECT_EQ(hex.Options.WindowId, 0x1a00005u);
    EXPECT_EQ(hex.Options.WindowSource, "--window-id");
    EXPECT_EQ(Parse({"-window-id", "27262981"}).Options.WindowId, 27262981u);
    EXPECT_EQ(Parse({"--window-id=0X1A00005"}).Options.WindowId, 0x1a00005u);
    EXPECT_TRUE(Parse({"--config"}).Options.Config);
    EXPECT_TRUE(Parse({"-h"}).Options.Help);
}

TEST(LinuxCommandLine, XScreenSaversWindowWinsOverTheWindowOptions) {
    for (const auto& args :
         {std::vector<const char*>{"--root"}, {"--window"}, {}, {"--window-id", "0x400001"}}) {
        const TLinuxParseResult r = Parse(args, "0x2e00007");
        ASSERT_TRUE(r.Ok);
        EXPECT_EQ(r.Options.Mode, TLinuxWindowMode::lwForeign);
        EXPECT_EQ(r.Options.WindowId, 0x2e00007u);
        EXPECT_EQ(r.Options.WindowSource, "XSCREENSAVER_WINDOW");
    }
    EXPECT_EQ(Parse({"--root"}, "").Options.Mode, TLinuxWindowMode::lwRoot);  // empty: unset
    EXPECT_EQ(Parse({"--root"}, "48234503").Options.WindowId, 48234503u);
    // The settings dialog does not look at the window at all.
    EXPECT_TRUE(Parse({"--config"}, "garbage").Ok);
}

TEST(LinuxCommandLine, HostileWindowIdsAreRefusedWithAClearMessage) {
    for (const char* id :
         {"", "0x", "0", "0x0", "-5", "+5", "12abc", "0x1g", "0x20000000", "536870912",
          "99999999999999999999999999", "0xffffffffffffffffff", " 12", "12 ", "１２"}) {
        const TLinuxParseResult r = Parse({"--window-id", id});
        EXPECT_FALSE(r.Ok) << id;
        EXPECT_NE(r.Error.find("is not a window id"), std::string::npos) << r.Error;
    }
    EXPECT_TRUE(Parse({"--window-id", "0x1FFFFFFF"}).Ok);
    const TLinuxParseResult env = Parse({}, "not-a-window");
    EXPECT_FALSE(env.Ok);
    EXPECT_EQ(env.Error, "XSCREENSAVER_WINDOW: 'not-a-window' is not a window id");
}

TEST(LinuxCommandLine, GarbageAndConflictsAreErrors) {
    EXPECT_EQ(Parse({"--window-id"}).Error, "--window-id needs a window id");
    EXPECT_EQ(Parse({"--bogus"}).Error, "unknown option '--bogus'");
    EXPECT_EQ(Parse({"/s"}).Error, "unexpected argument '/s'");
    EXPECT_EQ(Parse({"-"}).Error, "unexpected argument '-'");
    EXPECT_FALSE(Parse({"--root", "--window"}).Ok);
    EXPECT_FALSE(Parse({"--window-id", "5", "--root"}).Ok);
    EXPECT_FALSE(Parse({"--window", "stray"}).Ok);
    const char* args[] = {"lumenary", nullptr};
    EXPECT_FALSE(ParseArgs(2, args, nullptr).Ok);
    EXPECT_NE(UsageText("lumenary").find("--window-id XID"), std::string::npos);
}

TEST(LinuxCommandLine, WallIsAWindowOption) {
    EXPECT_EQ(Parse({"--wall"}).Options.Mode, TLinuxWindowMode::lwWall);
    EXPECT_EQ(Parse({"-wall"}).Options.Mode, TLinuxWindowMode::lwWall);
    EXPECT_EQ(Parse({"--wall", "--root"}).Error,
              "only one of --window, --window-id, --root and --wall may be given");
    EXPECT_FALSE(Parse({"--window", "--wall"}).Ok);
    EXPECT_FALSE(Parse({"--wall", "--sign-in"}).Ok);
    EXPECT_FALSE(Parse({"--wall=1"}).Ok);
    // Inside XScreenSaver the program draws where the daemon says.
    EXPECT_EQ(Parse({"--wall"}, "0x2e00007").Options.Mode, TLinuxWindowMode::lwForeign);
    EXPECT_NE(UsageText("lumenary").find("--wall"), std::string::npos);
}

}  // namespace
}  // namespace lum::gtk
