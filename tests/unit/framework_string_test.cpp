#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "afxstr.h"
#include "afxstrw.h"
#include "sim_fixture.h"

namespace {

class StringTest : public SimTest {};

// Made through the buffer, so the text may hold a NUL of its own; in UTF-16
// each byte is a unit.
template <typename TString = CString>
TString Made(const std::string& bytes)
{
    TString text;
    std::copy(bytes.begin(), bytes.end(), text.GetBuffer((int)bytes.size()));
    text.ReleaseBuffer((int)bytes.size());
    return text;
}

// The units up to the first NUL, a byte each.
template <typename TChar>
std::string Bytes(const TChar* text)
{
    return std::string(text, text + std::char_traits<TChar>::length(text));
}

// In code page 932 the second byte of "ソ" (0x83 0x5C) is '\\' and of
// "ー" (0x81 0x5B) is '['; "表" is 0x95 0x5C. The lead-byte ranges end at
// 0x81-0x9F and 0xE0-0xFC: "―" 0x81 0x5C, "歃" 0x9F 0x5C, "濬" 0xE0 0x5C,
// "鷭" 0xEA 0x5C, "纊" 0xED 0x40, "髜" 0xFC 0x40; 0x80, 0xA0 and 0xFD are
// single bytes. A search stops at the first NUL, even one inside the length.
TEST_F(StringTest, SearchesMatchWholeCharactersOnly)
{
    struct Case {
        std::string text;
        const char* chars;  // Find's substring, FindOneOf's set
        int find, findOneOf;
        UINT codePage = 932;
    };
    const std::string nul(1, '\0');
    const Case cases[] = {
        {"ソフト\\x", "\\", 6, 6},  {"表\\", "\\", 2, 2},  {"ソ", "\\", -1, -1},  {"ー[", "[", 2, 2},
        {"―\\", "\\", 2, 2},  {"歃\\", "\\", 2, 2},  {"濬\\", "\\", 2, 2},  {"鷭\\鷭", "\\", 2, 2},
        {"纊@", "@", 2, 2},  {"髜@", "@", 2, 2},  {"\x80\\", "\\", 1, 1},  {"\xA0\\", "\\", 1, 1},
        {"\xFD\\", "\\", 1, 1},  {"a,b;c", ",;", -1, 1},  {"abc", "", 0, -1},  {"", ".", -1, -1},
        {"14.0", ".", 2, 2},  {"ソ.", ".ソ", -1, 0},  // a double-byte member of the set matches whole
        {"\x83", "\x83", 0, 0},  {"ab\x95", "\x95", 2, 2},  // a lead byte at the very end stands alone
        {"x\x95", "\x95", 1, 1},  {"ソ", "z\x83", -1, -1},  {"\\", "ソ", -1, -1},  // within the set too
        {"C:\\MSSQL$VALTERNADB\\data", "MSSQL$VALTERNADB", 3, 3},
        {"C:\\mssql$valternadb", "MSSQL$VALTERNADB", -1, 8},  {"MSSQL$VALTERNAD", "MSSQL$VALTERNADB", -1, 0},
        {"ソ\\x", "\\x", 2, 2},  {"ソx", "\\x", -1, 2},  // 0x5C 'x' hides inside "ソ" + 'x'
        {"歃\\x", "\\x", 2, 2},  {"濬x", "\\x", -1, 2},
        {"ab" + nul + "cd", "cd", -1, -1},  {"\x95" + nul + "x", "x", -1, -1},
        {"\x83\x5C", "\\", 1, 1, 1252},  {"\x95\x5C", "\\", 1, 1, 1252},  // byte-wise there
    };
    alarm(10);  // a search looping at a NUL ends the run instead of hanging it
    for (const Case& c : cases) {
        BeginCase(c.text + " / " + c.chars + " in code page " + std::to_string(c.codePage));
        UseCodePage(c.codePage);
        const CString text = Made(c.text);
        EXPECT_EQ(text.Find(c.chars), c.find);
        EXPECT_EQ(text.FindOneOf(c.chars), c.findOneOf);
    }
    alarm(0);
}

TEST_F(StringTest, LeftAndMidClampToTheText)
{
    const CString text("abcdef");
    struct Case {
        const char* what;
        CString actual;
        const char* expected;
    };
    const Case cases[] = {
        {"Left(0)", text.Left(0), ""},          {"Left(3)", text.Left(3), "abc"},
        {"Left(99)", text.Left(99), "abcdef"},  {"Left(-1)", text.Left(-1), ""},
        {"Mid(0)", text.Mid(0), "abcdef"},      {"Mid(4)", text.Mid(4), "ef"},
        {"Mid(6)", text.Mid(6), ""},            {"Mid(7)", text.Mid(7), ""},
        {"Mid(-2)", text.Mid(-2), "abcdef"},
    };
    for (const Case& c : cases) {
        BeginCase(c.what);
        EXPECT_STREQ(c.actual, c.expected);
        EXPECT_EQ(c.actual.GetLength(), (int)strlen(c.expected));
    }
}

TEST_F(StringTest, FormatGrowsForLongTexts)
{
    CString text;
    text.Format("%s インストール", "SQL Server 2017 Express");
    EXPECT_STREQ(text, "SQL Server 2017 Express インストール");
    EXPECT_EQ(text.GetLength(), (int)strlen("SQL Server 2017 Express インストール"));

    const std::string longText(5000, 'x');
    text.Format("[%s]", longText.c_str());
    EXPECT_EQ(text.GetLength(), 5002);
    EXPECT_EQ(std::string(text), "[" + longText + "]");

    // Arguments from the string being formatted, which has to grow.
    text = std::string(200, 'a').c_str();
    text.Format("%s-%s", (const char*)text, (const char*)text);
    EXPECT_EQ(std::string(text), std::string(200, 'a') + "-" + std::string(200, 'a'));

    // One more than the first buffer holds: the formatter's count exactly, with no terminator.
    const std::string exact(129, 'y');
    text.Format("%s", exact.c_str());
    EXPECT_EQ(std::string(text), exact);
}

struct BufferCase {
    const char* what;
    const char* before;
    bool emptied;  // Empty() before GetBuffer
    int room;
    std::string written;  // with no NUL of its own unless listed
    int released;
    std::string expected;
};

template <typename TString, typename TChar>
void CheckBuffer(const BufferCase& c)
{
    TString text = Made<TString>(c.before);
    if (c.emptied)
        text.Empty();
    TChar* buffer = text.GetBuffer(c.room);
    EXPECT_EQ(Bytes(buffer), c.emptied ? "" : c.before);
    std::copy(c.written.begin(), c.written.end(), buffer);
    text.ReleaseBuffer(c.released);
    EXPECT_EQ(Bytes((const TChar*)text), c.expected);
    EXPECT_EQ(text.GetLength(), (int)c.expected.size());
}

// For both character types alike, each byte below a unit: GetBuffer(n) keeps
// the text and gives zero-filled room for n units and a terminator;
// ReleaseBuffer(-1) ends the text at the first NUL, ReleaseBuffer(n) at n.
TEST_F(StringTest, BufferKeepsATerminatorAfterItsRoom)
{
    const BufferCase cases[] = {
        {"a full buffer", "", false, 260, std::string(260, 'a'), -1, std::string(260, 'a')},
        {"a NUL written", "keep", false, 10, std::string("ab\0cd", 5), -1, "ab"},
        {"a length shorter than what was written", "keep", false, 10, "abcdefgh", 3, "abc"},
        {"no room", "", false, 0, "", -1, ""},
        {"a full buffer after Empty", "abcdefgh", true, 3, "xyz", -1, "xyz"},
        {"the room zero-filled after Empty", "abcdefgh", true, 5, "xy", -1, "xy"},
    };
    for (const BufferCase& c : cases) {
        BeginCase(c.what);
        CheckBuffer<CString, char>(c);
        BeginCase(std::string(c.what) + ", UTF-16");
        CheckBuffer<CStringW, WCHAR>(c);
    }
}

TEST_F(StringTest, CopiesAreIndependentAndSelfAssignmentIsSafe)
{
    CString a("first");
    CString b(a);
    b = "second";
    EXPECT_STREQ(a, "first");
    a = a;
    EXPECT_STREQ(a, "first");
    a = a.Mid(1);  // source inside the destination
    EXPECT_STREQ(a, "irst");
    a = (const char*)a + 1;  // a pointer into its own buffer, overlapping what it replaces
    EXPECT_STREQ(a, "rst");
    EXPECT_EQ(a.GetLength(), 3);
    a.Empty();
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_STREQ(a, "");
    const char* null = NULL;
    b = null;
    EXPECT_STREQ(b, "");
}

}  // namespace
