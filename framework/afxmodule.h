// The full path of our own executable.
#pragma once

#include "afxstrw.h"

// As Windows holds it, whole however long: the "A" calls would hand back a
// path converted with best fit, where "¥" becomes '\\' and "é" 'e', naming
// another file. Empty if it cannot be read whole.
CStringW AfxGetModuleFileName();
