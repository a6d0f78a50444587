// Restarts Windows, enabling our right to shut it down first.
#pragma once

// Nothing is reported: if the privilege or the restart is refused, the
// installer simply ends.
void RestartWindows();
