// The web session's options of the command line: --sign-in [URL],
// --sign-out [--yes], and the combinations that make no sense.
#include <gtest/gtest.h>

#include <vector>

#include "linux/LinuxCommandLine.h"

namespace lum::gtk {
namespace {

TLinuxParseResult Parse(std::vector<const char*> args, const char* env = nullptr) {
    args.insert(args.begin(), "lumenary");
    return ParseArgs(static_cast<int>(args.size()), args.data(), env);
}

TEST(WebSessionCommandLine, SignInTakesAnOptionalUrl) {
    const TLinuxParseResult bare = Parse({"--sign-in"});
    ASSERT_TRUE(bare.Ok) << bare.Error;
    EXPECT_TRUE(bare.Options.SignIn);
    EXPECT_EQ(bare.Options.SignInUrl, "");
    const TLinuxParseResult url = Parse({"-sign-in", "https://intranet/dash"});
    ASSERT_TRUE(url.Ok) << url.Error;
    EXPECT_EQ(url.Options.SignInUrl, "https://intranet/dash");
    // XScreenSaver's window does not turn a sign-in into a run.
    const TLinuxParseResult env = Parse({"--sign-in"}, "0x1a00005");
    ASSERT_TRUE(env.Ok);
    EXPECT_TRUE(env.Options.SignIn);
    EXPECT_EQ(env.Options.Mode, TLinuxWindowMode::lwFullScreen);
}

TEST(WebSessionCommandLine, SignOutAsksUnlessYes) {
    const TLinuxParseResult out = Parse({"--sign-out"});
    ASSERT_TRUE(out.Ok);
    EXPECT_TRUE(out.Options.SignOut);
    EXPECT_FALSE(out.Options.Yes);
    EXPECT_TRUE(Parse({"--sign-out", "--yes"}).Options.Yes);
    EXPECT_TRUE(Parse({"--yes", "--sign-out"}).Ok);
}

TEST(WebSessionCommandLine, ConflictsAreErrors) {
    for (const auto& args :
         std::vector<std::vector<const char*>>{{"--sign-in", "--sign-out"},
                                               {"--sign-in", "--config"},
                                               {"--sign-out", "--window"},
                                               {"--sign-in", "--root"},
                                               {"--yes"},
                                               {"--sign-in", "https://a", "https://b"},
                                               {"--sign-in", "--yes"}}) {
        const TLinuxParseResult r = Parse(args);
        EXPECT_FALSE(r.Ok) << args[0] << " " << args[1];
        EXPECT_FALSE(r.Error.empty());
    }
}

}  // namespace
}  // namespace lum::gtk
