#include "win32/AudioMute.h"

#include <windows.h>

#include <audioclient.h>
#include <audiopolicy.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace lum::win32 {

namespace {

// The session every stream of the process joins unless it names its own
// (GUID_NULL, not shared across processes): the one the browser control's
// media plays in.
bool MuteOn(IMMDevice& device) {
    ComPtr<IAudioSessionManager> sessions;
    if (FAILED(device.Activate(__uuidof(IAudioSessionManager), CLSCTX_INPROC_SERVER, nullptr,
                               reinterpret_cast<void**>(sessions.GetAddressOf()))))
        return false;
    ComPtr<ISimpleAudioVolume> volume;
    return SUCCEEDED(sessions->GetSimpleAudioVolume(nullptr, FALSE, &volume)) &&
           SUCCEEDED(volume->SetMute(TRUE, nullptr));
}

}  // namespace

// Every active device, not only the default one: the default may change
// while a pass runs (headphones plugged in), and each device holds a
// session of its own for the process.
int MuteProcessAudio() noexcept {
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (FAILED(::CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&enumerator))))
        return 0;
    ComPtr<IMMDeviceCollection> devices;
    UINT count = 0;
    if (FAILED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &devices)) ||
        FAILED(devices->GetCount(&count)))
        return 0;
    int muted = 0;
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (SUCCEEDED(devices->Item(i, &device)) && MuteOn(*device.Get()))
            ++muted;
    }
    return muted;
}

}  // namespace lum::win32
