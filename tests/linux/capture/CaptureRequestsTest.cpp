// The option lines of the capture protocol: what the view sends reads back
// as the same options whatever their text; hostile lines are refused with a
// reason that never quotes a header's value; and the real capture program
// refuses them on its standard error, without the value, and goes on.
#include "linux/capture/CaptureRequests.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "linux/GtkTestSupport.h"
#include "linux/capture/CaptureProgram.h"
#include "linux/capture/CaptureProtocol.h"

namespace lum::gtk {
namespace {

const std::string kSecret = "s3cr3t-token";

TEST(CaptureOptionLines, OptionsReadBackAsSentWhateverTheirText) {
    TCaptureOptions options;
    options.ZoomPercent = 150;
    options.WaitSeconds = 7;
    options.Hide = ".a, #b > c[title=\"x y\"],\n\\ d";
    options.Crop = "main article:first-child";
    options.Headers = {{"Authorization", "Bearer " + kSecret + " \\n"},
                       {"X-Note", "日本語\tand blanks "},
                       {"x-empty", ""}};
    const std::vector<std::string> lines = CaptureOptionLines(options);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines.front(), "options 150 7");
    TCaptureOptions read;
    read.Hide = "of the page before";
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find_first_of("\n\r"), std::string::npos) << line;
        EXPECT_TRUE(IsCaptureOptionLine(line)) << line;
        std::string why;
        EXPECT_TRUE(ReadCaptureOptionLine(line, read, why)) << line << ": " << why;
    }
    EXPECT_EQ(read, options);

    EXPECT_EQ(CaptureOptionLines({}), std::vector<std::string>{"options 100 0"});
    options.ZoomPercent = 1000;
    options.WaitSeconds = -3;
    EXPECT_EQ(CaptureOptionLines(options).front(), "options 400 0");
    for (const char* other : {"", "navigate x", "hidden x", "optionsx 1 2", "size 1 2"})
        EXPECT_FALSE(IsCaptureOptionLine(other)) << other;
}

TEST(CaptureOptionLines, HostileLinesAreRefusedWithoutQuotingAValue) {
    TCaptureOptions options;
    options.Crop = "#kept";
    for (const std::string& line : std::vector<std::string>{
             "hide", "crop", "header", "header X-Key", "header Bad:Name " + kSecret,
             "header Bad\\nName " + kSecret, "header " + kSecret + "( v", "header  " + kSecret,
             "header \\0 " + kSecret, "header X-Key " + kSecret + "\\n",
             "header X-Key a\\rb" + kSecret, "header X-Key " + kSecret + "\\0",
             "header X-Key \x7F" + kSecret}) {
        std::string why;
        EXPECT_FALSE(ReadCaptureOptionLine(line, options, why)) << line;
        EXPECT_FALSE(why.empty()) << line;
        EXPECT_EQ(why.find(kSecret), std::string::npos) << why;
    }
    EXPECT_EQ(options.Crop, "#kept") << "a refused line leaves the options as they were";
    EXPECT_TRUE(options.Headers.empty());

    // A refused "options" line still starts a new page's options.
    for (const char* line :
         {"options", "options 100", "options 24 0", "options 401 0", "options 100 61",
          "options -1 0", "options 100 0 more", "options 1e2 0", "options  100 0"}) {
        options.Crop = "#left over";
        std::string why;
        EXPECT_FALSE(ReadCaptureOptionLine(line, options, why)) << line;
        EXPECT_NE(why.find("zoom of 25 to 400"), std::string::npos) << why;
        EXPECT_EQ(options, TCaptureOptions{}) << line;
    }
}

// Reads answer lines from the channel until one is want, or 30 s.
bool AnswerComes(int channel, const std::string& want, std::string& got) {
    return testing::RunUntil(
        [&] {
            char buffer[512];
            const ssize_t n = ::recv(channel, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                got.append(buffer, static_cast<std::size_t>(n));
            return got.find(want + "\n") != std::string::npos;
        },
        30000);
}

TEST(CaptureOptionLines, CaptureProgramRefusesHostileLinesOnStandardErrorAndGoesOn) {
    if (!testing::EnsureGtk())
        GTEST_SKIP() << "no X display";
    ::testing::internal::CaptureStderr();
    const TCaptureProgram program = StartCaptureProgram(LUM_CAPTURE_HELPER);
    const std::string requests =
        "size 640 480\n"
        "options 100 0\n"
        "header X-Key " +
        kSecret +
        "\\r\n"
        "header Bad:Name " +
        kSecret +
        "\n"
        "header\n"
        "options 9999 0\n"
        "crop\n"
        "hide " +
        std::string(20000, '[') +
        "\n"
        "navigate about:blank\n";
    ASSERT_EQ(::send(program.Channel, requests.data(), requests.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(requests.size()));
    std::string answers;
    EXPECT_TRUE(AnswerComes(program.Channel, "complete about:blank", answers)) << answers;
    ::close(program.Channel);
    EXPECT_TRUE(testing::RunUntil([&] { return !ProcessRuns(program.Pid); }, 20000));
    testing::RunUntil([] { return false; }, 300);  // its last lines reach standard error
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("a \"header\" request is refused"), std::string::npos) << said;
    EXPECT_NE(said.find("a \"options\" request is refused"), std::string::npos) << said;
    EXPECT_NE(said.find("a \"crop\" request is refused"), std::string::npos) << said;
    EXPECT_EQ(said.find(kSecret), std::string::npos) << said;
}

}  // namespace
}  // namespace lum::gtk
