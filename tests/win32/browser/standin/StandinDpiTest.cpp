// The capture at the display scalings people use (100, 125, 150 and 200 %)
// against the stand-in control, which draws the pages of a DPI-aware host
// scaled to the screen and measures them in CSS pixels, as the real control
// does. Wine reads the system DPI (HKEY_CURRENT_USER\Control Panel\Desktop,
// LogPixels) once, when a process starts: each scale is captured by a child
// process of this runner (StandinDpiChild), started with the prefix set to
// it; the value is put back as it was (none: 96 DPI) before the test ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "common/PageScale.h"
#include "win32/browser/standin/StandinCaptureRig.h"

namespace lum::win32 {
namespace {

using namespace std::chrono_literals;

constexpr const wchar_t* kDesktopKey = L"Control Panel\\Desktop";
constexpr const wchar_t* kLogPixels = L"LogPixels";
constexpr const wchar_t* kChildDpiVariable = L"LUM_STANDIN_DPI";
constexpr DWORD kChildLimitMs = 60000;

// The prefix's LogPixels while it lives; what it was (or none) afterwards.
class TLogPixels {
  public:
    TLogPixels() {
        DWORD value = 0;
        DWORD size = sizeof(value);
        if (::RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, RRF_RT_REG_DWORD, nullptr,
                           &value, &size) == ERROR_SUCCESS)
            FBefore = value;
    }
    ~TLogPixels() {
        if (FBefore)
            Set(*FBefore);
        else
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels);
    }
    TLogPixels(const TLogPixels&) = delete;
    TLogPixels& operator=(const TLogPixels&) = delete;

    static bool Set(DWORD dpi) {
        return ::RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, kLogPixels, REG_DWORD, &dpi,
                                 sizeof(dpi)) == ERROR_SUCCESS;
    }

  private:
    std::optional<DWORD> FBefore;
};

// Runs this runner's StandinDpiChild tests in a process of their own that
// expects dpi; their exit code, or a text of what went wrong.
std::string RunChild(std::int32_t dpi) {
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_filter=StandinDpiChild.*";
    ::SetEnvironmentVariableW(kChildDpiVariable, std::to_wstring(dpi).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::SetEnvironmentVariableW(kChildDpiVariable, nullptr);
    if (!started)
        return "not started (" + std::to_string(::GetLastError()) + ")";
    std::string result;
    if (::WaitForSingleObject(process.hProcess, kChildLimitMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 99);
        result = "still running after " + std::to_string(kChildLimitMs) + " ms";
    } else {
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        result = "exit code " + std::to_string(code);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return result;
}

TEST(StandinDpi, PictureIsTheWholePageInDevicePixelsAtEveryScale) {
    const TLogPixels restore;
    for (const std::int32_t dpi : {96, 120, 144, 192}) {
        ASSERT_TRUE(TLogPixels::Set(static_cast<DWORD>(dpi)));
        EXPECT_EQ(RunChild(dpi), "exit code 0") << "at " << dpi << " DPI";
    }
}

// The child's half: the DPI its parent set, 0 when run otherwise.
std::int32_t ChildDpi() {
    wchar_t text[16] = L"";
    if (!::GetEnvironmentVariableW(kChildDpiVariable, text, 16))
        return 0;
    return static_cast<std::int32_t>(std::wcstol(text, nullptr, 10));
}

std::int32_t ScreenDpi() {
    const HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSX);
    ::ReleaseDC(nullptr, dc);
    return dpi;
}

class StandinDpiChild : public StandinCapture {};

// A page larger than the display with a marker in its bottom-right corner,
// one that fills the display, and one whose rows load once scrolled into
// view, captured in one pass on a 1024 x 768 display: each picture is the
// page's CSS size in device pixels, rounded up (the fill page's, never more
// than the display), with the marker in its corner and every row drawn.
TEST_F(StandinDpiChild, CapturesEachPageWholeAtTheScreensScale) {
    const std::int32_t dpi = ChildDpi();
    if (dpi == 0)
        GTEST_SKIP() << "run by StandinDpi in a process of its own";
    ::SetProcessDPIAware();  // as Lumenary.scr is, through its manifest
    ASSERT_EQ(ScreenDpi(), dpi) << "the prefix's LogPixels did not reach this process";
    const TAxisDpi scale{dpi, 96};
    const auto device = [&](std::int32_t css) { return DevicePixels(css, scale); };
    const auto row = [&](std::int32_t y) { return y * 96 / dpi; };  // the CSS row of device row y

    const std::string folder = TempFolder();
    TWin32FileSystem files;
    ASSERT_TRUE(
        RunPasses({"standin:fixed?w=1101&h=1001&mark=1", "standin:fill", "standin:lazy?h=1500"},
                  folder, 1, {3000ms, 100ms, 20ms}));

    const TPageBitmap marked = ReadPicture(files, folder + "0.bmp");
    ASSERT_EQ(marked.Width(), device(1101));
    ASSERT_EQ(marked.Height(), device(1001));
    const std::int32_t right = marked.Width() - 1;
    const std::int32_t bottom = marked.Height() - 1;
    const std::string mark = std::to_string(kMarkColor.R) + "," + std::to_string(kMarkColor.G) +
                             "," + std::to_string(kMarkColor.B);
    EXPECT_EQ(PixelAt(marked, right, bottom), mark);
    EXPECT_EQ(PixelAt(marked, right - device(kMarkSize) + 1, bottom - device(kMarkSize) + 1), mark);
    EXPECT_EQ(PixelAt(marked, right - device(2 * kMarkSize), bottom),
              Expected(kFixedTag, row(bottom)));
    EXPECT_EQ(PixelAt(marked, right, bottom - device(2 * kMarkSize)),
              Expected(kFixedTag, row(bottom - device(2 * kMarkSize))));
    for (const std::int32_t y : {0, 255, bottom / 2, bottom})
        EXPECT_EQ(PixelAt(marked, 0, y), Expected(kFixedTag, row(y))) << "row " << y;

    const TPageBitmap fill = ReadPicture(files, folder + "1.bmp");
    EXPECT_EQ(fill.Width(), 1024);
    EXPECT_EQ(fill.Height(), 768);
    EXPECT_EQ(PixelAt(fill, 1023, 767), Expected(kFillTag, row(767)));

    // Scrolled through a view at a time in CSS pixels: a view shows 614 of
    // them at 125 %, 512 at 150 %, 384 at 200 %, and no row between two
    // views is jumped over.
    const TPageBitmap lazy = ReadPicture(files, folder + "2.bmp");
    EXPECT_EQ(lazy.Width(), 1024);
    ASSERT_EQ(lazy.Height(), device(1500));
    for (const std::int32_t y : {0, 383, 384, 511, 512, 613, 614, 767, 768, 1024, 1228, 1499})
        EXPECT_EQ(PixelAt(lazy, 10, device(y)), Expected(kLazyTag, y)) << "CSS row " << y;

    for (const char* name : {"0.bmp", "1.bmp", "2.bmp", "0.url", "1.url", "2.url"})
        files.DeleteFile(folder + name);
    ::RemoveDirectoryW(Widen(folder).c_str());
}

}  // namespace
}  // namespace lum::win32
