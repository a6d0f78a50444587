#include <string>
#include <vector>

#include "sim_fixture.h"
#include "token_splitter.h"

namespace {

class TokenSplitterTest : public SimTest {};

// Each case splits after a split of other text, whose tokens it must replace;
// any index outside the tokens, before a split or after, gives an empty text.
TEST_F(TokenSplitterTest, NDelimitersGiveNPlusOneTokens)
{
    struct Case {
        const char* delimiters;  // NULL: the default
        const char* input;
        std::vector<std::string> tokens;
    };
    // A value of any length may be read: its tokens grow the array past several capacities.
    std::string many = "0";
    std::vector<std::string> manyTokens = {"0"};
    for (int i = 1; i < 40; ++i)
        many += "." + manyTokens.emplace_back(std::to_string(i));
    const Case cases[] = {
        {".", "14.0.1000.169", {"14", "0", "1000", "169"}},
        {".", many.c_str(), manyTokens},
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
        BeginCase(c.input);
        CTokenSplitter splitter;
        if (c.delimiters != NULL)
            splitter.m_strDelimiters = c.delimiters;
        EXPECT_STREQ(splitter.GetToken(0), "");
        splitter.Split("1.2,3;4.5,6;7\\8.9");
        splitter.Split(c.input);
        std::vector<std::string> tokens;
        for (int i = 0; i < splitter.m_arrTokens.GetSize(); ++i)
            tokens.push_back(std::string(splitter.GetToken(i)));
        EXPECT_EQ(tokens, c.tokens);
        for (int index : {-1, (int)c.tokens.size(), 1000, -1000})
            EXPECT_STREQ(splitter.GetToken(index), "") << index;
    }
}

}  // namespace
