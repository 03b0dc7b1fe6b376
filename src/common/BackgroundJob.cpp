#include "common/BackgroundJob.h"

#include "common/Forms.h"

namespace lum {

TBackgroundJob::~TBackgroundJob() {
    Cancel();
    Join();
}

void TBackgroundJob::Cancel() noexcept {
    if (FLive)
        *FLive = false;
    FLive.reset();
}

void TBackgroundJob::Join() noexcept {
    if (FThread.joinable())
        FThread.join();
}

void TBackgroundJob::Start(std::function<void()> work,
                           std::function<void(std::exception_ptr)> done) {
    Join();
    Cancel();
    IApplicationPlatform& platform = Application().Platform();
    if (!platform.PostsFromAnyThread()) {
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        done(error);
        return;
    }
    auto live = std::make_shared<bool>(true);
    FLive = live;
    // The continuation is read and called on the message loop's thread only,
    // as Cancel is: the flag needs no lock.
    FThread = std::thread([&platform, work = std::move(work), done = std::move(done), live] {
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        platform.PostDeferred([done, live, error] {
            if (*live)
                done(error);
        });
    });
}

}  // namespace lum
