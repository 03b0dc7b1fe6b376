// The browser-emulation value of the program under Wine's registry: written
// once for the program's file name, never over a value already there, and
// written by the run before its capture web view exists.
#include "win32/browser/BrowserEmulation.h"

#include <ole2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "app/win32/AppServices.h"

namespace lum::win32 {
namespace {

class BrowserEmulation : public ::testing::Test {
  protected:
    void SetUp() override {
        FName = ProgramFileName();
        ASSERT_FALSE(FName.empty());
        ASSERT_EQ(FName.find_first_of(L"\\/:"), std::wstring::npos);  // the file part only
        Delete();
    }
    void TearDown() override { Delete(); }

    void Delete() { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kBrowserEmulationKey, FName.c_str()); }
    std::pair<DWORD, DWORD> Read() const {
        DWORD type = 0, value = 0, size = sizeof(value);
        if (::RegGetValueW(HKEY_CURRENT_USER, kBrowserEmulationKey, FName.c_str(), RRF_RT_ANY,
                           &type, &value, &size) != ERROR_SUCCESS)
            return {0, 0};
        return {type, value};
    }

    std::wstring FName;
};

TEST_F(BrowserEmulation, IsWrittenOnceAndNeverOverwritten) {
    EnsureBrowserEmulation();
    EXPECT_EQ(Read(), (std::pair<DWORD, DWORD>{REG_DWORD, 11001}));

    const DWORD own = 8000;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kBrowserEmulationKey, FName.c_str(), REG_DWORD, &own,
                      sizeof(own));
    EnsureBrowserEmulation();
    EXPECT_EQ(Read(), (std::pair<DWORD, DWORD>{REG_DWORD, 8000}));
}

TEST_F(BrowserEmulation, IsInPlaceWhenTheRunMakesItsCaptureView) {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    {
        TAppServices services;
        auto view = services.Display.CreateWebView(0);
        ASSERT_TRUE(view);
        EXPECT_EQ(Read(), (std::pair<DWORD, DWORD>{REG_DWORD, 11001}));
    }
    ::OleUninitialize();
}

}  // namespace
}  // namespace lum::win32
