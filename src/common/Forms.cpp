#include "common/Forms.h"

#include <algorithm>

namespace lum {

namespace {
TApplication* gApplication = nullptr;
}

TApplication& Application() {
    if (!gApplication)
        throw Exception("no application object");
    return *gApplication;
}

void SetApplication(TApplication* application) {
    gApplication = application;
}

void TApplication::ShowException(const std::exception& error) {
    ShowException(std::string(error.what()));
}

void TApplication::ShowException(const std::string& message) {
    if (FReporting)
        return;
    FReporting = true;
    try {
        FPlatform.ShowErrorReport(Title, message);
    } catch (...) {
    }
    FReporting = false;
}

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
    if (FOwner)
        FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
    for (TComponent* target : std::vector<TComponent*>(FNotifies)) {
        target->Notification(this, TOperation::opRemove);
        target->RemoveFreeNotification(this);
    }
    if (FOwner) {
        auto& list = FOwner->FComponents;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        FOwner->Notification(this, TOperation::opRemove);
    }
    for (TComponent* child : FComponents)
        child->FOwner = nullptr;
}

void TComponent::FreeNotification(TComponent* target) {
    if (!target || target == this)
        return;
    if (std::find(FNotifies.begin(), FNotifies.end(), target) == FNotifies.end())
        FNotifies.push_back(target);
    if (std::find(target->FNotifies.begin(), target->FNotifies.end(), this) ==
        target->FNotifies.end())
        target->FNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* target) {
    FNotifies.erase(std::remove(FNotifies.begin(), FNotifies.end(), target), FNotifies.end());
    if (target)
        target->FNotifies.erase(
            std::remove(target->FNotifies.begin(), target->FNotifies.end(), this),
            target->FNotifies.end());
}

void TComponent::Notification(TComponent*, TOperation) {}

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
}

std::intptr_t TWinControl::Perform(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    TMessage m{msg, wParam, lParam, 0};
    WindowProc(m);
    return m.Result;
}

}  // namespace lum
