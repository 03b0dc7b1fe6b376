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

    // A form that covers another monitor of a full-screen run (the form the
    // component sits on covers the primary one): its input ends the run as
    // the form's own does, a close it gets is a close request of the run,
    // it has no taskbar button, is topmost and shown, and it hides with the
    // form when the run closes. Added from OnRunNormal on, or while the run
    // goes on; the form outlives the component or is removed first.
    void AddMonitorForm(TCustomForm* form);
    // Gives form its own message handler back; nothing for a form not added.
    void RemoveMonitorForm(TCustomForm* form);
    std::size_t MonitorFormCount() const { return FMonitorForms.size(); }

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
    bool PassInputToForm(TMessage& message);
    bool CloseSequence();
    bool VerifyPassword();
    bool TrapKeyHeld();
    void RunConfig();
    void CenterConfigForm();
    void RunPassword();
    // A form of another monitor and the handler its filter replaced.
    struct TMonitorForm {
        TCustomForm* Form = nullptr;
        TWndMethod OldWindowProc;
    };
    void SetUpMonitorForm(TCustomForm* form);
    void MonitorFormWindowProc(TCustomForm* form, TMessage& message);
    void RemoveMonitorForms();
    void HideMonitorForms();

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
    bool FRunSetUp = false;         // the run set-up has been done
    std::vector<TMonitorForm> FMonitorForms;
};

// The primary monitor of a list (the one holding the point 0, 0 of the
// virtual screen), else the first listed; empty without monitors.
TRect PrimaryMonitor(const std::vector<TRect>& monitors);

}  // namespace lum
