// The capture window with the WebBrowser control under Wine: creation, in-place
// activation, sizing through the site, the answers of the site and sink,
// the capture bitmap's file, and teardown without leaks. Wine renders no
// page here, so no document ever completes; the capture pass just waits.
#include "win32/PumpMessages.h"
#include "win32/browser/Win32WebView.h"

#include <windows.h>

#include <exdispid.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Bmp.h"
#include "common/Forms.h"
#include "slideshow/PageFailure.h"
#include "slideshow/Working.h"
#include "win32/ReportPlatform.h"
#include "win32/Strings.h"
#include "win32/Win32FileSystem.h"
#include "win32/browser/DispatchObject.h"
#include "win32/browser/Win32CaptureBitmap.h"

using Microsoft::WRL::ComPtr;

namespace lum::win32 {
namespace {

constexpr GUID kCgidDocHostCommandHandler = {0xF38BC242,
                                             0xB950,
                                             0x11D1,
                                             {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};

class CaptureWebView : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
    void TearDown() override {
        PumpMessages(20);
        ::OleUninitialize();
    }

    static HWND CreateOwner() {
        return ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    }

    static std::string TempDir() {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        return Narrow(temp);
    }
};

TEST_F(CaptureWebView, WindowHoldsTheControlActivatedInPlace) {
    const HWND owner = CreateOwner();
    ASSERT_TRUE(owner);
    auto view = CreateCaptureWebView(reinterpret_cast<THandle>(owner));
    const HWND window = view->Window();
    ASSERT_TRUE(::IsWindow(window));
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_NE(::GetActiveWindow(), window);
    EXPECT_EQ(::GetWindow(window, GW_OWNER), owner);

    wchar_t caption[32] = {};
    ::GetWindowTextW(window, caption, 32);
    EXPECT_EQ(std::wstring(caption), L"WorkingForm");
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_CHILD));
    RECT client{}, bounds{};
    ::GetClientRect(window, &client);
    ::GetWindowRect(window, &bounds);
    EXPECT_EQ(client.right, 112);
    EXPECT_EQ(client.bottom, 23);
    EXPECT_EQ(bounds.left, 226);
    EXPECT_EQ(bounds.top, 208);

    ASSERT_NE(view->Host(), nullptr);
    EXPECT_NE(view->Host()->Browser(), nullptr);
    // Active in place: the control's own window is a child of the form's.
    const HWND control = view->ControlWindow();
    ASSERT_TRUE(::IsWindow(control));
    EXPECT_TRUE(::IsChild(window, control));
    RECT rect{};
    ::GetWindowRect(control, &rect);
    EXPECT_EQ(rect.left - bounds.left, 0);
    EXPECT_EQ(rect.top - bounds.top, 0);
    EXPECT_EQ(rect.right - rect.left, 153);
    EXPECT_EQ(rect.bottom - rect.top, 73);
    view.reset();
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(TWebBrowserHost::Instances(), 0);  // the control let go of its site
    ::DestroyWindow(owner);
}

