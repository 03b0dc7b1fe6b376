// GTK windows behind the portable forms: one GtkWindow per form, its events
// handed to the form as the Windows messages the forms read (paint, timer,
// close, destroy, keys, mouse), painting double-buffered by GTK on a cairo
// canvas. A window can live inside a window of another program (an X
// window id); when that window disappears, the form's window is destroyed
// cleanly. Failures of a handler reach the application's error report.
#pragma once

#include <gtk/gtk.h>

#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "common/Forms.h"
#include "platform/FormWindow.h"

namespace lum::gtk {

// The keys held down in the program's windows, by virtual-key code.
class TKeyboardState {
  public:
    bool Held(std::uint32_t vk) const { return vk < 256 && FHeld.test(vk); }
    void Press(std::uint32_t vk) {
        if (vk < 256)
            FHeld.set(vk);
    }
    void Release(std::uint32_t vk) {
        if (vk < 256)
            FHeld.reset(vk);
    }
    void Clear() { FHeld.reset(); }

  private:
    std::bitset<256> FHeld;
};

class TGtkFormWindow : public IFormWindow {
  public:
    TGtkFormWindow(TWinControl& form, const TFormWindowStyle& style, TKeyboardState& keys);
    ~TGtkFormWindow() override;
    TGtkFormWindow(const TGtkFormWindow&) = delete;
    TGtkFormWindow& operator=(const TGtkFormWindow&) = delete;

    // The X window id (the window is realized on first use); 0 once destroyed.
    THandle Handle() override;
    TRect Bounds() override;
    void SetBounds(const TRect& bounds) override;
    bool Visible() override;
    void SetVisible(bool visible) override;
    // Puts the window inside the X window parent (another program's window
    // or the root window), at (0, 0) and kept at the parent's size. Throws
    // lum::Exception when parent does not exist. 0 makes it top-level again.
    void SetParentWindow(THandle parent) override;
    void Invalidate() override;
    // WM_CLOSE destroys the window; every other message gets Result 0.
    void DefaultHandler(TMessage& message) override;
    void Paint(const std::function<void(ICanvas&)>& paint) override;
    void SetTimer(std::uint32_t id, std::uint32_t milliseconds) override;
    void KillTimer(std::uint32_t id) override;

    GtkWidget* Widget() const { return FWidget; }
    // Covers the display's monitor number monitor (-1: the primary one), kept
    // above other windows, with the cursor hidden and, when grab is true,
    // keyboard and pointer grabbed once it is shown (a grab that fails is
    // ignored).
    void MakeFullScreen(int monitor = -1, bool grab = true);
    void HideCursor();
    // True once the parent given to SetParentWindow has disappeared.
    bool ParentGone() const { return FParentGone; }

  private:
    friend struct TGtkFormWindowEvents;
    void Dispatch(TMessage& message);
    void Send(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    void Destroyed();
    // On the root window; desktop (the root's id) makes the window the
    // desktop itself, 0 an ordinary top-level window.
    void ReparentToRoot(GdkWindow* own, std::uint64_t desktop);
    // Inside the foreign window parent; throws when it does not exist.
    void ReparentInto(GdkWindow* own, THandle parent);
    void WatchParent();
    void CheckParent();
    void StopWatchingParent();
    void StopTimers();
    static gboolean ParentTick(gpointer data);
    static GdkFilterReturn ParentFilter(GdkXEvent* xevent, GdkEvent* event, gpointer data);

    TWinControl& FForm;
    TKeyboardState& FKeys;
    bool FMain;
    GtkWidget* FWidget = nullptr;
    TRect FBounds;
    cairo_t* FPaintCr = nullptr;  // set while the draw signal runs
    std::map<std::uint32_t, guint> FTimers;
    std::uint64_t FParent = 0;  // X window id of a foreign parent
    GdkWindow* FForeign = nullptr;
    guint FParentCheck = 0;
    bool FParentGone = false;
    bool FGrabOnMap = false;
};

class TGtkFormWindowFactory : public IFormWindowFactory {
  public:
    std::unique_ptr<IFormWindow> CreateFormWindow(TWinControl& form,
                                                  const TFormWindowStyle& style) override;
    // The keys held in the windows this factory made (the clock reads them).
    TKeyboardState& Keyboard() { return FKeyboard; }

  private:
    TKeyboardState FKeyboard;
};

// The GTK window of a form made by TGtkFormWindowFactory; nullptr otherwise.
TGtkFormWindow* GtkWindowOf(IFormWindow& window);

}  // namespace lum::gtk
