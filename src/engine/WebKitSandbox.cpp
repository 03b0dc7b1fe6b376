#include "engine/WebKitSandbox.h"

#include <glib.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/Types.h"

namespace lum {

namespace {

constexpr char kDisable[] = "WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS";

// Runs bubblewrap as WebKit will (its own namespaces, the system read-only)
// and answers "" when it starts, else its own words.
std::string TryBubblewrap(const std::string& bubblewrap) {
    const char* argv[] = {bubblewrap.c_str(),
                          "--unshare-all",
                          "--die-with-parent",
                          "--ro-bind",
                          "/",
                          "/",
                          "--proc",
                          "/proc",
                          "--dev",
                          "/dev",
                          "true",
                          nullptr};
    gchar* errors = nullptr;
    gint status = 0;
    GError* error = nullptr;
    const bool ran =
        g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_STDOUT_TO_DEV_NULL,
                     nullptr, nullptr, nullptr, &errors, &status, &error);
    std::string why;
    if (!ran)
        why = error ? error->message : "it cannot be run";
    else if (!g_spawn_check_wait_status(status, nullptr))
        why = errors && *errors ? g_strstrip(errors) : "it failed";
    g_clear_error(&error);
    g_free(errors);
    return why;
}

std::string SandboxProblem(const TSandboxTools& tools) {
    for (const std::string* tool : {&tools.Bubblewrap, &tools.DbusProxy}) {
        if (!g_file_test(tool->c_str(), G_FILE_TEST_IS_EXECUTABLE))
            return "the page sandbox needs " + *tool +
                   " (Debian packages bubblewrap and xdg-dbus-proxy), which is not there";
    }
    const std::string why = TryBubblewrap(tools.Bubblewrap);
    if (!why.empty())
        return "the page sandbox cannot start here (" + tools.Bubblewrap + ": " + why + ")";
    return "";
}

}  // namespace

void CheckPageSandbox(const TSandboxTools& tools) {
    // WebKit shows the page process the X authority file, and its sandbox
    // does not start when that file cannot be read (a file of another user,
    // left in the environment). Unreadable, it is of no use to this process's
    // own connection either: it goes.
    const char* authority = g_getenv("XAUTHORITY");
    if (authority && *authority && access(authority, R_OK) != 0)
        g_unsetenv("XAUTHORITY");
    // WebKit turns its sandbox off when this variable is there at all,
    // whatever it holds. Empty or "0" reads as not meant: it never reaches
    // WebKit. Any other value is refused in words, every time.
    const char* disabled = g_getenv(kDisable);
    if (disabled && (!*disabled || g_strcmp0(disabled, "0") == 0))
        g_unsetenv(kDisable);
    else if (disabled)
        throw Exception(std::string("the page sandbox is switched off (") + kDisable +
                        "): pages are not captured without it");
    // The tools do not change while the program runs: ask once.
    static std::mutex lock;
    static std::map<std::string, std::string> problems;
    std::lock_guard<std::mutex> guard(lock);
    const std::string key = tools.Bubblewrap + '\n' + tools.DbusProxy;
    auto found = problems.find(key);
    if (found == problems.end())
        found = problems.emplace(key, SandboxProblem(tools)).first;
    if (!found->second.empty())
        throw Exception(found->second);
}

}  // namespace lum
