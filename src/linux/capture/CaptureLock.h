// One capture at a time per user: an advisory lock (flock) on a file under
// $XDG_RUNTIME_DIR (else the cache folder) that the capturing process holds;
// the kernel releases it when the process ends, however it ends. Failures
// are results: a lock that cannot be taken counts as held by someone else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace lum::gtk {

inline constexpr const char* kCaptureLockName = "lumenary-capture.lock";

class TCaptureLock {
  public:
    explicit TCaptureLock(std::string path) : FPath(std::move(path)) {}
    ~TCaptureLock() { Release(); }
    TCaptureLock(const TCaptureLock&) = delete;
    TCaptureLock& operator=(const TCaptureLock&) = delete;

    // Takes the lock without waiting; false when another holder has it or
    // the file cannot be opened (Error() then says why). True when held.
    bool TryAcquire();
    // Takes the lock, waiting up to ms for its holder to give it back (a
    // capture pass ends, a sign-in window closes); waiting is called once
    // if it has to wait. False when it is still held then; a lock file that
    // cannot be opened counts as held by nobody (true, not held).
    bool AcquireWithin(std::uint32_t ms, const std::function<void()>& waiting);
    void Release();
    bool Held() const { return FFd >= 0; }
    const std::string& Path() const { return FPath; }
    const std::string& Error() const { return FError; }

  private:
    std::string FPath;
    std::string FError;
    int FFd = -1;
};

// "$XDG_RUNTIME_DIR/lumenary-capture.lock" when that is an absolute path to
// a folder, else cacheDir (ending in "/") + "lumenary-capture.lock".
std::string CaptureLockPath(const char* xdgRuntimeDir, const std::string& cacheDir);

}  // namespace lum::gtk
