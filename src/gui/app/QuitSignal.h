// A clean end on a termination signal. SIGTERM (a session logging out, `kill`), SIGINT
// (Ctrl+C in a terminal) and SIGHUP end the event loops of every open window, so the program
// leaves as by its 退出 button: the database closed, the single-instance lock released, exit
// code 0. A draw in progress ends as after a power cut: its revealed batches are already on
// disk and the next start offers to continue. On Windows the console's events (Ctrl+C, its
// window closed, logging off) do the same.
#pragma once

class QObject;

// Installs the handlers; the watcher lives as a child of `parent` (the application object).
void QuitOnTerminationSignals(QObject* parent);

// True once a signal asked to quit: an event loop that ran before the main one (a message at
// start-up) took the request, so the main loop is not started.
bool QuitRequested();
