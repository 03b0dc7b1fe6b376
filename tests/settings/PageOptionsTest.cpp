#include "settings/PageOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace lum {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A line as stored today means what it always meant: its URL, blanks and
// all, no option; options begin only at a word "<option>=".
TEST(PageOptions, ALineWithoutOptionsIsItsURLAsBefore) {
    for (const char* line :
         {"https://a.example/?q=1&x=\"y\"", "  https://a.example/\t ", "",
          "data:text/html,<p style=\"margin: 0\">a b</p>", "https://a/ zom=150%", "show=5"}) {
        const TURLLine read = ParseURLLine(line);
        EXPECT_THAT(read.Problems, IsEmpty()) << line;
        EXPECT_EQ(read.Options, TPageOptions()) << line;
        EXPECT_EQ(read.URL, line);
    }
    const TURLLine read = ParseURLLine("data:text/html,<p style=\"margin: 0\">a b</p>  show=5 x");
    EXPECT_EQ(read.URL, "data:text/html,<p style=\"margin: 0\">a b</p>");
    EXPECT_EQ(read.Options.ShowSeconds, 5);
    EXPECT_THAT(read.Problems, ElementsAre(HasSubstr("語目")));
}

TEST(PageOptions, EveryOptionIsRead) {
    const TURLLine read = ParseURLLine(
        "https://d.example/ show=60 refresh=5 zoom=150% wait=10 hide=\".cookie, #chat\" "
        "crop=\"#panel > div[data-x=\\\"1\\\"]\" header=\"Authorization: Bearer abc def\" "
        "header=X-Team:ops hours=08:00-18:00 hours=22:30-02:00 days=Fri-mon scroll=off");
    EXPECT_THAT(read.Problems, IsEmpty());
    const TPageOptions& o = read.Options;
    EXPECT_EQ(read.URL, "https://d.example/");
    EXPECT_EQ(o.ShowSeconds, 60);
    EXPECT_EQ(o.RefreshMinutes, 5);
    EXPECT_EQ(o.ZoomPercent, 150);
    EXPECT_EQ(o.WaitSeconds, 10);
    EXPECT_EQ(o.Hide, ".cookie, #chat");
    EXPECT_EQ(o.Crop, "#panel > div[data-x=\"1\"]");
    EXPECT_THAT(o.Headers,
                ElementsAre(THeader{"Authorization", "Bearer abc def"}, THeader{"X-Team", "ops"}));
    EXPECT_THAT(o.Hours, ElementsAre(TTimeRange{480, 1080}, TTimeRange{1350, 120}));
    EXPECT_EQ(o.Days, 0b1110001);  // Friday to Monday, over the week's end
    EXPECT_EQ(o.Scroll, false);
    // ... and written back so that it reads the same.
    const TURLLine again = ParseURLLine(FormatURLLine(read.URL, o));
    EXPECT_THAT(again.Problems, IsEmpty());
    EXPECT_EQ(again.URL, read.URL);
    EXPECT_EQ(again.Options, o);
}

// Each option that cannot be read is named with why; the others and the
// page stay.
TEST(PageOptions, OptionsThatCannotBeReadAreNamedAndLeftOut) {
    const TURLLine read = ParseURLLine(
        "https://a/ show=0 show=3601 refresh=1441 zoom=24% zoom=401 wait=-1 wait=61 "
        "hours=24:00-01:00 hours=08:00-08:00 hours=8:00-9:00 days=mon-xyz scroll=yes "
        "colour=red hide= stray show=5 show=6 zoom=50");
    EXPECT_EQ(read.URL, "https://a/");
    EXPECT_EQ(read.Options.ShowSeconds, 5);  // the first that reads; the second is named
    EXPECT_EQ(read.Options.ZoomPercent, 50);
    EXPECT_FALSE(read.Options.RefreshMinutes);
    EXPECT_FALSE(read.Options.WaitSeconds);
    EXPECT_THAT(read.Options.Hours, IsEmpty());
    EXPECT_EQ(read.Options.Days, 0x7F);
    EXPECT_FALSE(read.Options.Scroll);
    EXPECT_EQ(read.Problems.size(), 16u);
    EXPECT_THAT(read.Problems[0], HasSubstr("show=0: 1 から 3600"));
    EXPECT_THAT(read.Problems[12], HasSubstr("colour: 知らないオプション"));
    EXPECT_THAT(read.Problems[14], HasSubstr("語目"));
    EXPECT_THAT(read.Problems[15], HasSubstr("show: 二つ目"));
}

// An unbalanced quote ends the reading there; a header's value is a
// secret and is never quoted in a problem, even when written unquoted.
TEST(PageOptions, UnbalancedQuotesStopAndHeaderValuesNeverShow) {
    TURLLine read = ParseURLLine("https://a/ wait=3 hide=\"#x show=5");
    EXPECT_EQ(read.Options.WaitSeconds, 3);
    EXPECT_FALSE(read.Options.ShowSeconds);
    EXPECT_THAT(read.Problems, ElementsAre(HasSubstr("hide: 引用符")));

    read = ParseURLLine(
        "https://a/ header=Authorization: Bearer s3cr3t-t0ken header=\"Bad Name: s3cr3t\"");
    ASSERT_EQ(read.Problems.size(), 3u);
    for (const std::string& problem : read.Problems)
        EXPECT_THAT(problem, ::testing::Not(HasSubstr("s3cr3t"))) << problem;
    EXPECT_THAT(read.Options.Headers, ElementsAre(THeader{"Authorization", ""}));

    read = ParseURLLine("https://a/ header=\"X: a\nb\" hide=\"a\"b");
    EXPECT_THAT(read.Options.Headers, IsEmpty());
    EXPECT_THAT(read.Problems, ElementsAre(HasSubstr("header"), HasSubstr("hide")));
}

}  // namespace
}  // namespace lum
