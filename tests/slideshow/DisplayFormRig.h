// The display form with every platform service faked, shared by the display
// form's tests and the soak test: the application object, the fakes, and a
// web view factory that keeps the fake it made (or fails on request).
#pragma once

#include <memory>

#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeWebView.h"
#include "slideshow/Main.h"

namespace lum::testing {

class TDisplayFormRig {
  protected:
    fakes::TFakeApplicationPlatform AppPlatform;
    TApplication App{AppPlatform};
    fakes::TFakeHostSystem Host;
    fakes::TFakeFormWindowFactory Windows;
    fakes::TFakeRegistry Registry;
    fakes::TFakeFileSystem Files;
    fakes::TFakeClock Clock;
    fakes::TFakeLocale Locale;
    fakes::TFakeWebView* Web = nullptr;
    bool FailWebView = false;
    TDisplayServices Services{{Windows, Registry, Files, Clock, Locale, nullptr, {}, {}},
                              Host,
                              nullptr};
    std::unique_ptr<TScreenSaverDisplayForm> Form;

    TDisplayFormRig() {
        SetApplication(&App);
        App.Title = "Lumenary";
        Services.CreateWebView = [this](THandle) -> std::unique_ptr<IWebView> {
            if (FailWebView)
                throw Exception("OLE コントロールのアクティベートに失敗しました");
            auto web = std::make_unique<fakes::TFakeWebView>();
            Web = web.get();
            return web;
        };
        Clock.Tick = 5000;
    }
    ~TDisplayFormRig() {
        Form.reset();
        SetApplication(nullptr);
    }
    fakes::TFakeFormWindow& Window() { return *Windows.Created.at(0); }
};

}  // namespace lum::testing
