#include "box_texts.h"

#include <iconv.h>

#include <fstream>
#include <map>
#include <stdexcept>

namespace {

// The product's literals are Shift_JIS in this build, as on Windows.
std::string ToCodePage932(const std::string& utf8)
{
    iconv_t converter = iconv_open("CP932", "UTF-8");
    std::string out(utf8.size() * 2 + 1, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* outPtr = &out[0];
    size_t outLeft = out.size();
    const size_t converted = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (converted == (size_t)-1)
        throw std::runtime_error("not convertible to code page 932: " + utf8);
    out.resize(out.size() - outLeft);
    return out;
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            out += text[i] == 'n' ? '\n' : text[i];
        } else {
            out += text[i];
        }
    }
    return out;
}

const std::map<std::string, std::string>& Texts()
{
    static const std::map<std::string, std::string> texts = [] {
        std::map<std::string, std::string> loaded;
        std::ifstream file(DBSETUP_BOX_TEXTS);
        if (!file)
            throw std::runtime_error("cannot read " DBSETUP_BOX_TEXTS);
        for (std::string line; std::getline(file, line);) {
            const size_t colon = line.find(": ");
            if (line.empty() || line[0] == '#' || colon == std::string::npos)
                continue;
            loaded[line.substr(0, colon)] = ToCodePage932(Unescape(line.substr(colon + 2)));
        }
        return loaded;
    }();
    return texts;
}

}  // namespace

std::string BoxText(const std::string& name, const std::vector<std::string>& fills)
{
    const auto found = Texts().find(name);
    if (found == Texts().end())
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
