// Runs the setup package beside the installer and waits for it to end.
#pragma once

#include <windows.h>

#include "afxstrw.h"

// Builds the setup command line from the installer's own folder and runs it.
void LaunchSqlSetup();
// Starts commandLine (reporting a failure in a box), waits for the process
// while draining our queue, and closes its handles.
void RunAndWait(const CStringW& commandLine);
// Removes and dispatches every message waiting in this thread's queue.
void PumpWaitingMessages();
