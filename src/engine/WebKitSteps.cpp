#include "engine/WebKitSteps.h"

#include <cstdio>
#include <exception>
#include <utility>

#include "linux/GtkApplication.h"

namespace lum {

TWebKitSteps::TWebKitSteps() : FAlive(std::make_shared<TWebKitSteps*>(this)) {}

TWebKitSteps::~TWebKitSteps() {
    // Answers and posted actions that are still on their way find a null
    // owner and do nothing.
    *FAlive = nullptr;
    for (auto& [id, step] : FSteps) {
        g_source_remove(step.Timer);
        g_cancellable_cancel(step.Cancellable);
        g_object_unref(step.Cancellable);
    }
}

void TWebKitSteps::Begin(std::chrono::milliseconds limit,
                         const std::string& what,
                         TStepFailed failed,
                         TFinish finish,
                         const TStart& start) {
    const std::uint64_t id = FNextId++;
    TStep& step = FSteps[id];
    step.Cancellable = g_cancellable_new();
    step.What = what;
    step.Limit = limit;
    step.Failed = std::move(failed);
    step.Finish = std::move(finish);
    step.Timer = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(limit.count()),
                                    &TWebKitSteps::OnTimeout, new TTicket{FAlive, id, {}},
                                    &TWebKitSteps::FreeTicket);
    GCancellable* cancellable = step.Cancellable;
    start(cancellable, &TWebKitSteps::OnAnswer, new TTicket{FAlive, id, {}});
}

void TWebKitSteps::Post(std::function<void()> action, std::chrono::milliseconds delay) {
    auto* ticket = new TTicket{FAlive, 0, std::move(action)};
    if (delay.count() > 0)
        g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(delay.count()),
                           &TWebKitSteps::OnPosted, ticket, &TWebKitSteps::FreeTicket);
    else
        g_idle_add_full(G_PRIORITY_DEFAULT, &TWebKitSteps::OnPosted, ticket,
                        &TWebKitSteps::FreeTicket);
}

bool TWebKitSteps::Take(std::uint64_t id, TStep& step) {
    const auto it = FSteps.find(id);
    if (it == FSteps.end())
        return false;
    step = std::move(it->second);
    FSteps.erase(it);
    return true;
}

void TWebKitSteps::OnAnswer(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<TTicket> ticket(static_cast<TTicket*>(data));
    TWebKitSteps* self = *ticket->Owner;
    TStep step;
    // A step that timed out or was dropped has had its end already.
    if (!self || !self->Take(ticket->Id, step))
        return;
    g_source_remove(step.Timer);
    g_object_unref(step.Cancellable);
    gtk::Guarded([&] { step.Finish(source, result); });
}

gboolean TWebKitSteps::OnTimeout(gpointer data) {
    const auto* ticket = static_cast<const TTicket*>(data);
    TWebKitSteps* self = *ticket->Owner;
    TStep step;
    if (!self || !self->Take(ticket->Id, step))
        return G_SOURCE_REMOVE;
    // The late answer still arrives (cancelled or not) and is thrown away.
    g_cancellable_cancel(step.Cancellable);
    g_object_unref(step.Cancellable);
    const std::string message =
        step.What + " did not answer within " + std::to_string(step.Limit.count()) + " ms";
    if (self->FOnTimeout)
        gtk::Guarded(self->FOnTimeout);
    if (step.Failed)
        gtk::Guarded([&] { step.Failed(message); });
    return G_SOURCE_REMOVE;
}

gboolean TWebKitSteps::OnPosted(gpointer data) {
    const auto* ticket = static_cast<const TTicket*>(data);
    if (*ticket->Owner)
        gtk::Guarded(ticket->Action);
    return G_SOURCE_REMOVE;
}

void TWebKitSteps::FreeTicket(gpointer data) {
    delete static_cast<TTicket*>(data);
}

}  // namespace lum
