// Fakes of the host's platform: a scriptable IHostSystem that logs its calls,
// a form window that records placement and hands messages to the form, and
// an application platform that queues deferred actions and error reports.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/Form.h"
#include "platform/HostSystem.h"

namespace lum::fakes {

class TFakeApplicationPlatform : public IApplicationPlatform {
  public:
    std::vector<std::string> Reports;
    std::vector<std::string> LogLines;
    std::deque<std::function<void()>> Deferred;
    void WriteLog(const std::string& line) override { LogLines.push_back(line); }
    void ShowErrorReport(const std::string&, const std::string& message) override {
        Reports.push_back(message);
    }
    void PostDeferred(std::function<void()> action) override {
        Deferred.push_back(std::move(action));
    }
    void RunDeferred() {
        while (!Deferred.empty()) {
            auto action = std::move(Deferred.front());
            Deferred.pop_front();
            action();
        }
    }
};

struct TFakeWindow {
    std::uint32_t Style = 0;
    std::uint32_t ExStyle = 0;
    THandle Parent = 0;
    TRect Rect;
    bool Enabled = true;
    THandle FirstChild = 0;
};

struct TPostedMessage {
    THandle Wnd;
    std::uint32_t Msg;
};

class TFakeHostSystem : public IHostSystem {
  public:
    std::string Line = "Lumenary.scr";
    bool NT = true;
    std::uint32_t Tick = 1000;
    THandle Desktop = 0x10010;
    THandle Foreground = 0;
    std::map<THandle, TFakeWindow> Windows;
    std::map<std::string, THandle> ClassWindows;  // "Progman", "Progman|Program Manager", ...
    int CursorCounter = 0;
    TPoint Cursor{100, 100};
    std::set<std::uint32_t> KeysDown;
    std::set<std::string>* Mutexes = &OwnMutexes;  // share one set to model two processes
    std::set<std::string> OwnMutexes;
    bool FailCreateMutex = false;
    bool UsePassword = false;
    std::set<std::string> Libraries;  // loadable libraries
    std::set<std::string> Exports;    // present exports
    std::deque<bool> Verdicts;        // answers of VerifyScreenSavePwd (default: pass)
    std::function<void()> DuringVerify;
    std::vector<TPostedMessage> Posted;
    std::vector<std::string> Log;

    TFakeHostSystem() { Windows[Desktop] = TFakeWindow{0, 0, 0, TRect{0, 0, 1024, 768}}; }

    std::string CommandLine() override { return Line; }
    bool IsNT() override { return NT; }
    std::uint32_t TickCount() override { return Tick; }
    bool IsWindow(THandle wnd) override { return Windows.count(wnd) != 0; }
    THandle DesktopWindow() override { return Desktop; }
    THandle ForegroundWindow() override { return Foreground; }
    THandle ParentOf(THandle wnd) override { return Find(wnd).Parent; }
    std::uint32_t WindowStyle(THandle wnd) override { return Find(wnd).Style; }
    void SetWindowStyle(THandle wnd, std::uint32_t style) override {
        Log.push_back("SetWindowStyle " + std::to_string(style));
        if (IsWindow(wnd))
            Windows[wnd].Style = style;
    }
    std::uint32_t WindowExStyle(THandle wnd) override { return Find(wnd).ExStyle; }
    void SetWindowExStyle(THandle wnd, std::uint32_t exStyle) override {
        Log.push_back("SetWindowExStyle " + std::to_string(exStyle));
        if (IsWindow(wnd))
            Windows[wnd].ExStyle = exStyle;
    }
    THandle FindWindowByClass(const char* className, const char* title) override {
        const std::string key = title ? std::string(className) + "|" + title : className;
        auto it = ClassWindows.find(key);
        return it == ClassWindows.end() ? 0 : it->second;
    }
    THandle FirstChild(THandle wnd) override { return Find(wnd).FirstChild; }
    std::vector<TRect> MonitorRects;  // none: the system cannot tell
    std::vector<TRect> Monitors() override { return MonitorRects; }
    bool WindowRect(THandle wnd, TRect& rect) override {
        if (!IsWindow(wnd))
            return false;
        rect = Windows[wnd].Rect;
        return true;
    }
    bool IsWindowEnabled(THandle wnd) override { return Find(wnd).Enabled; }
    void EnableWindow(THandle wnd, bool enable) override {
        Log.push_back(std::string("EnableWindow ") + (enable ? "1" : "0"));
        if (IsWindow(wnd))
            Windows[wnd].Enabled = enable;
    }
    void SetForegroundWindow(THandle wnd) override {
        Log.push_back("SetForegroundWindow " + std::to_string(wnd));
    }
    void SetTopmost(THandle) override { Log.push_back("SetTopmost"); }
    void PostMessage(THandle wnd, std::uint32_t msg, std::uintptr_t, std::intptr_t) override {
        Posted.push_back({wnd, msg});
    }
    void CloseImeStatusWindow(THandle) override { Log.push_back("CloseImeStatusWindow"); }
    void ReleaseCapture() override { Log.push_back("ReleaseCapture"); }
    void MessageBox(THandle owner,
                    const std::string& text,
                    const std::string& caption,
                    std::uint32_t style) override {
        Log.push_back("MessageBox " + std::to_string(owner) + " " + text + " " + caption + " " +
                      std::to_string(style));
    }
    int ShowCursor(bool show) override {
        CursorCounter += show ? 1 : -1;
        return CursorCounter;
    }
    TPoint CursorPos() override { return Cursor; }
    std::int16_t KeyState(std::uint32_t vk) override {
        return KeysDown.count(vk) ? static_cast<std::int16_t>(-128) : 0;
    }
    void SetScreenSaverRunning(bool running) override {
        Log.push_back(std::string("SetScreenSaverRunning ") + (running ? "1" : "0"));
    }
    THandle OpenMutex(const std::string& name) override {
        Log.push_back("OpenMutex " + name);
        return Mutexes->count(name) ? 0x4001 : 0;
    }
    THandle CreateMutex(const std::string& name) override {
        Log.push_back("CreateMutex " + name);
        if (FailCreateMutex)
            return 0;
        Mutexes->insert(name);
        CreatedMutex = name;
        return 0x4002;
    }
    void ReleaseMutex(THandle) override { Log.push_back("ReleaseMutex"); }
    void CloseHandle(THandle) override {
        Log.push_back("CloseHandle");
        if (!CreatedMutex.empty())
            Mutexes->erase(CreatedMutex);
    }
    bool ScreenSaveUsePasswordExists() override { return UsePassword; }
    THandle LoadLibrary(const char* name) override {
        Log.push_back(std::string("LoadLibrary ") + name);
        return Libraries.count(name) ? 0x7000 : 0;
    }
    bool HasExport(THandle, const char* name) override { return Exports.count(name) != 0; }
    bool VerifyScreenSavePwd(THandle, THandle) override {
        Log.push_back("VerifyScreenSavePwd");
        if (DuringVerify)
            DuringVerify();
        if (Verdicts.empty())
            return true;
        const bool verdict = Verdicts.front();
        Verdicts.pop_front();
        return verdict;
    }
    void PwdChangePassword(THandle, const char* provider, THandle wnd) override {
        Log.push_back(std::string("PwdChangePassword ") + provider + " " + std::to_string(wnd));
    }
    void FreeLibrary(THandle) override { Log.push_back("FreeLibrary"); }

