// Folder src/host (lum_host, in every program): the screen-saver host
// component and the command line. It includes src/common.
//
// The screen-saver host component: reads the command line, guards full-screen
// runs with a named mutex, runs the start-up of the selected mode through its
// events, traps the input that ends a run, verifies or changes the password,
// and shows the configuration form. Its own failures are lum::Exception.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Forms.h"
#include "host/CommandLine.h"
#include "platform/HostSystem.h"

namespace lum {

// Window handles of the host, one set per program.
extern THandle SaverWnd;
extern THandle ParentWnd;
extern THandle ConfigWnd;

// TZelScreenSaverTrapEvents: bit 0 zelteMouseMove ... bit 4 zelteKeyDown.
using TZelScreenSaverTrapEvents = std::uint8_t;
enum TZelScreenSaverTrapEvent : std::uint8_t {
    zelteMouseMove = 1 << 0,
    zelteMouseDownL = 1 << 1,
    zelteMouseDownR = 1 << 2,
    zelteMouseDownM = 1 << 3,
    zelteKeyDown = 1 << 4,
};
constexpr TZelScreenSaverTrapEvents kAllTrapEvents = 31;

class TZelScreenSaver;
using TNotifyEvent = std::function<void(TZelScreenSaver* Sender)>;
using TZelScreenSaverNotifyEvent =
    std::function<void(TZelScreenSaver* Sender, THandle hWnd, THandle hWndParent)>;
using TZelScreenSaverCreateConfigFormEvent =
    std::function<void(TZelScreenSaver* Sender, std::unique_ptr<TCustomForm>& ConfigForm)>;
using TZelScreenSaverInitializeEvent =
    std::function<void(TZelScreenSaver* Sender, bool& Initialize)>;

class TZelScreenSaver : public TComponent {
  public:
    // owner: the form the component sits on. Reads the command line; in
    // preview mode embeds the form in the preview window.
    TZelScreenSaver(TCustomForm* owner, IHostSystem& system);
    ~TZelScreenSaver() override;

    void Loaded() override;
    void RequestClose();

    // Read-only mode properties.
    bool Normal() const { return FMode == TScreenSaverMode::Normal; }
    bool Preview() const { return FMode == TScreenSaverMode::Preview; }
    bool Password() const { return FMode == TScreenSaverMode::Password; }
    bool Config() const { return FMode == TScreenSaverMode::Config; }
    bool IsNT() const { return FIsNT; }

    // Published properties (plain stores, but for the two with setters).
    std::string ConfigTitle;
    std::string ConfigMessage;
    bool Initialize = true;
    bool Mutex = true;
    std::string MutexName;
    bool ShowTaskbarIcon = false;
    TZelScreenSaverTrapEvents TrapEvents = kAllTrapEvents;
    bool GetShowCursor() const { return FShowCursor; }
    void SetShowCursor(bool value);
    void StoreShowCursor(bool value) { FShowCursor = value; }  // stored value, no setter
    TWinControl* GetTranslateControl() const { return FTranslateControl; }
    void SetTranslateControl(TWinControl* value);

    // Published events.
    TNotifyEvent OnClose;
    TNotifyEvent OnCloseCancel;
    TZelScreenSaverCreateConfigFormEvent OnCreateConfigForm;
    TZelScreenSaverInitializeEvent OnInitialize;
    TNotifyEvent OnMutexClose;
    TZelScreenSaverNotifyEvent OnRunConfig;
    TZelScreenSaverNotifyEvent OnRunNormal;
    TZelScreenSaverNotifyEvent OnRunPassword;
    TZelScreenSaverNotifyEvent OnRunPreview;

    // State visible to tests and to the form.
    bool MouseMoved() const { return FMouseMoved; }
    TPoint MousePos() const { return FMousePos; }
    THandle MutexHandle() const { return FMutexHandle; }
    bool FormFilterInstalled() const { return static_cast<bool>(FOldWindowProc); }

  protected:
    void Notification(TComponent* component, TOperation operation) override;

  private:
    void ParseCommandLine();
    THandle NormaliseParent(THandle wnd);
    void SetupPreview();
    void RunSetUp();
    void InstallFormFilter();
    void InstallTranslateFilter();
    void RemoveTranslateFilter();
    void RemoveFormFilter();
    void ApplyCursor(bool show);
    void InitializeBounds();
    void FormWindowProc(TMessage& message);
    void MouseMoved(const TPoint& p);
    void TranslateWindowProc(TMessage& message);
    bool CloseSequence();
    bool VerifyPassword();
    bool TrapKeyHeld();
    void RunConfig();
    void CenterConfigForm();
    void RunPassword();

    IHostSystem& FSystem;
    TCustomForm* FForm;
    TScreenSaverMode FMode = TScreenSaverMode::Config;
    bool FIsNT = false;
    THandle FMutexHandle = 0;
    std::unique_ptr<TCustomForm> FConfigForm;
    bool FShowCursor = false;
    TWinControl* FTranslateControl = nullptr;
    bool FMouseMoved = false;
    TPoint FMousePos;
    TWndMethod FOldWindowProc;
    TWndMethod FOldTranslateProc;
    bool FVerifying = false;
    bool FSaverRunningSet = false;  // this instance told the system that a saver runs
};

// The smallest rectangle holding every monitor (the virtual screen).
TRect MonitorsUnion(const std::vector<TRect>& monitors);

}  // namespace lum
