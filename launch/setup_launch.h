// Runs the setup package beside the installer and waits for it to end.
#pragma once

#include <windows.h>

#include "afxstrw.h"
#include "setup_folder.h"

// Runs the setup package beside the installer from folder, which it creates;
// the caller removes it once the user has read what follows.
void LaunchSqlSetup(CSetupFolder& folder);
// Starts a copy of package in folder if Microsoft signed it (else, or on a
// failure to copy or start, says so in a box, naming shownLine, the command
// line of the package beside us), waits for the process while draining our
// queue, and closes its handles.
void RunAndWait(const CStringW& package, const CStringW& shownLine, CSetupFolder& folder);
// Removes and dispatches every message waiting in this thread's queue.
void PumpWaitingMessages();
