#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "host/CommandLine.h"

namespace lum::testing {
namespace {

using Args = std::vector<std::string>;

TCommandLineRequest Parse(const Args& args) {
    return ParseScreenSaverArgs(args);
}

void ExpectConfigWithoutParent(const Args& args) {
    const TCommandLineRequest r = Parse(args);
    EXPECT_EQ(r.Mode, TScreenSaverMode::Config);
    EXPECT_EQ(r.Handle, 0);
    EXPECT_FALSE(r.UseDesktop);
    EXPECT_FALSE(r.UseForeground);
}

// --- Splitting ---------------------------------------------------------------

TEST(CommandLine, SplitsAtBlanksAndControlCharacters) {
    EXPECT_EQ(SplitCommandLine("Lumenary.scr  /p\t1234\r\n"), (Args{"Lumenary.scr", "/p", "1234"}));
    EXPECT_EQ(SplitCommandLine(std::string("a\x01"
                                           "b\x1f"
                                           "c",
                                           5)),
              (Args{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine(std::string("a\0b", 3)), (Args{"a", "b"}));
    EXPECT_EQ(SplitCommandLine(""), Args{});
    EXPECT_EQ(SplitCommandLine(" \t \r\n"), Args{});
}

TEST(CommandLine, QuotesGroupBlanksAndAreDropped) {
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\スクリーン\\Lumenary.scr\" \"/p\" 12"),
              (Args{"C:\\Program Files\\スクリーン\\Lumenary.scr", "/p", "12"}));
    EXPECT_EQ(SplitCommandLine("a\"b c\"d e"), (Args{"ab cd", "e"}));
    EXPECT_EQ(SplitCommandLine("x \"\" y"), (Args{"x", "", "y"}));
    EXPECT_EQ(SplitCommandLine("x \"unterminated y"), (Args{"x", "unterminated y"}));
    EXPECT_EQ(SplitCommandLine("\""), Args{""});
}

// --- Switches ----------------------------------------------------------------

TEST(CommandLine, NoArgumentsSelectsConfigurationWithoutParent) {
    ExpectConfigWithoutParent({});
}

TEST(CommandLine, OnlyTheSecondCharacterOfTheSwitchCounts) {
    for (const char* s : {"/s", "/S", "-s", "/save", "-SCREEN", "/s:99"}) {
        const TCommandLineRequest r = Parse({s, "77"});
        EXPECT_EQ(r.Mode, TScreenSaverMode::Normal) << s;
        EXPECT_TRUE(r.UseDesktop) << s;
        EXPECT_EQ(r.Handle, 0) << s;
    }
    ExpectConfigWithoutParent({"s"});
    ExpectConfigWithoutParent({"save", "/s"});
    ExpectConfigWithoutParent({"p", "1234"});
}

TEST(CommandLine, PreviewTakesParentFromSecondArgument) {
    EXPECT_EQ(Parse({"/p", "1234"}).Mode, TScreenSaverMode::Preview);
    EXPECT_EQ(Parse({"/p", "1234"}).Handle, 1234);
    EXPECT_EQ(Parse({"-P", "1234", "5678"}).Handle, 1234);
    EXPECT_EQ(Parse({"/p:1234"}).Mode, TScreenSaverMode::Preview);
    EXPECT_EQ(Parse({"/p:1234"}).Handle, 0);
    EXPECT_EQ(Parse({"/p"}).Handle, 0);
    EXPECT_FALSE(Parse({"/p"}).UseForeground);
}

TEST(CommandLine, PasswordTakesParentFromSecondArgument) {
    EXPECT_EQ(Parse({"/a", "1234"}).Mode, TScreenSaverMode::Password);
    EXPECT_EQ(Parse({"/A", "1234"}).Handle, 1234);
    EXPECT_EQ(Parse({"/a"}).Handle, 0);
    EXPECT_FALSE(Parse({"/a"}).UseForeground);
}

TEST(CommandLine, ConfigTakesParentAfterColonOfSwitchOnly) {
    const TCommandLineRequest withHandle = Parse({"/c:1234"});
    EXPECT_EQ(withHandle.Mode, TScreenSaverMode::Config);
    EXPECT_EQ(withHandle.Handle, 1234);
    EXPECT_FALSE(withHandle.UseForeground);
    EXPECT_EQ(Parse({"-C:1234:5"}).Handle, 0);  // "1234:5" is not a number
    for (const Args& args : {Args{"/c"}, Args{"/c:"}, Args{"/c", "1234"}, Args{"/c:0"},
                             Args{"/cfg"}, Args{"/c:abc"}}) {
        const TCommandLineRequest r = Parse(args);
        EXPECT_EQ(r.Mode, TScreenSaverMode::Config) << args[0];
        EXPECT_EQ(r.Handle, 0) << args[0];
        EXPECT_TRUE(r.UseForeground) << args[0];
    }
}

TEST(CommandLine, HandlesMayBeHexadecimalOrSigned) {
    for (const char* h : {"$1A", "0x1A", "x1A", "X1a", "0X1a", " 26", "+26"})
        EXPECT_EQ(Parse({"/p", h}).Handle, 26) << h;
    EXPECT_EQ(Parse({"/p", "-5"}).Handle, -5);
    EXPECT_EQ(Parse({"/a", "$FFFFFFFF"}).Handle, -1);
    EXPECT_EQ(Parse({"/c:x1A"}).Handle, 26);
    EXPECT_EQ(Parse({"/c:-5"}).Handle, -5);
    EXPECT_FALSE(Parse({"/c:-5"}).UseForeground);
    for (const char* bad : {"", "12abc", "1 2", "$", "0x", "x", "$1G", "4294967296", "2147483648",
                            "$100000000", "--5", "１２"})
        EXPECT_EQ(Parse({"/p", bad}).Handle, 0) << bad;
    EXPECT_EQ(Parse({"/p", "-2147483648"}).Handle, INT32_MIN);
}

TEST(CommandLine, GarbageIsConfigurationWithoutParent) {
    const std::string longArg = "/" + std::string(100000, 'q');
    for (const Args& args :
         {Args{"/?"}, Args{"/"}, Args{"-"}, Args{"///"}, Args{"/-s"}, Args{"/1234"},
          Args{"/x", "12"}, Args{"/ß"}, Args{"/ｓ"}, Args{"\xff\xfe"}, Args{""}, Args{"", "/s"},
          Args{longArg}, Args{"12", "/p"}}) {
        ExpectConfigWithoutParent(args);
    }
    EXPECT_EQ(Parse({"/p", std::string(100000, '9')}).Handle, 0);
}

TEST(CommandLine, QuotedSwitchCountsAsSwitch) {
    const auto args = SplitCommandLine("Lumenary.scr \"/p\" 12");
    const TCommandLineRequest r = Parse(Args(args.begin() + 1, args.end()));
    EXPECT_EQ(r.Mode, TScreenSaverMode::Preview);
    EXPECT_EQ(r.Handle, 12);
}

// --- The parent window, as the host looks it up ------------------------------

constexpr THandle kTop = 0x600;
constexpr THandle kMiddle = 0x500;
constexpr THandle kChild = 1234;

// kChild (child) -> kMiddle (child) -> kTop (top-level).
void AddWindowChain(THostFixture& f) {
    f.AddWindow(kTop, 0x10000000);
    f.AddWindow(kMiddle, kWsChild | 0x10000000, kTop);
    f.AddWindow(kChild, kWsChild, kMiddle);
}

TEST(CommandLineParent, FullScreenParentIsDesktopWindow) {
    THostFixture f;
    f.Construct("/s");
    EXPECT_EQ(ParentWnd, f.System.Desktop);
    EXPECT_TRUE(f.Host->Normal());
}

TEST(CommandLineParent, PreviewParentIsNotNormalised) {
    THostFixture f;
    AddWindowChain(f);
    f.System.ClassWindows["Progman"] = kChild;
    f.Construct("/p 1234");
    EXPECT_TRUE(f.Host->Preview());
    EXPECT_EQ(ParentWnd, kChild);
}

TEST(CommandLineParent, ConfigAndPasswordWalkUpToTopLevelWindow) {
    for (const char* line : {"/c:1234", "/c:$4D2", "/a 1234", "/a 0x4d2"}) {
        THostFixture f;
        AddWindowChain(f);
        f.System.Foreground = 0x999;
        f.Construct(line);
        EXPECT_EQ(ParentWnd, kTop) << line;
    }
}

TEST(CommandLineParent, ConfigWithoutHandleUsesForegroundTopLevelWindow) {
    for (const char* line : {"/c", "/c:", "/c 1234", "/c:0"}) {
        THostFixture f;
        AddWindowChain(f);
        f.AddWindow(0x700);
        f.AddWindow(0x710, kWsChild, 0x700);
        f.System.Foreground = 0x710;
        f.Construct(line);
        EXPECT_TRUE(f.Host->Config()) << line;
        EXPECT_EQ(ParentWnd, 0x700u) << line;
    }
}

TEST(CommandLineParent, UnknownOrMissingParentIsKeptOrZero) {
    {
        THostFixture f;
        f.System.Foreground = 0x710;
        f.Construct("/?");
        EXPECT_TRUE(f.Host->Config());
        EXPECT_EQ(ParentWnd, 0u);  // no foreground fallback for garbage
    }
    {
        THostFixture f;
        f.Construct("/c:-5");  // not a window: nothing to walk, kept as it is
        EXPECT_EQ(ParentWnd, HandleFromInt(-5));
    }
    {
        THostFixture f;
        f.Construct("/a");
        EXPECT_TRUE(f.Host->Password());
        EXPECT_EQ(ParentWnd, 0u);
    }
    {
        THostFixture f;
        f.AddWindow(0x800, kWsChild, 0);  // a child whose parent is gone
        f.Construct("/c:$800");
        EXPECT_EQ(ParentWnd, 0u);
    }
}

TEST(CommandLineParent, ShellWindowsAreNeverTheParent) {
    for (const char* shellClass : {"ExploreWClass", "CabinetWClass", "Progman"}) {
        THostFixture f;
        AddWindowChain(f);
        f.System.ClassWindows[shellClass] = kTop;
        f.System.Foreground = kMiddle;
        f.Construct("/c");
        EXPECT_EQ(ParentWnd, 0u) << shellClass;
    }
    for (const char* shellClass : {"ExploreWClass", "CabinetWClass", "Progman"}) {
        THostFixture f;
        AddWindowChain(f);
        f.System.ClassWindows[shellClass] = kTop;
        f.Construct("/a 1234");
        EXPECT_EQ(ParentWnd, 0u) << shellClass;
    }
}

TEST(CommandLineParent, OnlyFirstShellWindowOfEachClassIsCompared) {
    THostFixture f;
    AddWindowChain(f);
    f.System.ClassWindows["CabinetWClass"] = 0x900;           // another folder window comes first
    f.System.ClassWindows["Progman|Program Manager"] = kTop;  // the titled look-up is not used
    f.Construct("/c:1234");
    EXPECT_EQ(ParentWnd, kTop);
}

TEST(CommandLineParent, ParentLoopDoesNotHangStartUp) {
    THostFixture f;
    f.AddWindow(0xA00, kWsChild, 0xB00);
    f.AddWindow(0xB00, kWsChild, 0xA00);
    f.Construct("/c:$A00");
    EXPECT_TRUE(ParentWnd == 0xA00u || ParentWnd == 0xB00u);
}

}  // namespace
}  // namespace lum::testing