TEST_F(CaptureWebView, ActivationTakenByTheControlGoesBackToTheActiveWindow) {
    auto view = CreateCaptureWebView(0);
    const HWND front =
        ::CreateWindowExW(0, L"STATIC", L"front", WS_POPUP | WS_VISIBLE, 300, 300, 50, 50, nullptr,
                          nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(front);
    ::SetActiveWindow(front);
    PumpMessages(20);
    ASSERT_EQ(::GetActiveWindow(), front);
    // What the control does when its page takes the focus.
    ::SetFocus(view->ControlWindow());
    PumpMessages(50);
    EXPECT_EQ(::GetActiveWindow(), front);
    ::DestroyWindow(front);
}

TEST_F(CaptureWebView, NavigationReturnsAndTheDocumentIsAskedForSafely) {
    auto view = CreateCaptureWebView(0);
    int completions = 0;
    view->OnDocumentComplete = [&](const std::string&) { ++completions; };
    EXPECT_NO_THROW(view->Navigate("about:blank"));
    EXPECT_NO_THROW(view->Navigate("http://example.invalid/ü"));
    PumpMessages(300);
    // Without a page renderer there is no document; asking for it is an error
    // report, not a crash.
    try {
        auto body = view->GetDocumentBody();
        EXPECT_GE(body->GetIntProperty("scrollWidth"), 0);
    } catch (const Exception&) {
    }
    RecordProperty("completions", completions);
}

TEST_F(CaptureWebView, SizeGoesToTheControlAndNotToTheWindow) {
    auto view = CreateCaptureWebView(0);
    EXPECT_NO_THROW(view->SetWidth(300));
    EXPECT_NO_THROW(view->SetHeight(200));
    RECT rect{};
    ASSERT_TRUE(::GetWindowRect(view->ControlWindow(), &rect));
    EXPECT_EQ(rect.right - rect.left, 300);
    EXPECT_EQ(rect.bottom - rect.top, 200);
    // The site hands a requested rectangle to the control unchanged.
    const RECT requested{0, 0, 120, 90};
    EXPECT_EQ(view->Host()->OnPosRectChange(&requested), S_OK);
    ::GetWindowRect(view->ControlWindow(), &rect);
    EXPECT_EQ(rect.right - rect.left, 120);
    EXPECT_EQ(rect.bottom - rect.top, 90);
    RECT client{};
    ::GetClientRect(view->Window(), &client);
    EXPECT_EQ(client.right, 112);
    EXPECT_EQ(client.bottom, 23);
}

TEST_F(CaptureWebView, OwnerDestroyedFirstTakesTheControlDownCleanly) {
    const HWND owner = CreateOwner();
    auto view = CreateCaptureWebView(reinterpret_cast<THandle>(owner));
    const HWND window = view->Window();
    ::DestroyWindow(owner);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(view->Window(), nullptr);
    EXPECT_EQ(view->Host(), nullptr);
    EXPECT_EQ(TWebBrowserHost::Instances(), 0);
    EXPECT_THROW(view->Navigate("about:blank"), Exception);
    view.reset();
}

TEST_F(CaptureWebView, SiteAnswersScriptErrorsDialogsAndNewWindows) {
    auto view = CreateCaptureWebView(0);
    TWebBrowserHost* host = view->Host();

    ComPtr<IOleCommandTarget> target;
    ASSERT_TRUE(SUCCEEDED(host->QueryInterface(IID_PPV_ARGS(&target))));
    VARIANT out;
    ::VariantInit(&out);
    EXPECT_EQ(target->Exec(&kCgidDocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out),
              S_OK);
    EXPECT_EQ(out.vt, VT_BOOL);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    EXPECT_EQ(target->Exec(&IID_IUnknown, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, &out),
              static_cast<HRESULT>(OLECMDERR_E_UNKNOWNGROUP));

    ComPtr<IDocHostShowUI> showUi;
    ASSERT_TRUE(SUCCEEDED(host->QueryInterface(IID_PPV_ARGS(&showUi))));
    LRESULT answer = 0;
    wchar_t text[] = L"alert";
    EXPECT_EQ(showUi->ShowMessage(nullptr, text, text, MB_OK, nullptr, 0, &answer), S_OK);
    EXPECT_EQ(answer, IDOK);

    // NewWindow2 (ppDisp, Cancel) and NewWindow3 (ppDisp, Cancel, flags,
    // context, URL); the arguments arrive last first.
    ComPtr<IDispatch> sink;
    ASSERT_TRUE(SUCCEEDED(host->QueryInterface(__uuidof(DWebBrowserEvents2), &sink)));
    for (const auto& [id, count] : {std::pair{DISPID_NEWWINDOW2, 2u}, {DISPID_NEWWINDOW3, 5u}}) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        IDispatch* created = nullptr;
        std::vector<VARIANT> args(count);
        for (VARIANT& arg : args)
            ::VariantInit(&arg);
        args[count - 1].vt = VT_BYREF | VT_DISPATCH;
        args[count - 1].ppdispVal = &created;
        args[count - 2].vt = VT_BYREF | VT_BOOL;
        args[count - 2].pboolVal = &cancel;
        DISPPARAMS params{args.data(), nullptr, count, 0};
        EXPECT_EQ(
            sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            S_OK);
        EXPECT_EQ(cancel, VARIANT_TRUE) << id;
    }
}

// Fires DocumentComplete at the sink as the control does: (pDisp, URL) with
// the URL a reference to a VARIANT holding a string.
// DocumentComplete(window, url) to sink, as the control fires it: window is
// the control itself for the page's own document, a frame's window else.
HRESULT FireDocumentComplete(IDispatch* sink, const wchar_t* url, IDispatch* window) {
    VARIANT urlValue;
    urlValue.vt = VT_BSTR;
    urlValue.bstrVal = ::SysAllocString(url);
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_VARIANT;
    args[0].pvarVal = &urlValue;
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = window;
    DISPPARAMS params{args, nullptr, 2, 0};
    const HRESULT hr = sink->Invoke(DISPID_DOCUMENTCOMPLETE, IID_NULL, 0, DISPATCH_METHOD, &params,
                                    nullptr, nullptr, nullptr);
    ::VariantClear(&urlValue);
    return hr;
}

