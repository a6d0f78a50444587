// The folder the setup package is started from and unpacks into: our own, in
// ProgramData, where only SYSTEM and administrators can write. The folder
// beside us is usually a download folder, which the user's own programs can
// change while the package runs with our rights; and the package refuses to
// unpack under the Windows folder.
#pragma once

#include <windows.h>

#include "afxstrw.h"

class CSetupFolder {
public:
    CSetupFolder() {}
    ~CSetupFolder() { Remove(); }
    CSetupFolder(const CSetupFolder&) = delete;
    CSetupFolder& operator=(const CSetupFolder&) = delete;

    // A new folder under a fresh random name; never one that existed, since
    // anyone may have made that. FALSE if none could be made.
    BOOL Create();
    // The folder and all in it, links removed as themselves and never
    // followed; what is still in use goes at the next restart.
    void Remove();

    // Its full path; empty until it is created.
    const CStringW& GetPath() const { return m_strPath; }
    // The full path of the file of that (ASCII) name in it.
    CStringW PathOf(const char* name) const;

private:
    CStringW m_strPath;
};
