#include <string.h>

#include <string>

#include "afxstr.h"
#include "sim_fixture.h"

namespace {

class StringTest : public SimTest {};

// In code page 932 the second byte of "ソ" (0x83 0x5C) is '\\' and of
// "ー" (0x81 0x5B) is '['; "表" is 0x95 0x5C. The lead-byte ranges end at
// 0x81-0x9F and 0xE0-0xFC: "―" 0x81 0x5C, "歃" 0x9F 0x5C, "濬" 0xE0 0x5C,
// "鷭" 0xEA 0x5C, "纊" 0xED 0x40, "髜" 0xFC 0x40; 0x80, 0xA0 and 0xFD are
// single bytes.
TEST_F(StringTest, FindOneOfSkipsSecondBytesInCodePage932)
{
    struct Case {
        const char* text;
        const char* set;
        int expected;
    };
    const Case cases[] = {
        {"ソフト\\x", "\\", 6},
        {"表\\", "\\", 2},
        {"ソ", "\\", -1},
        {"ー[", "[", 2},
        {"―\\", "\\", 2},
        {"歃\\", "\\", 2},
        {"濬\\", "\\", 2},
        {"鷭\\", "\\", 2},
        {"纊@", "@", 2},
        {"髜@", "@", 2},
        {"\x80\\", "\\", 1},
        {"\xA0\\", "\\", 1},
        {"\xFD\\", "\\", 1},
        {"a,b;c", ",;", 1},
        {"abc", "", -1},
        {"", ".", -1},
        {"14.0", ".", 2},
        {"ソ.", ".ソ", 0},  // a double-byte member of the set matches whole
        {"\x83", "\x83", 0},  // a lead byte at the very end stands alone
        {"ab\x95", "\x95", 2},
    };
    for (const Case& c : cases) {
        BeginCase(std::string(c.text) + " / " + c.set);
        EXPECT_EQ(CString(c.text).FindOneOf(c.set), c.expected);
    }
}

TEST_F(StringTest, FindOneOfIsByteWiseInCodePage1252)
{
    UseCodePage(1252);
    EXPECT_EQ(CString("\x83\x5C").FindOneOf("\\"), 1);
    EXPECT_EQ(CString("\x95\x5C").FindOneOf("\\"), 1);
}

TEST_F(StringTest, FindMatchesOnlyAtCharacterStarts)
{
    struct Case {
        const char* text;
        const char* sub;
        int expected;
    };
    const Case cases[] = {
        {"C:\\MSSQL$VALTERNADB\\data", "MSSQL$VALTERNADB", 3},
        {"C:\\mssql$valternadb", "MSSQL$VALTERNADB", -1},
        {"MSSQL$VALTERNAD", "MSSQL$VALTERNADB", -1},
        {"ソ\\x", "\\x", 2},
        {"ソx", "\\x", -1},  // 0x5C 'x' hides inside "ソ" + 'x'
        {"abc", "", 0},
        {"歃\\x", "\\x", 2},
        {"濬x", "\\x", -1},
        {"鷭\\鷭", "\\", 2},
        {"x\x95", "\x95", 1},  // a lone lead byte at the end is a character of its own
    };
    for (const Case& c : cases) {
        BeginCase(std::string(c.text) + " / " + c.sub);
        EXPECT_EQ(CString(c.text).Find(c.sub), c.expected);
    }
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
        {"Mid(-2)", text.Mid(-2), "abcdef"},    {"Mid(1, 2)", text.Mid(1, 2), "bc"},
        {"Mid(5, 9)", text.Mid(5, 9), "f"},     {"Mid(2, -1)", text.Mid(2, -1), ""},
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

    // A format that fits the first buffer exactly, with no room for the terminator.
    const std::string exact(128, 'y');
    text.Format("%s", exact.c_str());
    EXPECT_EQ(std::string(text), exact);
}

TEST_F(StringTest, BufferKeepsATerminatorAfterItsLength)
{
    CString text;
    char* buffer = text.GetBuffer(260);
    memset(buffer, 'a', 260);  // a full buffer with no NUL of its own
    text.ReleaseBuffer(-1);
    EXPECT_EQ(text.GetLength(), 260);

    CString shorter("keep");
    buffer = shorter.GetBuffer(10);
    EXPECT_STREQ(buffer, "keep");
    strcpy(buffer, "ab\0cd");
    shorter.ReleaseBuffer(-1);
    EXPECT_STREQ(shorter, "ab");

    // A length shorter than what was written cuts the text there.
    buffer = shorter.GetBuffer(10);
    strcpy(buffer, "abcdefgh");
    shorter.ReleaseBuffer(3);
    EXPECT_STREQ(shorter, "abc");
    EXPECT_EQ(shorter.GetLength(), 3);

    CString empty;
    empty.GetBuffer(0);
    empty.ReleaseBuffer(-1);
    EXPECT_TRUE(empty.IsEmpty());
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

TEST_F(StringTest, ArrayEmptiesAndGrowsAtTheEnd)
{
    CStringArray array;
    for (int i = 0; i < 40; ++i) {
        CString item;
        item.Format("item%d", i);
        array.SetAtGrow(array.GetSize(), item);
    }
    ASSERT_EQ(array.GetSize(), 40);
    EXPECT_STREQ(array[0], "item0");
    EXPECT_STREQ(array[39], "item39");

    array.SetAtGrow(array.GetSize(), array[0]);  // an element of the array itself, while it grows
    EXPECT_STREQ(array[40], "item0");

    array.SetAtGrow(45, "far");
    EXPECT_EQ(array.GetCount(), 46);
    EXPECT_STREQ(array[44], "");

    array.SetAtGrow(5000, array[45]);  // far past the capacity, from an element that moves
    EXPECT_EQ(array.GetSize(), 5001);
    EXPECT_STREQ(array[5000], "far");
    EXPECT_STREQ(array[4999], "");
    EXPECT_STREQ(array[39], "item39");

    array.SetSize(0, -1);
    EXPECT_EQ(array.GetSize(), 0);
    array.SetAtGrow(0, "again");
    EXPECT_STREQ(array[0], "again");
}

// Appending its own last element exactly when the array is full.
TEST_F(StringTest, ArrayAppendsItsOwnElementAtEachCapacity)
{
    for (int count = 1; count <= 33; ++count) {
        BeginCase("after " + std::to_string(count) + " elements");
        CStringArray array;
        for (int i = 0; i < count; ++i)
            array.SetAtGrow(i, std::string(40, (char)('a' + i % 26)).c_str());
        array.SetAtGrow(count, array[count - 1]);
        ASSERT_EQ(array.GetSize(), count + 1);
        EXPECT_EQ(std::string(array[count]), std::string(40, (char)('a' + (count - 1) % 26)));
    }
}

}  // namespace
