// Runs the setup package beside the installer and waits for it to end.
#pragma once

#include <windows.h>

// Builds the setup command line from the installer's own folder and runs it.
void LaunchSqlSetup();
// Starts commandLine, waits for the process while draining our queue, and
// closes its handles; a failure to start is reported in a box.
void RunAndWait(char* commandLine);
// Removes and dispatches every message waiting in this thread's queue.
void PumpWaitingMessages();
