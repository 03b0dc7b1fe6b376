// Asynchronous GLib calls with a time limit, for the web view: each call ends
// exactly once, by its answer or by its limit (its failure continuation then
// gets a message), and every pending call is dropped uncalled with the set.
#pragma once

#include <gio/gio.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/WebView.h"

namespace lum {

class TWebKitSteps {
  public:
    // Reads the answer of a call (its _finish function) and calls the step's
    // own continuation. It must not touch the set after that call: the
    // continuation may destroy it.
    using TFinish = std::function<void(GObject* source, GAsyncResult* result)>;
    // Issues the asynchronous call with the set's callback and data.
    using TStart = std::function<void(GCancellable*, GAsyncReadyCallback, gpointer)>;

    TWebKitSteps();
    ~TWebKitSteps();
    TWebKitSteps(const TWebKitSteps&) = delete;
    TWebKitSteps& operator=(const TWebKitSteps&) = delete;

    // Starts a call that must answer within limit; else failed gets
    // "<what> did not answer within <n> ms" and a late answer is thrown away.
    void Begin(std::chrono::milliseconds limit,
               const std::string& what,
               TStepFailed failed,
               TFinish finish,
               const TStart& start);
    // Called first when a step runs out of time (the view ends a page
    // process that has stopped answering).
    void SetOnTimeout(std::function<void()> action) { FOnTimeout = std::move(action); }
    // Runs action from the main loop, soon (or after delay), unless the set
    // is gone by then.
    void Post(std::function<void()> action,
              std::chrono::milliseconds delay = std::chrono::milliseconds(0));

  private:
    struct TStep {
        GCancellable* Cancellable = nullptr;
        unsigned Timer = 0;
        std::string What;
        std::chrono::milliseconds Limit{0};
        TStepFailed Failed;
        TFinish Finish;
    };
    struct TTicket {
        std::shared_ptr<TWebKitSteps*> Owner;
        std::uint64_t Id = 0;
        std::function<void()> Action;
    };

    static void OnAnswer(GObject* source, GAsyncResult* result, gpointer data);
    static gboolean OnTimeout(gpointer data);
    static gboolean OnPosted(gpointer data);
    static void FreeTicket(gpointer data);
    // Removes the step from the set (its timer too) and hands it over.
    bool Take(std::uint64_t id, TStep& step);

    std::shared_ptr<TWebKitSteps*> FAlive;
    std::map<std::uint64_t, TStep> FSteps;
    std::uint64_t FNextId = 1;
    std::function<void()> FOnTimeout;
};

}  // namespace lum
