// What differs between the host build (the simulated Windows) and the Windows build.
#pragma once

#include <windows.h>

enum CutModel { CUT_VISTA, CUT_XP };  // how GetModuleFileNameW cuts a path that does not fit (Wine: as XP)

struct SeedValue {
    const char* name;
    DWORD type;
    const char* data;
    DWORD size;
};

// view64: the view a 32-bit program reaches with KEY_WOW64_64KEY; queryOnly: a DACL granting KEY_QUERY_VALUE only.
bool PlatformSeedKey(bool view64, const char* path, const SeedValue* values, int count, bool queryOnly);
void PlatformDropKey(bool view64, const char* path);
// "modulePath exit259" runs a second, then exits with 259; "modulePath cwd" (unpacker) makes the file "cwd.txt"
// in its current folder and exits.
void PlatformArrangeChild(const WCHAR* modulePath, bool unpacker);
void PlatformPostToSelf(UINT message);
// Shows a box through the "W" (wide) or "A" entry point, answers it, and reads back what it showed, in UTF-16.
void PlatformShowBox(bool wide, const void* text, const void* caption, WCHAR* shownText, WCHAR* shownCaption, int size);
DWORD PlatformNowMs();
bool PlatformReadsBack(PSECURITY_DESCRIPTOR descriptor, const WCHAR* sddl);  // its DACL's SDDL is sddl
bool PlatformKeepsAccessList(const WCHAR* folder);  // whether folder reads back as made: a protected DACL, ours only
const char* PlatformWineVersion();  // NULL when not on Wine

void RunConformance(CutModel cut, const char* label);
void PlatformOnlyCheck(bool cond, const char* call, const char* seen);  // a check only one build can make
int FinishConformance();  // prints the differences and the summary; returns the exit code
