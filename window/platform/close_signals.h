// The signals that end a process politely (SIGINT from a terminal, SIGTERM
// and SIGHUP when a session ends) turned into a call on the GUI thread, so
// the program can end the way closing its window ends it.
#pragma once

#include <QObject>
#include <functional>

// From now on SIGINT, SIGTERM and SIGHUP no longer end the process: each
// calls `onSignal` with the signal's name ("SIGTERM"), from the event loop
// of the thread that called this. The handler itself only writes the
// signal's number into a pipe, the one thing that is safe there; a notifier
// owned by `owner` reads it.
// Windows has no such signals; there the session's end (WM_ENDSESSION)
// calls `onSignal` with "WM_ENDSESSION", and the process then ends at
// once with exit code 0, before Windows ends it with a code of its own.
void CloseOnSignals(QObject* owner, std::function<void(const char* name)> onSignal);
