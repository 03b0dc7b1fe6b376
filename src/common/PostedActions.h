// The queue of actions posted to a program's message loop, from any thread,
// run on the loop's own in the order they came. Each platform wakes its loop
// its own way; this is the part they share.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

namespace lum {

class TPostedActions {
  public:
    void Push(std::function<void()> action);
    // Runs each action through run (which deals with what it throws) until
    // none is left, those posted meanwhile included.
    void RunAll(const std::function<void(std::function<void()>&)>& run);

  private:
    std::mutex FLock;
    std::deque<std::function<void()>> FQueue;
};

}  // namespace lum
