// Keeps DLLs that a download folder may hold from being loaded into us.
#pragma once

// Restricts later DLL loads to the system folder where Windows can, and else
// at least takes the current folder out of the search. Runs at start-up,
// before any other code of ours.
void AfxRestrictDllSearch();