TEST_F(CaptureWebView, DocumentCompleteReachesTheHandlerAndItsErrorsStayInside) {
    TReportPlatform platform;
    TApplication application(platform);
    application.Title = "Lumenary";
    SetApplication(&application);
    auto view = CreateCaptureWebView(0);
    ComPtr<IDispatch> sink;
    ASSERT_TRUE(SUCCEEDED(view->Host()->QueryInterface(IID_PPV_ARGS(&sink))));

    std::vector<std::string> urls;
    view->OnDocumentComplete = [&](const std::string& url) {
        urls.push_back(url);
        if (url == "http://fail/")
            throw Exception("capture failed");
    };
    ComPtr<IDispatch> kept(view->Host()->Browser());
    IDispatch* control = kept.Get();
    EXPECT_EQ(FireDocumentComplete(sink.Get(), L"http://x/\u00FC", control), S_OK);
    // A frame's completion is not the page's.
    EXPECT_EQ(FireDocumentComplete(sink.Get(), L"about:blank", nullptr), S_OK);
    EXPECT_EQ(FireDocumentComplete(sink.Get(), L"http://fail/", control), S_OK);
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[0], "http://x/\xC3\xBC");
    ASSERT_EQ(platform.Reports.size(), 1u);
    EXPECT_EQ(platform.Reports[0], "capture failed");

    // Once the view is gone the sink calls nobody.
    view.reset();
    EXPECT_EQ(FireDocumentComplete(sink.Get(), L"http://late/", control), S_OK);
    EXPECT_EQ(urls.size(), 2u);
    sink.Reset();
    kept.Reset();
    EXPECT_EQ(TWebBrowserHost::Instances(), 0);
    SetApplication(nullptr);
}

TEST_F(CaptureWebView, CaptureBitmapIsReadBackAsAWhitePictureOfItsSize) {
    auto view = CreateCaptureWebView(0);
    auto bitmap = view->CreateCaptureBitmap();
    TPageBitmap picture;
    EXPECT_THROW(bitmap->ReadPixels(picture), Exception);  // no size yet
    bitmap->SetWidth(40);
    EXPECT_EQ(bitmap->Width(), 40);
    EXPECT_EQ(bitmap->Height(), 0);
    bitmap->SetHeight(30);
    bitmap->DrawView(8, TRect{0, 0, 40, 30});  // whatever Wine draws, no crash
    ASSERT_NO_THROW(bitmap->ReadPixels(picture));
    ASSERT_EQ(picture.Width(), 40);
    ASSERT_EQ(picture.Height(), 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(picture.Pixel(x, y), 0xFFFFFFu);

    EXPECT_THROW(bitmap->SetHeight(-1), Exception);
    bitmap->SetWidth(200000);
    // More than the system can give: a failure for lack of memory, which
    // the capture pass tells apart (the page's card says so).
    EXPECT_THROW(bitmap->SetHeight(200000), OutOfMemory);
}

TEST_F(CaptureWebView, PictureStepHandsOverTheRequestedSizeAndMeasuringWithoutAPageThrows) {
    auto view = CreateCaptureWebView(0);
    TSize taken;
    std::uint32_t corner = 0;
    view->TakePicture(
        TSize{64, 48},
        [&](const TPageBitmap& picture) {
            taken = TSize{picture.Width(), picture.Height()};
            corner = picture.Pixel(63, 47);
        },
        [](const std::string& message) { FAIL() << message; });
    EXPECT_EQ(taken, (TSize{64, 48}));
    EXPECT_EQ(corner, 0xFFFFFFu);
    // No page was ever loaded: the failure comes from the call itself, at once.
    bool measured = false;
    EXPECT_THROW(view->MeasurePage([&](TSize) { measured = true; }, [](const std::string&) {}),
                 Exception);
    EXPECT_FALSE(measured);
}

// Wine answers GetGuiResources and GetProcessHandleCount with 0, so windows
// and kernel handles are also counted directly: the thread's windows (top-level,
// message-only and their children) and the handle values that name an object.
BOOL CALLBACK CountOne(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

int CountWithChildren(HWND window) {
    int count = 1;
    ::EnumChildWindows(window, &CountOne, reinterpret_cast<LPARAM>(&count));
    return count;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM counter) {
    *reinterpret_cast<int*>(counter) += CountWithChildren(window);
    return TRUE;
}

int CountThreadWindows() {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountTopLevel, reinterpret_cast<LPARAM>(&count));
    for (HWND window = nullptr;
         (window = ::FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
        if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId())
            count += CountWithChildren(window);
    }
    return count;
}

int CountKernelHandles() {
    int count = 0;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

TEST_F(CaptureWebView, RepeatedCreationAndTeardownLeaksNoWindowsOrHandles) {
    auto cycle = [this]() {
        auto view = CreateCaptureWebView(0);
        view->Navigate("about:blank");
        auto bitmap = view->CreateCaptureBitmap();
        bitmap->SetWidth(64);
        bitmap->SetHeight(64);
        bitmap->DrawView(8, TRect{0, 0, 64, 64});
        bitmap.reset();
        PumpMessages(10);
    };
    for (int i = 0; i < 3; ++i)
        cycle();  // the engine's one-time allocations
    PumpMessages(50);
    const int windowsBefore = CountThreadWindows();
    const int handlesBefore = CountKernelHandles();
    const DWORD gdiBefore = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 20; ++i)
        cycle();
    PumpMessages(50);
    const int windowsAfter = CountThreadWindows();
    const int handlesAfter = CountKernelHandles();
    EXPECT_EQ(TWebBrowserHost::Instances(), 0);
    EXPECT_GT(handlesBefore, 0);
    EXPECT_LE(windowsAfter, windowsBefore);
    EXPECT_LE(handlesAfter, handlesBefore + 4);
    // Meaningful on Windows; Wine reports 0 for both.
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore + 4);
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), userBefore + 4);
    RecordProperty("windows", std::to_string(windowsBefore) + "->" + std::to_string(windowsAfter));
    RecordProperty("handles", std::to_string(handlesBefore) + "->" + std::to_string(handlesAfter));
}

