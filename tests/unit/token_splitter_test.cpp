#include <string>
#include <vector>

#include "sim_fixture.h"
#include "token_splitter.h"

namespace {

class TokenSplitterTest : public SimTest {};

std::vector<std::string> Tokens(const CTokenSplitter& splitter)
{
    std::vector<std::string> tokens;
    for (int i = 0; i < splitter.m_arrTokens.GetSize(); ++i)
        tokens.push_back(std::string(splitter.GetToken(i)));
    return tokens;
}

TEST_F(TokenSplitterTest, NDelimitersGiveNPlusOneTokens)
{
    struct Case {
        const char* delimiters;  // NULL: the default
        const char* input;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {".", "14.0.1000.169", {"14", "0", "1000", "169"}},
        {".", "", {""}},
        {".", "1..2", {"1", "", "2"}},
        {".", ".5", {"", "5"}},
        {".", "14.", {"14", ""}},
        {".", "14", {"14"}},
        {",;", "a,b;c", {"a", "b", "c"}},
        {"", "a.b,c", {"a.b,c"}},
        {NULL, "a,b.c", {"a", "b.c"}},
        {"\\", "ソフト\\表", {"ソフト", "表"}},  // 0x5C second bytes are not delimiters
        {".", "C:\\ソ.1", {"C:\\ソ", "1"}},
    };
    for (const Case& c : cases) {
        CTokenSplitter splitter;
        if (c.delimiters != NULL)
            splitter.m_strDelimiters = c.delimiters;
        EXPECT_TRUE(splitter.Split(c.input));
        EXPECT_EQ(Tokens(splitter), c.tokens) << c.input;
    }
}

TEST_F(TokenSplitterTest, DefaultDelimiterIsComma)
{
    CTokenSplitter splitter;
    EXPECT_STREQ(splitter.m_strDelimiters, ",");
    EXPECT_EQ(splitter.m_arrTokens.GetSize(), 0);
}

TEST_F(TokenSplitterTest, SecondSplitReplacesTheTokens)
{
    CTokenSplitter splitter;
    splitter.m_strDelimiters = ".";
    splitter.Split("1.2.3.4");
    splitter.Split("9");
    EXPECT_EQ(Tokens(splitter), std::vector<std::string>{"9"});
}

TEST_F(TokenSplitterTest, OutOfRangeIndexGivesEmptyText)
{
    CTokenSplitter splitter;
    splitter.Split("a,b");
    for (int index : {-1, 2, 1000, -1000})
        EXPECT_STREQ(splitter.GetToken(index), "") << index;
    splitter.Split("");
    EXPECT_STREQ(splitter.GetToken(0), "");
    EXPECT_STREQ(splitter.GetToken(1), "");
}

}  // namespace
