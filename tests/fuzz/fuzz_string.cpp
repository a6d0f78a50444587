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

// FindOneOf finds what the earliest Find of one of the set's characters finds.
// A lone lead byte ending the set is left out: Find matches it at the start
// of a double-byte character, FindOneOf only where it stands alone.
void CheckFindOneOf(const CString& text, std::string set)
{
    if (!set.empty() && IsCharacterStart(set.c_str(), (int)set.size() - 1) && AfxIsMbcsLeadByte(set.back()))
        set.pop_back();
    int first = -1;
    for (int s = 0, n; (n = AfxMbcsCharLength(set.c_str() + s)) != 0; s += n) {
        const int found = text.Find(set.substr(s, n).c_str());
        if (found >= 0 && (first < 0 || found < first))
            first = found;
    }
    FUZZ_CHECK(text.FindOneOf(set.c_str()) == first);
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
    const int first = Clamp(b, 0, length);
    const CString mid = text.Mid(b);
    FUZZ_CHECK(mid.GetLength() == length - first);
    FUZZ_CHECK(memcmp(mid, (const char*)text + first, mid.GetLength()) == 0);
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
    CheckFindOneOf(text, set.c_str());  // the set, too, ends at its first NUL
    CheckFind(text, set.c_str());
    CheckSlices(text, a, b);
    CheckFormatAndBuffer(text, set.c_str(), room);
    return 0;
}
