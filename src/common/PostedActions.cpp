#include "common/PostedActions.h"

namespace lum {

void TPostedActions::Push(std::function<void()> action) {
    const std::lock_guard<std::mutex> lock(FLock);
    FQueue.push_back(std::move(action));
}

// The lock is never held while an action runs: an action may post another.
void TPostedActions::RunAll(const std::function<void(std::function<void()>&)>& run) {
    for (;;) {
        std::function<void()> action;
        {
            const std::lock_guard<std::mutex> lock(FLock);
            if (FQueue.empty())
                return;
            action = std::move(FQueue.front());
            FQueue.pop_front();
        }
        run(action);
    }
}

}  // namespace lum
