// Starting the capture program "lumenary-capture": its channel is one end of
// a socket pair of its own, at the descriptor the protocol names; its
// standard input is /dev/null, and what it and the engine's processes write
// on standard output and error reaches this program's standard error line by
// line, less the engine's noise. A program that cannot be started throws
// lum::Exception.
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

// Whether a line that the capture program's processes wrote is the engine's
// noise, which never reaches this program's standard error: Mesa's notes
// below a fatal error ("libEGL warning: DRI2: failed to authenticate",
// "MESA-LOADER: ..."), GLib's log lines below a critical one
// ("(WebKitWebProcess:2): Gtk-WARNING **: 10:00:00.000: ...",
// "Gtk-Message: ...") and empty lines. The capture program's own lines,
// critical errors and any line not known as noise pass.
bool EngineNoise(const std::string& line);

// WebKit leaves a folder "<runtime>/.flatpak/webkit-<pid>-<n>" (its sandbox's
// bwrapinfo.json) for every engine process that started page processes, and
// never removes it: one a pass. Removes those of processes that no longer
// run (an engine program that was killed) and those of ended (an engine
// program at its own end, 0 for none). Only such folders holding plain files
// are removed, never through a link.
void RemoveSandboxLeftovers(const std::string& runtimeDir, pid_t ended);

// Removes the folder name of the open folder parent if it is a folder of
// this user's (not a link) holding plain files only, with them; anything
// else stays. What the engine programs leave behind goes this way.
void RemovePlainFolder(int parent, const char* name);

// Removes, in the folder at path, each folder whose name pidOf reads as the
// pid of a process that no longer runs (gone, or ended and not reaped) or of
// ended (0: none), as RemovePlainFolder does; pidOf gives 0 for other names.
void RemoveFoldersOfEnded(const std::string& path, long (*pidOf)(const char* name), pid_t ended);

// Whether the process runs: not gone, and not ended and waiting to be
// reaped (by a parent that may never do so).
bool ProcessRuns(long pid);

}  // namespace lum::gtk
