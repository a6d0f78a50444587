// msvcrt's formatter, which differs from C99's snprintf when text is cut.
#include <string.h>

#include <algorithm>

#include "state.h"

// Where the text fits with a unit to spare it ends with a terminator; where it
// fits exactly it has none.
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    const std::string text = winsim::FormatList(format, args);
    memcpy(buffer, text.c_str(), std::min(text.size() + 1, count));
    return text.size() <= count ? (int)text.size() : -1;
}
