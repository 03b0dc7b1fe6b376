#include "common/Form.h"

namespace lum {

TTimer::TTimer(TForm* owner) : TComponent(owner), FForm(owner), FId(owner->AddTimer(this)) {}

TTimer::~TTimer() {
    SetEnabled(false);
    FForm->RemoveTimer(FId);
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == FEnabled)
        return;
    FEnabled = enabled;
    if (enabled)
        FForm->Window().SetTimer(FId, Interval);
    else
        FForm->Window().KillTimer(FId);
}

void TTimer::Fire() {
    if (FEnabled && OnTimer)
        OnTimer(this);
}

TForm::TForm(TComponent* owner, IFormWindowFactory& factory, TFormWindowStyle style)
    : TCustomForm(owner), FFactory(factory), FStyle(std::move(style)) {}

TForm::~TForm() {
    FTimers.clear();
}

IFormWindow& TForm::Window() {
    if (!FWindow)
        FWindow = FFactory.CreateFormWindow(*this, FStyle);
    return *FWindow;
}

THandle TForm::Handle() {
    return Window().Handle();
}

TRect TForm::BoundsRect() {
    return Window().Bounds();
}

void TForm::SetBounds(std::int32_t left,
                      std::int32_t top,
                      std::int32_t width,
                      std::int32_t height) {
    Window().SetBounds(TRect{left, top, left + width, top + height});
}

bool TForm::Visible() {
    return Window().Visible();
}

void TForm::SetVisible(bool visible) {
    Window().SetVisible(visible);
}

void TForm::SetParentWindow(THandle parent) {
    Window().SetParentWindow(parent);
}

int TForm::ShowModal() {
    throw Exception("this form cannot be shown modally");
}

void TForm::Invalidate() {
    Window().Invalidate();
}

void TForm::WndProc(TMessage& message) {
    switch (message.Msg) {
        case Msg::Paint:
            Window().Paint([this](ICanvas& canvas) { Paint(canvas); });
            return;
        case Msg::EraseBkgnd:
            message.Result = 1;  // the paint covers the whole client area
            return;
        case Msg::Timer: {
            auto it = FTimers.find(static_cast<std::uint32_t>(message.WParam));
            if (it != FTimers.end())
                it->second->Fire();
            return;
        }
        case Msg::Close:
            DoClose();
            break;
        default:
            break;
    }
    Window().DefaultHandler(message);
}

std::uint32_t TForm::AddTimer(TTimer* timer) {
    const std::uint32_t id = FNextTimerId++;
    FTimers[id] = timer;
    return id;
}

void TForm::RemoveTimer(std::uint32_t id) {
    FTimers.erase(id);
    if (FWindow)
        FWindow->KillTimer(id);
}

}  // namespace lum
