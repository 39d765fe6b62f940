#pragma once
// Opening files, documents and help pages with other programs, through the display back
// end: the GTK back end launches with GIO, the headless back end and the test driver only
// record the request. Without a back end nothing is launched and the calls fail.
#include <string>
#include <vector>

namespace toolbox {

// A "file://" URI of an absolute UTF-8 path: every byte outside the unreserved characters
// and '/' is percent-escaped. Empty for a path that is not absolute.
std::string FileUriFromPath(const std::string& path);

// Opens the URI with the user's default application for it.
bool OpenUri(const std::string& uri);
// Starts the program with the arguments (argv[0] is the program's path).
bool Spawn(const std::vector<std::string>& argv);

// Has a write past the process's file-size limit (ulimit -f) fail with EFBIG, reported by
// whatever wrote it, instead of ending the process. The signal is caught by a handler that
// does nothing rather than ignored: a program started from here (through GIO, a shell or
// anything else that execs) begins with the signal's default, since exec resets a caught
// signal but keeps an ignored one.
void CatchFileSizeLimitSignal();

// What was asked of a back end that records: "open <uri>" or "spawn <arg> <arg>...".
std::vector<std::string>& LaunchRequests();

// The launchers of a back end with a screen (GIO); false where GTK is not built in.
bool LaunchUriWithGio(const std::string& uri);
bool SpawnWithGio(const std::vector<std::string>& argv);

}  // namespace toolbox
