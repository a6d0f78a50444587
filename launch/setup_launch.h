// Runs the setup package beside the installer and waits for it to end.
#pragma once

#include <windows.h>

#include "afxstrw.h"

// Builds the setup command line from the installer's own folder and runs it.
void LaunchSqlSetup();
// Starts commandLine: through the "A" entry point when the ANSI code page
// shows it exactly, else through the "W" one. A failure to start is reported
// in a box, with the line as the code page shows it.
BOOL StartSetup(const CStringW& commandLine, PROCESS_INFORMATION& info);
// Starts commandLine, waits for the process while draining our queue, and
// closes its handles.
void RunAndWait(const CStringW& commandLine);
// Removes and dispatches every message waiting in this thread's queue.
void PumpWaitingMessages();
