// A form with a platform window (created on first use of its handle), its
// own message handling (paint, timers, close) and timers as components.
#pragma once

#include <map>

#include "common/Forms.h"
#include "platform/FormWindow.h"

namespace lum {

class TForm;

// A timer component owned by a form; Tag is free for its user.
class TTimer : public TComponent {
  public:
    explicit TTimer(TForm* owner);
    ~TTimer() override;
    std::uint32_t Interval = 1000;
    std::function<void(TTimer* Sender)> OnTimer;
    std::int32_t Tag = 0;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    void Fire();

  private:
    TForm* FForm;
    std::uint32_t FId;
    bool FEnabled = false;
};

class TForm : public TCustomForm {
  public:
    TForm(TComponent* owner, IFormWindowFactory& factory, TFormWindowStyle style);
    ~TForm() override;

    THandle Handle() override;
    TRect BoundsRect() override;
    void SetBounds(std::int32_t left,
                   std::int32_t top,
                   std::int32_t width,
                   std::int32_t height) override;
    std::int32_t Width() { return BoundsRect().Width(); }
    std::int32_t Height() { return BoundsRect().Height(); }
    bool Visible();
    void SetVisible(bool visible) override;
    void Show() { SetVisible(true); }
    void SetParentWindow(THandle parent) override;
    int ShowModal() override;
    void Invalidate();
    void WndProc(TMessage& message) override;

    // Called for every key-down before it is dispatched; true consumes it.
    virtual bool IsShortCut(const TMessage&) { return false; }

    IFormWindow& Window();

  protected:
    virtual void Paint(ICanvas&) {}
    // The close that really happens (the message reached the form itself).
    virtual void DoClose() {}

  private:
    friend class TTimer;
    std::uint32_t AddTimer(TTimer* timer);
    void RemoveTimer(std::uint32_t id);

    IFormWindowFactory& FFactory;
    TFormWindowStyle FStyle;
    std::unique_ptr<IFormWindow> FWindow;
    std::map<std::uint32_t, TTimer*> FTimers;
    std::uint32_t FNextTimerId = 1;
};

}  // namespace lum
