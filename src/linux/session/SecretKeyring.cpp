#include "linux/session/SecretKeyring.h"

#include <gio/gio.h>
#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace lum::gtk {

namespace {

constexpr const char* kSecretsName = "org.freedesktop.secrets";
constexpr const char* kNetworkSchemaName = "org.gnome.keyring.NetworkPassword";

// The attributes WebKit stores. WebKit stores its items without the
// "xdg:schema" attribute, so the search must not ask for the schema's name.
const SecretSchema kWebKitSchema = {kNetworkSchemaName,
                                    SECRET_SCHEMA_DONT_MATCH_NAME,
                                    {{"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                     {"domain", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                     {"protocol", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                     {"port", SECRET_SCHEMA_ATTRIBUTE_INTEGER},
                                     {"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                     {"authtype", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                     {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                    0,
                                    nullptr,
                                    nullptr,
                                    nullptr,
                                    nullptr,
                                    nullptr,
                                    nullptr,
                                    nullptr};

// Cancels its cancellable when the time is up, so no D-Bus wait of the
// calls given it lasts longer (a keyring that hangs, a bus that never
// finishes the handshake).
class TWatchdog {
  public:
    explicit TWatchdog(int timeoutMs) : FCancellable(g_cancellable_new()) {
        Restart(timeoutMs);
        FThread = std::thread([this] {
            std::unique_lock<std::mutex> lock(FMutex);
            while (!FOver) {
                if (FDone.wait_until(lock, FDeadline) == std::cv_status::timeout &&
                    std::chrono::steady_clock::now() >= FDeadline) {
                    g_cancellable_cancel(FCancellable);
                    return;
                }
            }
        });
    }
    ~TWatchdog() {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FOver = true;
        }
        FDone.notify_all();
        FThread.join();
        g_object_unref(FCancellable);
    }
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;

    void Restart(int timeoutMs) {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        }
        FDone.notify_all();
    }
    GCancellable* Cancellable() const { return FCancellable; }
    bool TimedOut() const { return g_cancellable_is_cancelled(FCancellable); }

  private:
    GCancellable* FCancellable;
    std::mutex FMutex;
    std::condition_variable FDone;
    std::chrono::steady_clock::time_point FDeadline;
    bool FOver = false;
    std::thread FThread;
};

// Asks the bus, never starting anything, whether the Secret Service has an
// owner or can be started.
bool SecretsOnBus(GCancellable* cancellable, int timeoutMs) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, nullptr);
    if (!bus)
        return false;
    bool found = false;
    for (const bool owner : {true, false}) {
        GVariant* reply = g_dbus_connection_call_sync(
            bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            owner ? "NameHasOwner" : "ListActivatableNames",
            owner ? g_variant_new("(s)", kSecretsName) : nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE,
            timeoutMs, cancellable, nullptr);
        if (!reply)
            continue;
        if (owner) {
            gboolean has = FALSE;
            g_variant_get(reply, "(b)", &has);
            found = found || has;
        } else {
            const gchar** names = nullptr;
            g_variant_get(reply, "(^a&s)", &names);
            for (const gchar** name = names; name && *name; ++name)
                found = found || std::string(*name) == kSecretsName;
            g_free(names);
        }
        g_variant_unref(reply);
    }
    g_object_unref(bus);
    return found;
}

std::string Failure(GError* error, const TWatchdog& watchdog, int timeoutMs) {
    if (watchdog.TimedOut())
        return "the keyring did not answer within " + std::to_string(timeoutMs / 1000) + " s";
    return error && error->message ? error->message : "the keyring refused";
}

// WebKit's own item: its label, and no schema or the network one.
bool IsWebKitItem(SecretItem* item) {
    gchar* label = secret_item_get_label(item);
    const bool labelled = label && std::string(label) == kWebKitPasswordLabel;
    g_free(label);
    GHashTable* attributes = secret_item_get_attributes(item);
    const auto* schema =
        attributes ? static_cast<const gchar*>(g_hash_table_lookup(attributes, "xdg:schema"))
                   : nullptr;
    const bool network = !schema || std::string(schema) == kNetworkSchemaName;
    if (attributes)
        g_hash_table_unref(attributes);
    return labelled && network;
}

