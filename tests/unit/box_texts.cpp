#include "box_texts.h"

#include <iconv.h>

#include <fstream>
#include <map>
#include <stdexcept>

namespace {

// "name: text" lines, unescaped.
std::map<std::string, std::string> Load()
{
    std::map<std::string, std::string> texts;
    std::ifstream file(DBSETUP_BOX_TEXTS);
    for (std::string line; std::getline(file, line);) {
        const size_t colon = line.find(": ");
        if (line.empty() || line[0] == '#' || colon == std::string::npos)
            continue;
        std::string text;
        for (size_t i = colon + 2; i < line.size(); ++i)
            text += line[i] == '\\' && i + 1 < line.size() ? (line[++i] == 'n' ? '\n' : line[i]) : line[i];
        Cp932(text);  // every text must have a form there
        texts[line.substr(0, colon)] = text;
    }
    if (texts.empty())
        throw std::runtime_error("no texts in " DBSETUP_BOX_TEXTS);
    return texts;
}

}  // namespace

std::string BoxText(const std::string& name, const std::vector<std::string>& fills)
{
    static const std::map<std::string, std::string> texts = Load();
    const auto found = texts.find(name);
    if (found == texts.end())
        throw std::runtime_error("no box text called " + name);
    std::string text = found->second;
    size_t at = 0;
    for (const std::string& fill : fills) {
        at = text.find("%s", at);
        if (at == std::string::npos)
            throw std::runtime_error("more fills than places in " + name);
        text.replace(at, 2, fill);
        at += fill.size();
    }
    return text;
}

std::string Cp932(const std::string& utf8)
{
    std::string text(utf8.size(), '\0');  // code page 932 never takes more bytes than UTF-8
    char* in = const_cast<char*>(utf8.data());
    char* out = &text[0];
    size_t inLeft = utf8.size(), outLeft = text.size();
    iconv_t toCodePage932 = iconv_open("CP932", "UTF-8");
    const bool done = iconv(toCodePage932, &in, &inLeft, &out, &outLeft) != (size_t)-1;
    iconv_close(toCodePage932);
    if (!done)
        throw std::runtime_error("not in code page 932: " + utf8);
    return text.substr(0, text.size() - outLeft);
}