TEST_F(CaptureWebView, CaptureBitmapDeletesEveryGdiObjectItMade) {
    auto view = CreateCaptureWebView(0);
    auto bitmap = std::make_unique<TWin32CaptureBitmap>(ComPtr<IUnknown>(view->Host()->Browser()));
    const HDC dc = bitmap->DeviceContext();
    bitmap->SetWidth(4);
    bitmap->SetHeight(4);
    const HBITMAP first = bitmap->Handle();
    ASSERT_EQ(::GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP));
    bitmap->SetWidth(5);  // a new size replaces the bitmap
    const HBITMAP second = bitmap->Handle();
    EXPECT_EQ(::GetObjectType(first), 0u);
    ASSERT_EQ(::GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), second);
    bitmap->DrawView(8, TRect{0, 0, 5, 4});
    bitmap.reset();
    EXPECT_EQ(::GetObjectType(second), 0u);
    EXPECT_EQ(::GetObjectType(dc), 0u);
}

struct TSource : ICaptureSource {
    std::vector<std::string> List{"about:blank", "http://example.invalid/"};
    const std::vector<std::string>& URLs() const override { return List; }
    bool EnableScroll() const override { return true; }
    std::int32_t Width() const override { return 640; }
    std::int32_t Height() const override { return 480; }
};

// Wine's engine ends every navigation in a NavigateError of the control
// itself (here 0x800401E4 for "about:blank", 0x800C0008 for an unknown host): each page of the list
// fails, leaves its record, and the pass ends instead of waiting for a completion that never comes.
TEST_F(CaptureWebView, CapturePassUnderWinesEngineFailsEveryPageAndEnds) {
    TReportPlatform platform;
    TApplication application(platform);
    SetApplication(&application);
    TWin32FileSystem files;
    TSource source;
    const std::string cache = TempDir() + "LumenaryCaptureTest\\";
    ::CreateDirectoryW(Widen(cache).c_str(), nullptr);
    auto form = std::make_unique<TWorkingForm>(CreateCaptureWebView(0), files, cache, source);
    form->StartCapture();
    const DWORD start = ::GetTickCount();
    do
        PumpMessages(20);
    while ((form->Busy() || form->NextIndex() == 0) && ::GetTickCount() - start < 10000);
    EXPECT_FALSE(form->Busy());
    EXPECT_EQ(form->NextIndex(), 2);
    for (std::int32_t index : {0, 1}) {
        TPageFailure failure;
        EXPECT_TRUE(ReadFailureRecord(files, GetFailureFileName(cache, index), failure)) << index;
        EXPECT_EQ(failure.Kind, TPageFailureKind::pfOther) << index;
        EXPECT_EQ(failure.Detail.substr(0, 3), "0x8") << index;
        files.DeleteFile(GetFailureFileName(cache, index));
    }
    EXPECT_TRUE(platform.Reports.empty());
    form.reset();
    EXPECT_EQ(TWebBrowserHost::Instances(), 0);
    SetApplication(nullptr);
}

}  // namespace
}  // namespace lum::win32
