// A bare form carrying the host component, as the display form does, for
// the host's tests, with a configuration form and a translate control whose
// messages and lifetimes the tests can watch.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/Form.h"
#include "fakes/FakeHost.h"
#include "host/ZelScreenSaver.h"

namespace lum::testing {

class THostForm : public TForm {
  public:
    explicit THostForm(IFormWindowFactory& factory)
        : TForm(nullptr, factory, TFormWindowStyle{"THostForm", "", {}, true, true, 0}) {}
    std::vector<std::uint32_t> OwnMessages;
    std::vector<TMessage> OwnFull;  // the same messages with their parameters
    void WndProc(TMessage& message) override {
        OwnMessages.push_back(message.Msg);
        OwnFull.push_back(message);
        TForm::WndProc(message);
    }
    int Count(std::uint32_t msg) const {
        int n = 0;
        for (std::uint32_t m : OwnMessages)
            n += m == msg ? 1 : 0;
        return n;
    }
};

// A configuration form: ShowModal runs OnShowModal instead of a modal loop;
// *Destroyed turns true when the form is destroyed.
class TTestConfigForm : public TForm {
  public:
    TTestConfigForm(TComponent* owner, IFormWindowFactory& factory)
        : TForm(owner, factory, TFormWindowStyle{"TTestConfigForm", "", {}, true, false, 0}) {}
    ~TTestConfigForm() override {
        if (Destroyed)
            *Destroyed = true;
    }
    std::function<int()> OnShowModal;
    bool* Destroyed = nullptr;
    int ShowModal() override { return OnShowModal ? OnShowModal() : 1; }
};

// A windowed control (a translate control) that records what reaches its own
// handler and tells when it is destroyed.
class TTestControl : public TWinControl {
  public:
    TTestControl(TComponent* owner, THandle handle) : TWinControl(owner), FHandle(handle) {}
    THandle Handle() override { return FHandle; }
    void WndProc(TMessage& message) override { Own.push_back(message.Msg); }
    std::intptr_t Send(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        TMessage m{msg, wParam, lParam, 0};
        Dispatch(m);
        return m.Result;
    }
    std::vector<std::uint32_t> Own;

  private:
    THandle FHandle;
};

// Application object, fakes and a form; Start() builds the host as the
// display form does: construct, apply the stored values, then Loaded.
// The form's window is known to the fake system (style, extended style).
struct THostFixture {
    fakes::TFakeApplicationPlatform AppPlatform;
    TApplication App{AppPlatform};
    fakes::TFakeHostSystem System;
    fakes::TFakeFormWindowFactory Windows;
    std::unique_ptr<THostForm> Form;
    std::unique_ptr<TZelScreenSaver> Host;
    // Runs while the stored values are applied (the host is loading): binds
    // events, changes stored properties.
    std::function<void(TZelScreenSaver&)> BindEvents;
    std::uint32_t SaverExStyle = 0;  // extended style the form's window starts with

    THostFixture() {
        try {
            FPrevious = &Application();
        } catch (const Exception&) {
            FPrevious = nullptr;
        }
        SetApplication(&App);
        SaverWnd = ParentWnd = ConfigWnd = 0;
    }
    ~THostFixture() {
        AppPlatform.Deferred.clear();  // forms released but not destroyed yet
        Host.reset();
        Form.reset();
        SetApplication(FPrevious);
    }
    THostFixture(const THostFixture&) = delete;
    THostFixture& operator=(const THostFixture&) = delete;

    // The constructor of the host alone (the command line is read here).
    TZelScreenSaver& Construct(const std::string& commandLine) {
        System.Line = "Lumenary.scr " + commandLine;
        Form = std::make_unique<THostForm>(Windows);
        System.Windows[Form->Handle()] = fakes::TFakeWindow{0, SaverExStyle, 0, TRect{}};
        Host = std::make_unique<TZelScreenSaver>(Form.get(), System);
        return *Host;
    }
    // The stored values of the display form, then Loaded.
    void Load() {
        Host->SetLoading(true);
        Host->MutexName = "TZelScreenSaverMutex[43242875]";
        Host->TrapEvents = kAllTrapEvents;
        if (BindEvents)
            BindEvents(*Host);
        Host->Loaded();
    }
    TZelScreenSaver& Start(const std::string& commandLine) {
        Construct(commandLine);
        Load();
        return *Host;
    }
    fakes::TFakeFormWindow& Window() { return *Windows.Created.at(0); }

    // Close requests posted to the form so far.
    int PostedCloses() const {
        int n = 0;
        for (const auto& p : System.Posted)
            n += p.Msg == Msg::Close && p.Wnd == SaverWnd ? 1 : 0;
        return n;
    }
    // The message loop's part: delivers the posted messages to the form,
    // then runs the deferred releases.
    void Pump() {
        for (std::size_t i = 0; i < System.Posted.size() && i < 1000; ++i) {
            if (System.Posted[i].Wnd == SaverWnd && !Window().Destroyed)
                Window().Send(System.Posted[i].Msg);
        }
        System.Posted.clear();
        AppPlatform.RunDeferred();
    }
    // A window of the fake system.
    void AddWindow(THandle wnd, std::uint32_t style = 0, THandle parent = 0, TRect rect = {}) {
        System.Windows[wnd] = fakes::TFakeWindow{style, 0, parent, rect};
    }

  private:
    TApplication* FPrevious = nullptr;
};

// Input that ends a run: the password library with its export and a verdict.
inline void UsePasswordLibrary(fakes::TFakeHostSystem& system, std::deque<bool> verdicts) {
    system.NT = false;
    system.UsePassword = true;
    system.Libraries.insert("password.cpl");
    system.Exports.insert("VerifyScreenSavePwd");
    system.Verdicts = std::move(verdicts);
}

// A full-screen run (on a system that is not NT unless the test says
// otherwise before Run); the close events counted and logged.
struct TRun : THostFixture {
    TRun() { System.NT = false; }
    int Closes = 0;
    int Cancels = 0;
    std::function<void(TZelScreenSaver&)> Stored;  // extra stored values

    TZelScreenSaver& Run(const std::string& line = "/s") {
        BindEvents = [this](TZelScreenSaver& h) {
            h.OnClose = [this](TZelScreenSaver*) {
                ++Closes;
                System.Log.push_back("OnClose cursor " + std::to_string(System.CursorCounter));
            };
            h.OnCloseCancel = [this](TZelScreenSaver*) {
                ++Cancels;
                System.Log.push_back("OnCloseCancel");
            };
            if (Stored)
                Stored(h);
        };
        return Start(line);
    }
    void Move(std::int32_t x, std::int32_t y) {
        System.Cursor = TPoint{x, y};
        Window().Send(Msg::MouseMove);
    }
    bool Closed() { return Window().Destroyed; }
};

constexpr std::uint32_t kWsChild = 0x40000000;

}  // namespace lum::testing