    bool Logged(const std::string& entry) const {
        for (const auto& e : Log)
            if (e == entry)
                return true;
        return false;
    }

  private:
    TFakeWindow Find(THandle wnd) {
        auto it = Windows.find(wnd);
        return it == Windows.end() ? TFakeWindow{} : it->second;
    }
    std::string CreatedMutex;
};

// A form window that records what the form did to it.
class TFakeFormWindow : public IFormWindow {
  public:
    TFakeFormWindow(TWinControl& form, THandle handle) : FForm(form), FHandle(handle) {}
    THandle Handle() override { return FHandle; }
    TRect Bounds() override { return FBounds; }
    void SetBounds(const TRect& bounds) override { FBounds = bounds; }
    bool Visible() override { return FVisible; }
    void SetVisible(bool visible) override { FVisible = visible; }
    void SetParentWindow(THandle parent) override { Parent = parent; }
    void Invalidate() override { ++Invalidations; }
    void DefaultHandler(TMessage& message) override {
        DefaultMessages.push_back(message.Msg);
        if (message.Msg == Msg::Close)
            Destroyed = true;
    }
    void Paint(const std::function<void(ICanvas&)>& paint) override {
        if (Canvas)
            paint(*Canvas);
    }
    void SetTimer(std::uint32_t id, std::uint32_t ms) override { Timers[id] = ms; }
    void KillTimer(std::uint32_t id) override { Timers.erase(id); }

    // Delivers a message as the platform would.
    std::intptr_t Send(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        TMessage m{msg, wParam, lParam, 0};
        FForm.Dispatch(m);
        return m.Result;
    }

    TRect FBounds;
    bool FVisible = false;
    THandle Parent = 0;
    int Invalidations = 0;
    bool Destroyed = false;
    std::vector<std::uint32_t> DefaultMessages;
    std::map<std::uint32_t, std::uint32_t> Timers;
    ICanvas* Canvas = nullptr;

  private:
    TWinControl& FForm;
    THandle FHandle;
};

class TFakeFormWindowFactory : public IFormWindowFactory {
  public:
    THandle NextHandle = 0x20020;
    std::vector<TFakeFormWindow*> Created;
    std::unique_ptr<IFormWindow> CreateFormWindow(TWinControl& form,
                                                  const TFormWindowStyle& style) override {
        auto window = std::make_unique<TFakeFormWindow>(form, NextHandle);
        window->FBounds = style.Bounds;
        NextHandle += 0x10;
        Created.push_back(window.get());
        return window;
    }
};

}  // namespace lum::fakes
