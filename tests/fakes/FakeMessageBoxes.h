// Message boxes for the portable tests: records every beep and box and
// answers with a scripted sequence (default: the first button).
#pragma once

#include <deque>
#include <vector>

#include "platform/MessageBoxes.h"

namespace lum::fakes {

class TFakeMessageBoxes : public IMessageBoxes {
  public:
    // One entry per call: a beep code, or the box shown.
    struct TCall {
        bool IsBeep = false;
        std::uint32_t Beep = 0;
        TMessageBoxRequest Box;
    };
    std::vector<TCall> Calls;
    // Answers of the next boxes, in order; true = the first button.
    std::deque<bool> Answers;

    void MessageBeep(std::uint32_t icon) override { Calls.push_back({true, icon, {}}); }
    bool ShowMessageBox(const TMessageBoxRequest& request) override {
        Calls.push_back({false, 0, request});
        if (Answers.empty())
            return true;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    std::vector<TMessageBoxRequest> Boxes() const {
        std::vector<TMessageBoxRequest> boxes;
        for (const auto& call : Calls) {
            if (!call.IsBeep)
                boxes.push_back(call.Box);
        }
        return boxes;
    }
};

}  // namespace lum::fakes
