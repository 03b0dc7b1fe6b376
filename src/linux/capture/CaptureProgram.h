// Starting the capture program "lumenary-capture": its channel is one end of
// a socket pair of its own, at the descriptor the protocol names; its
// standard input is /dev/null and its standard output this program's
// standard error. A program that cannot be started throws lum::Exception.
#pragma once

#include <sys/types.h>

#include <string>

namespace lum::gtk {

// The full path of the capture helper beside the running program.
std::string DefaultCaptureHelperPath();

// A started capture program: its process (reaped by the GLib main loop
// whenever it ends) and this program's end of its channel (non-blocking,
// closed on exec).
struct TCaptureProgram {
    pid_t Pid = 0;
    int Channel = -1;
};

TCaptureProgram StartCaptureProgram(const std::string& path);

// WebKit leaves a folder "<runtime>/.flatpak/webkit-<pid>-<n>" (its sandbox's
// bwrapinfo.json) for every engine process that started page processes, and
// never removes it: one a pass. Removes those of processes that no longer
// run (an engine program that was killed) and those of ended (an engine
// program at its own end, 0 for none). Only such folders holding plain files
// are removed, never through a link.
void RemoveSandboxLeftovers(const std::string& runtimeDir, pid_t ended);

}  // namespace lum::gtk