// Removes the items of one record; how many went, or -1 with error set.
int RemoveItems(SecretService* service,
                const TKeptPassword& kept,
                const TWatchdog& watchdog,
                GError** error) {
    const std::string port = std::to_string(kept.Port);
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<gchar*>("server"),
                        const_cast<char*>(kept.Host.c_str()));
    g_hash_table_insert(attributes, const_cast<gchar*>("port"), const_cast<char*>(port.c_str()));
    g_hash_table_insert(attributes, const_cast<gchar*>("protocol"),
                        const_cast<char*>(kept.Protocol.c_str()));
    g_hash_table_insert(attributes, const_cast<gchar*>("domain"),
                        const_cast<char*>(kept.Realm.c_str()));
    g_hash_table_insert(attributes, const_cast<gchar*>("user"),
                        const_cast<char*>(kept.User.c_str()));
    GList* found = secret_service_search_sync(service, &kWebKitSchema, attributes,
                                              SECRET_SEARCH_ALL, watchdog.Cancellable(), error);
    g_hash_table_unref(attributes);
    if (!found && *error)
        return -1;
    int removed = 0;
    for (GList* each = found; each && !*error; each = each->next) {
        auto* item = static_cast<SecretItem*>(each->data);
        // A locked item shows no label, and unlocking it would wait on the
        // keyring's own prompt (which gnome-keyring without a prompter has
        // been seen to answer by aborting): the user is told instead.
        if (secret_item_get_locked(item)) {
            g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED, "it is locked");
        } else if (IsWebKitItem(item) &&
                   secret_item_delete_sync(item, watchdog.Cancellable(), error)) {
            ++removed;
        }
    }
    g_list_free_full(found, g_object_unref);
    return *error ? -1 : removed;
}

}  // namespace

bool SessionBusKnown() {
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return true;
    // (GLib's own runtime folder is read once per process; the environment
    // is read here each time.)
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return false;
    const std::string socket = std::string(runtime) + "/bus";
    return g_file_test(socket.c_str(), G_FILE_TEST_EXISTS);
}

bool KeyringRuns(int timeoutMs) {
    // Without a bus address GLib would try to start a bus for the X display.
    if (!SessionBusKnown())
        return false;
    TWatchdog watchdog(timeoutMs);
    return SecretsOnBus(watchdog.Cancellable(), timeoutMs);
}

TKeyringClearing ClearKeptPasswords(const std::vector<TKeptPassword>& items, int timeoutMs) {
    TKeyringClearing result;
    if (items.empty()) {
        result.Reached = true;
        return result;
    }
    if (!SessionBusKnown()) {
        result.Error = "no session bus is there (DBUS_SESSION_BUS_ADDRESS is not set)";
        return result;
    }
    TWatchdog watchdog(timeoutMs);
    if (!SecretsOnBus(watchdog.Cancellable(), timeoutMs)) {
        result.Error = watchdog.TimedOut() ? Failure(nullptr, watchdog, timeoutMs)
                                           : "no desktop keyring runs on the session bus";
        return result;
    }
    GError* error = nullptr;
    SecretService* service =
        secret_service_get_sync(SECRET_SERVICE_NONE, watchdog.Cancellable(), &error);
    if (!service) {
        result.Error = Failure(error, watchdog, timeoutMs);
        g_clear_error(&error);
        return result;
    }
    result.Reached = true;
    std::map<std::string, int> removedPerHost;
    for (const TKeptPassword& kept : items) {
        const int removed = RemoveItems(service, kept, watchdog, &error);
        if (removed < 0) {
            result.Error = Failure(error, watchdog, timeoutMs);
            g_clear_error(&error);
            break;
        }
        removedPerHost[kept.Host] += removed;
    }
    g_object_unref(service);
    for (const auto& [host, removed] : removedPerHost)
        (removed > 0 ? result.Removed : result.Missing).push_back(host);
    return result;
}

}  // namespace lum::gtk
