// The full path of our own executable.
#pragma once

#include "afxstr.h"

// Whole, however long: in code page 932 a path within MAX_PATH characters
// may take nearly twice as many bytes. Empty if it cannot be read whole.
CString AfxGetModuleFileName();
