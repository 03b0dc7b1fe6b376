// The sandbox of WebKit's page processes (bubblewrap, with xdg-dbus-proxy):
// a page never sees the user's files. Where it cannot start, WebKit would end
// the whole program at its first page; this check fails first, in words.
#pragma once

#include <string>

namespace lum {

// Where WebKitGTK looks for its sandbox programs (fixed when it was built).
struct TSandboxTools {
    std::string Bubblewrap = "/usr/bin/bwrap";
    std::string DbusProxy = "/usr/bin/xdg-dbus-proxy";
};

// Throws lum::Exception saying what is wrong when the sandbox cannot start
// here: a program missing, bubblewrap unable to make its namespaces, or the
// sandbox switched off by WebKit's environment variable (set empty or to "0",
// the variable is taken out of the environment instead: WebKit would switch
// the sandbox off for it all the same). Runs bubblewrap once
// a process for each set of tools (a few milliseconds). Drops an X authority
// file this process cannot read from its environment (WebKit's sandbox would
// not start with it).
void CheckPageSandbox(const TSandboxTools& tools = {});

}  // namespace lum
