// The process's own sound, muted: what pages play while they are captured
// (HTML5 audio and video, a dashboard's alarm) is never heard. Failure
// (no sound device, no audio service) leaves nothing to mute and is no error.
#pragma once

namespace lum::win32 {

// Mutes this process's default audio session on every active output device;
// the number of devices it was muted on. COM must be initialised on the
// thread.
int MuteProcessAudio() noexcept;

}  // namespace lum::win32
