// The URL a sign-in opens, from the URL box's text and the cursor's line:
// Windows line ends, blank and space-only lines, lines past the end, very
// long lines, and the saved list as the last resort.
#include <gtest/gtest.h>

#include <string>

#include "settings/SignInUrl.h"

namespace lum {
namespace {

TEST(SignInUrl, CursorLineWinsTrimmedOfBlanksAndCarriageReturn) {
    const std::string text = "http://a/\r\n  http://b/ \t\r\nhttp://c/";
    EXPECT_EQ(SignInUrlAt(text, 1), "http://b/");
    EXPECT_EQ(SignInUrlAt(text, 0), "http://a/");
    EXPECT_EQ(SignInUrlAt(text, 2), "http://c/");
}

TEST(SignInUrl, BlankOrSpaceOnlyCursorLineTakesTheFirstUrl) {
    const std::string text = "\r\n   \r\n  http://first/\r\n\t \r\nhttp://second/";
    EXPECT_EQ(SignInUrlAt(text, 1), "http://first/");
    EXPECT_EQ(SignInUrlAt(text, 3), "http://first/");
    EXPECT_EQ(SignInUrlAt(text, 0), "http://first/");
}

TEST(SignInUrl, LineOutsideTheTextTakesTheFirstUrl) {
    EXPECT_EQ(SignInUrlAt("x://1\ny://2", 7), "x://1");
    EXPECT_EQ(SignInUrlAt("x://1\ny://2", -1), "x://1");
}

TEST(SignInUrl, NoUrlAnywhereIsEmptyUnlessSaved) {
    EXPECT_EQ(SignInUrlAt("", 0), "");
    EXPECT_EQ(SignInUrlAt(" \r\n\t\r\n  ", 1), "");
    EXPECT_EQ(SignInUrlAt(" \r\n", 0, " http://saved/ "), "http://saved/");
    EXPECT_EQ(SignInUrlAt("http://box/", 0, "http://saved/"), "http://box/");
}

TEST(SignInUrl, VeryLongLineComesBackWhole) {
    const std::string url = "http://long/" + std::string(10000, 'q');
    const std::string text = "http://a/\r\n " + url + " \r\nhttp://c/";
    EXPECT_EQ(SignInUrlAt(text, 1), url);
}

}  // namespace
}  // namespace lum
