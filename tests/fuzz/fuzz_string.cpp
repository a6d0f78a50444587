// CString on double-byte text: searches never land inside a character, slices
// and buffers stay within the text, formatting loses nothing.
#include <stdint.h>
#include <string.h>

#include <string>

#include "afxstr.h"
#include "fuzz_check.h"

namespace {

int Clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

void CheckFindOneOf(const CString& text, const char* set)
{
    const int found = text.FindOneOf(set);
    const char* p = text;
    int first = -1;
    for (int at = 0, n; first < 0 && (n = AfxMbcsCharLength(p + at)) != 0; at += n) {
        for (int s = 0, m; (m = AfxMbcsCharLength(set + s)) != 0; s += m) {
            if (m == n && memcmp(set + s, p + at, n) == 0) {
                first = at;
                break;
            }
        }
    }
    FUZZ_CHECK(found == first);
}

void CheckFind(const CString& text, const char* sub)
{
    const int found = text.Find(sub);
    const int subLength = (int)strlen(sub);
    int first = -1;
    for (int at = 0; at + subLength <= text.GetLength(); ++at) {
        if (IsCharacterStart(text, at) && memcmp((const char*)text + at, sub, subLength) == 0) {
            first = at;
            break;
        }
    }
    FUZZ_CHECK(found == first);
}

void CheckSlices(const CString& text, int a, int b)
{
    const int length = text.GetLength();
    const CString left = text.Left(a);
    FUZZ_CHECK(left.GetLength() == Clamp(a, 0, length));
    FUZZ_CHECK(memcmp(left, text, left.GetLength()) == 0);
    const int first = Clamp(a, 0, length);
    const CString mid = text.Mid(a, b);
    FUZZ_CHECK(mid.GetLength() == Clamp(b, 0, length - first));
    FUZZ_CHECK(memcmp(mid, (const char*)text + first, mid.GetLength()) == 0);
    FUZZ_CHECK(text.Mid(a).GetLength() == length - first);
}

void CheckFormatAndBuffer(const CString& text, const char* set, int room)
{
    CString joined;
    joined.Format("%s|%s", (const char*)text, set);
    FUZZ_CHECK(joined.GetLength() == text.GetLength() + 1 + (int)strlen(set));
    FUZZ_CHECK(std::string(joined) == std::string(text) + "|" + set);

    CString buffer(text);
    char* raw = buffer.GetBuffer(room);
    FUZZ_CHECK(strcmp(raw, text) == 0);
    const int fill = room > text.GetLength() ? room : text.GetLength();
    memset(raw, 'z', (size_t)fill);  // every byte it promised, with no NUL of our own
    buffer.ReleaseBuffer(-1);
    FUZZ_CHECK(buffer.GetLength() == fill);
}

}  // namespace

// Input: two signed offsets, a room size, the set's length, the set, the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = (UseJapaneseMachine(), true);
    (void)ready;
    if (size < 4)
        return 0;
    const int a = (int8_t)data[0];
    const int b = (int8_t)data[1];
    const int room = data[2] * 2;
    const size_t setLength = data[3] % 8 < size - 4 ? data[3] % 8 : size - 4;
    const std::string set((const char*)data + 4, setLength);
    const std::string raw((const char*)data + 4 + setLength, size - 4 - setLength);
    const CString text(raw.c_str());  // a string ends at its first NUL
    CheckFindOneOf(text, set.c_str());
    CheckFind(text, set.c_str());
    CheckSlices(text, a, b);
    CheckFormatAndBuffer(text, set.c_str(), room);
    return 0;
}
