// msvcrt's formatter, which differs from C99's snprintf when text is cut.
#include <stdio.h>
#include <string.h>

#include <string>

#include <windows.h>

int _vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    const int length = vsnprintf(NULL, 0, format, measure);
    va_end(measure);
    if (length < 0)
        return -1;
    std::string text((size_t)length + 1, '\0');
    vsnprintf(&text[0], text.size(), format, args);
    if ((size_t)length < count) {
        memcpy(buffer, text.c_str(), (size_t)length + 1);
        return length;
    }
    memcpy(buffer, text.data(), count);
    return (size_t)length == count ? length : -1;
}
