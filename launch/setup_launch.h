// Runs the setup package beside the installer and waits for it to end.
#pragma once

#include <windows.h>

#include "afxstrw.h"

// Builds the setup command line from the installer's own folder and runs it.
void LaunchSqlSetup();
// Starts commandLine if package, the program it names, is Microsoft's (else
// or on a failure to start, says so in a box), waits for the process while
// draining our queue, and closes its handles.
void RunAndWait(const CStringW& package, const CStringW& commandLine);
// Removes and dispatches every message waiting in this thread's queue.
void PumpWaitingMessages();
