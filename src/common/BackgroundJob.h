// One long piece of work at a time away from the message loop (writing a
// page file of hundreds of megabytes, flushed to the disk), so that the
// program's windows keep answering; its continuation runs back on the
// message loop's thread, after the current message. Where the platform
// cannot take messages from other threads (the tests' fakes), the work and
// its continuation run at once, in order, within Start.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <thread>

namespace lum {

class TBackgroundJob {
  public:
    TBackgroundJob() = default;
    // Waits for the work under way, whose continuation is then dropped.
    ~TBackgroundJob();
    TBackgroundJob(const TBackgroundJob&) = delete;
    TBackgroundJob& operator=(const TBackgroundJob&) = delete;

    // Runs work once the work before it has ended, then done with what work
    // threw (nullptr: nothing) unless Cancel came first. work must touch
    // nothing that the message loop's thread uses meanwhile.
    void Start(std::function<void()> work, std::function<void(std::exception_ptr)> done);
    // The continuation of the work under way is not called; the work ends
    // as it would.
    void Cancel() noexcept;

  private:
    void Join() noexcept;

    std::thread FThread;
    std::shared_ptr<bool> FLive;  // false once the continuation is dropped
};

}  // namespace lum
