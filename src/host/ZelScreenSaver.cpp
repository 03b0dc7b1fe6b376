// Construction, start-up dispatch, destruction, and the configuration and
// password-change modes of the host component. The run itself (filters,
// cursor, close sequence) is in ZelScreenSaverRun.cpp.
#include "host/ZelScreenSaver.h"

namespace lum {

THandle SaverWnd = 0;
THandle ParentWnd = 0;
THandle ConfigWnd = 0;

namespace {

constexpr std::uint32_t kWsChild = 0x40000000;
constexpr std::uint32_t kWsExToolWindow = 0x00000080;
constexpr std::uint32_t kPreviewStyle = 0x56000000;  // child, visible, clip siblings/children
constexpr std::uint32_t kMbIconInformation = 0x40;
constexpr std::uint32_t kMbDefaultDesktopOnly = 0x20000;

}  // namespace

TZelScreenSaver::TZelScreenSaver(TCustomForm* owner, IHostSystem& system)
    : TComponent(owner), FSystem(system), FForm(owner) {
    int hosts = 0;
    if (owner) {
        for (TComponent* c : owner->Components())
            if (dynamic_cast<TZelScreenSaver*>(c))
                ++hosts;
    }
    if (hosts > 1)
        throw Exception(
            "TZelScreenSaverコンポーネントは、フォーム上に１つだけ配置することが出来ます");
    if (!FForm)
        throw Exception("TZelScreenSaver needs a form as its owner");
    SaverWnd = FForm->Handle();
    FIsNT = FSystem.IsNT();
    FMouseMoved = false;
    FTranslateControl = nullptr;
    ConfigMessage = "このスクリーンセーバーには、設定できるオプションがありません.";
    ConfigTitle = "スクリーンセーバー";
    Initialize = true;
    Mutex = true;
    MutexName = "TZelScreenSaverMutex[" + std::to_string(FSystem.TickCount()) + "]";
    FShowCursor = false;
    ShowTaskbarIcon = false;
    TrapEvents = kAllTrapEvents;
    ParseCommandLine();
    if (Preview())
        SetupPreview();
}

TZelScreenSaver::~TZelScreenSaver() {
    FSystem.ReleaseCapture();
    RemoveTranslateFilter();
    RemoveMonitorForms();
    RemoveFormFilter();
    // Only the instance that set the flag clears it: a second full-screen
    // start that met the mutex must not unlock the system under the first.
    if (FSaverRunningSet)
        FSystem.SetScreenSaverRunning(false);
    if (Mutex && FMutexHandle) {
        FSystem.ReleaseMutex(FMutexHandle);
        FSystem.CloseHandle(FMutexHandle);
        FMutexHandle = 0;
    }
    if (FTranslateControl)
        FTranslateControl->RemoveFreeNotification(this);
}

void TZelScreenSaver::ParseCommandLine() {
    auto args = SplitCommandLine(FSystem.CommandLine());
    if (!args.empty())
        args.erase(args.begin());  // the program name
    const TCommandLineRequest request = ParseScreenSaverArgs(args);
    FMode = request.Mode;
    ParentWnd = request.UseDesktop ? FSystem.DesktopWindow() : HandleFromInt(request.Handle);
    if (request.UseForeground)
        ParentWnd = FSystem.ForegroundWindow();
    if (FMode != TScreenSaverMode::Preview)
        ParentWnd = NormaliseParent(ParentWnd);
}

THandle TZelScreenSaver::NormaliseParent(THandle wnd) {
    // Up to the top-level window; a parent loop cannot hang the start.
    for (int depth = 0; wnd != 0 && (FSystem.WindowStyle(wnd) & kWsChild) && depth < 1024; ++depth)
        wnd = FSystem.ParentOf(wnd);
    if (wnd == 0)
        return 0;
    // The shell's file windows and its desktop are never the parent.
    for (const char* shellClass : {"ExploreWClass", "CabinetWClass", "Progman"}) {
        if (wnd == FSystem.FindWindowByClass(shellClass, nullptr))
            return 0;
    }
    return wnd;
}

void TZelScreenSaver::SetupPreview() {
    TrapEvents = 0;
    // A preview window that does not exist is not adopted; the start-up
    // then ends the program without showing anything.
    if (ParentWnd == 0 || !FSystem.IsWindow(ParentWnd))
        return;
    FForm->SetParentWindow(ParentWnd);
    FSystem.SetWindowStyle(SaverWnd, kPreviewStyle);
}

void TZelScreenSaver::Loaded() {
    TComponent::Loaded();
    SetLoading(false);
    if (!ShowTaskbarIcon)
        FSystem.SetWindowExStyle(SaverWnd, FSystem.WindowExStyle(SaverWnd) | kWsExToolWindow);
    FSystem.CloseImeStatusWindow(SaverWnd);
    switch (FMode) {
        case TScreenSaverMode::Normal:
            if (Mutex) {
                FMutexHandle = FSystem.OpenMutex(MutexName);
                if (FMutexHandle) {
                    if (OnMutexClose)
                        OnMutexClose(this);
                    RequestClose();
                    return;
                }
                FMutexHandle = FSystem.CreateMutex(MutexName);
            }
            if (OnRunNormal)
                OnRunNormal(this, SaverWnd, ParentWnd);
            break;
        case TScreenSaverMode::Preview:
            if (ParentWnd == 0 || !FSystem.IsWindow(ParentWnd)) {
                RequestClose();
                return;
            }
            if (OnRunPreview)
                OnRunPreview(this, SaverWnd, ParentWnd);
            TrapEvents = 0;
            break;
        case TScreenSaverMode::Password:
            RunPassword();
            return;
        case TScreenSaverMode::Config:
            RunConfig();
            return;
    }
    RunSetUp();
}

void TZelScreenSaver::RequestClose() {
    Application().ShowMainForm = false;
    FSystem.PostMessage(SaverWnd, Msg::Close, 0, 0);
}

void TZelScreenSaver::RunConfig() {
    if (OnCreateConfigForm)
        OnCreateConfigForm(this, FConfigForm);
    if (FConfigForm) {
        bool parentEnabled = false;
        auto finish = [&] {
            Application().Release(std::move(FConfigForm));
            if (ParentWnd)
                FSystem.EnableWindow(ParentWnd, parentEnabled);
        };
        try {
            ConfigWnd = FConfigForm->Handle();
            parentEnabled = ParentWnd != 0 && FSystem.IsWindowEnabled(ParentWnd);
            if (OnRunConfig)
                OnRunConfig(this, ConfigWnd, ParentWnd);
            if (ParentWnd)
                FSystem.EnableWindow(ParentWnd, false);
            CenterConfigForm();
            FConfigForm->ShowModal();
        } catch (...) {
            finish();
            throw;
        }
        finish();
    } else {
        const std::uint32_t style =
            ParentWnd ? kMbIconInformation : kMbIconInformation | kMbDefaultDesktopOnly;
        FSystem.MessageBox(ParentWnd, ConfigMessage, ConfigTitle, style);
    }
    if (ParentWnd)
        FSystem.SetForegroundWindow(ParentWnd);
    RequestClose();
}

void TZelScreenSaver::CenterConfigForm() {
    TRect r1;
    FSystem.WindowRect(ParentWnd ? ParentWnd : FSystem.DesktopWindow(), r1);
    TRect own;
    FSystem.WindowRect(ConfigWnd, own);
    const std::int32_t width = own.Width();
    const std::int32_t height = own.Height();
    std::int32_t left = r1.Left + (r1.Width() - width) / 2;
    std::int32_t top = r1.Top + (r1.Height() - height) / 2;
    THandle workArea = 0;
    if (THandle progman = FSystem.FindWindowByClass("Progman", "Program Manager"))
        workArea = FSystem.FirstChild(progman);
    if (!workArea)
        workArea = FSystem.DesktopWindow();
    TRect r3;
    FSystem.WindowRect(workArea, r3);
    if (left < r3.Left)
        left = r3.Left;
    if (top < r3.Top)
        top = r3.Top;
    if (left + width > r3.Right)
        left = r3.Right - width;
    if (top + height > r3.Bottom)
        top = r3.Bottom - height;
    FConfigForm->SetBounds(left, top, width, height);
}

void TZelScreenSaver::RunPassword() {
    if (OnRunPassword)
        OnRunPassword(this, 0, ParentWnd);
    if (!FIsNT) {
        if (THandle mpr = FSystem.LoadLibrary("mpr.dll")) {
            if (FSystem.HasExport(mpr, "PwdChangePasswordA"))
                FSystem.PwdChangePassword(mpr, "SCRSAVE", ParentWnd);
            FSystem.FreeLibrary(mpr);
        }
    }
    if (ParentWnd)
        FSystem.SetForegroundWindow(ParentWnd);
    RequestClose();
}

}  // namespace lum
