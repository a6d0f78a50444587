// The simulated declarations are all in windows.h.
#pragma once

#include <windows.h>
