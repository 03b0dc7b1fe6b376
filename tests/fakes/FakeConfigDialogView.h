// In-memory view of the configuration dialog for the portable tests: the
// controls' values in their initial state (positions 0, boxes cleared,
// choosers on the first colour, empty URL box), typing into an edit box
// without moving its spin control, clicks, and a scripted modal run.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "settings/ConfigDialogView.h"

namespace lum::fakes {

class TFakeConfigDialogView : public IConfigDialogView {
  public:
    // Control values, indexed by the enumerations.
    std::array<std::int32_t, 2> Positions{0, 0};
    std::array<std::string, 2> Texts{"0", "0"};
    std::array<bool, 3> Checks{false, false, false};
    std::array<std::int32_t, 2> Colors{0, 0};
    std::string URLBox;
    // What has the focus: "spin <n>" or "line <n>", as the last focus call set it.
    std::string Focus;
    std::vector<bool> RedrawCalls;
    int URLTextSets = 0;

    TRect Bounds{0, 0, 319, 408};
    TSize Screen{1024, 768};
    bool IsVisible = false;
    std::vector<TRect> BoundsSet;
    // What the modal run does; it returns the modal result.
    std::function<int(TFakeConfigDialogView&)> OnShowModal;
    TConfigDialogEvents Events;

    void TypeSpinText(TConfigSpin spin, const std::string& text) { Texts[Index(spin)] = text; }
    // The buttons: OK runs its handler and then ends the modal run with 1,
    // or gives 0 when the handler did not save (the dialog stays open).
    int ClickOK() {
        return !Events.OKBtnClick || Events.OKBtnClick() ? 1 : 0;
    }
    void ClickErase() {
        if (Events.EraseSectionClick)
            Events.EraseSectionClick();
    }

    void SetSpinPosition(TConfigSpin spin, std::int32_t position) override {
        Positions[Index(spin)] = position;
        Texts[Index(spin)] = std::to_string(position);
    }
    std::int32_t SpinPosition(TConfigSpin spin) override { return Positions[Index(spin)]; }
    std::string SpinText(TConfigSpin spin) override { return Texts[Index(spin)]; }
    void FocusSpinText(TConfigSpin spin) override { Focus = "spin " + std::to_string(Index(spin)); }
    void SetChecked(TConfigCheck check, bool checked) override {
        Checks[static_cast<std::size_t>(check)] = checked;
    }
    bool Checked(TConfigCheck check) override { return Checks[static_cast<std::size_t>(check)]; }
    void SetColorSelection(TConfigChooser chooser, std::int32_t index) override {
        Colors[static_cast<std::size_t>(chooser)] = index;
    }
    std::int32_t ColorSelection(TConfigChooser chooser) override {
        return Colors[static_cast<std::size_t>(chooser)];
    }
    void SetURLText(const std::string& text) override {
        URLBox = text;
        ++URLTextSets;
    }
    std::string URLText() override { return URLBox; }
    void FocusURLLine(std::size_t line) override { Focus = "line " + std::to_string(line); }
    void SetURLRedraw(bool enabled) override { RedrawCalls.push_back(enabled); }

    THandle Handle() override { return 0x4242; }
    TRect BoundsRect() override { return Bounds; }
    void SetBounds(const TRect& bounds) override {
        Bounds = bounds;
        BoundsSet.push_back(bounds);
    }
    void SetVisible(bool visible) override { IsVisible = visible; }
    TSize ScreenSize() override { return Screen; }
    int ShowModal() override { return OnShowModal ? OnShowModal(*this) : 2; }
    void SetEvents(TConfigDialogEvents events) override { Events = std::move(events); }

  private:
    static std::size_t Index(TConfigSpin spin) { return static_cast<std::size_t>(spin); }
};

}  // namespace lum::fakes
