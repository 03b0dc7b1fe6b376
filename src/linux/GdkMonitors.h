// The monitors of the X display as GDK lists them (RandR / Xinerama), in
// the screen's coordinates, for the slide show's per-monitor layout, and a
// watch that tells when they change. Needs GTK initialised; an empty list
// (and a watch that never fires) when GDK has no display.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Types.h"

namespace lum::gtk {

std::vector<TRect> DisplayMonitors();

// How long the monitors must stay quiet before a change counts: one xrandr
// command moves outputs, resizes the screen and adds or removes monitors in
// several steps, each with its own signals.
inline constexpr unsigned kMonitorsSettleMs = 300;
// A burst that goes on is checked this long after its first signal.
inline constexpr unsigned kMonitorsBurstLimitMs = 3000;

// Watches the default display's monitors (added, removed, moved or resized;
// those added later too) and calls OnChanged from the main loop once their
// list differs from the one it last saw, after the signals have settled for
// kMonitorsSettleMs: a burst of signals calls it once, and signals that
// leave every monitor where it was do not call it.
class TMonitorWatch {
  public:
    explicit TMonitorWatch(std::function<void()> onChanged);
    ~TMonitorWatch();
    TMonitorWatch(const TMonitorWatch&) = delete;
    TMonitorWatch& operator=(const TMonitorWatch&) = delete;

  private:
    struct TSignals;  // GDK's callbacks
    void Watch(void* monitor);
    void Forget(void* monitor);
    void Touched();
    void Settled();

    std::function<void()> FOnChanged;
    std::vector<TRect> FMonitors;  // the list last seen
    std::vector<void*> FWatched;   // GdkMonitor objects, each referenced
    void* FDisplay = nullptr;      // GdkDisplay
    void* FScreen = nullptr;       // GdkScreen
    unsigned FSettle = 0;          // the pending check's source
    std::int64_t FBurstStart = 0;  // when the pending check's burst began (µs)
};

}  // namespace lum::gtk
