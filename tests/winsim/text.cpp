// Code pages: the ANSI code page's lead bytes, and text between it and UTF-16.
#include <iconv.h>
#include <string.h>

#include <map>

#include "state.h"

namespace winsim {

namespace {

// Wine's best fit in code page 932 for U+00A0 to U+00FF, one character each:
// '=' has a form of its own, '?' none, '#' a double-byte one (not simulated).
// Seen under Wine, where U+0100 to U+017F, Hangul and surrogates all become '?'.
const char kLatin1BestFit[] =
    "?!##?\\|==ca##-R#==23=#=##1o#????AAAAAAACEEEEIIIIDNOOOOO=OUUUUYTsaaaaaaaceeeeiiiidnooooo=ouuuuyty";

std::string CodePageName()
{
    return "CP" + std::to_string(machine().ansiCodePage);
}

// bytes from one encoding to another; false where a character has no form.
bool Convert(const std::string& to, const std::string& from, const std::string& bytes, std::string& out)
{
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    out.assign(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    char* at = &out[0];
    size_t inLeft = bytes.size(), outLeft = out.size();
    const bool done = iconv(cd, &in, &inLeft, &at, &outLeft) != (size_t)-1;
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return done;
}

std::string Bytes(const std::u16string& text)
{
    return std::string((const char*)text.data(), text.size() * 2);
}

// The form of one UTF-16 unit in the ANSI code page, if it has one of its own.
bool ExactForm(char16_t unit, std::string& form)
{
    static std::map<std::pair<UINT, char16_t>, std::pair<bool, std::string>> known;
    auto found = known.find({machine().ansiCodePage, unit});
    if (found == known.end()) {
        std::string bytes, back;
        // iconv knows best fits of its own (U+00A5 to 0x5C): only a round trip is exact.
        const bool exact = (unit < 0xD800 || unit > 0xDFFF) &&
                           Convert(CodePageName(), "UTF-16LE", Bytes(std::u16string(1, unit)), bytes) &&
                           Convert("UTF-16LE", CodePageName(), bytes, back) && back == Bytes(std::u16string(1, unit));
        found = known.emplace(std::make_pair(machine().ansiCodePage, unit), std::make_pair(exact, bytes)).first;
    }
    form = found->second.second;
    return found->second.first;
}

}  // namespace

std::u16string Unicode(const std::string& ansi)
{
    std::string bytes;
    Convert("UTF-16LE", CodePageName(), ansi, bytes);
    return std::u16string((const char16_t*)bytes.data(), bytes.size() / 2);
}

std::string Utf8(const std::u16string& text)
{
    std::string utf8;
    Convert("UTF-8", "UTF-16LE", Bytes(text), utf8);
    return utf8;
}

std::u16string BestFit(const std::u16string& path)
{
    return Unicode(Narrow(path, true));
}

std::string Narrow(const std::u16string& text, bool bestFit, bool* usedDefault)
{
    std::string out, form;
    bool defaulted = false;
    for (char16_t unit : text) {
        const bool latin1 = bestFit && machine().ansiCodePage == 932 && unit >= 0xA0 && unit <= 0xFF;
        const char fit = latin1 ? kLatin1BestFit[unit - 0xA0] : '?';
        if (ExactForm(unit, form))
            out += form;
        else if (fit == '#')
            Fault(Format("the best fit of U+%04X is not simulated", (unsigned)unit));
        else
            out += fit, defaulted |= fit == '?';
    }
    if (usedDefault != nullptr)
        *usedDefault = defaulted;
    return out;
}

}  // namespace winsim

using namespace winsim;

UINT GetACP()
{
    return machine().ansiCodePage;
}

BOOL GetCPInfo(UINT codePage, LPCPINFO info)
{
    struct CodePage {
        UINT id;
        BYTE leadBytes[4];
    };
    static const CodePage kCodePages[] = {
        {932, {0x81, 0x9F, 0xE0, 0xFC}},
        {1252, {0, 0, 0, 0}},
    };
    if (codePage == CP_ACP)
        codePage = machine().ansiCodePage;
    for (const CodePage& known : kCodePages) {
        if (known.id != codePage)
            continue;
        memset(info, 0, sizeof(*info));
        info->MaxCharSize = known.leadBytes[0] != 0 ? 2 : 1;
        info->DefaultChar[0] = '?';
        memcpy(info->LeadByte, known.leadBytes, sizeof(known.leadBytes));
        return TRUE;
    }
    return FALSE;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out, int size,
                        LPCSTR defaultChar, PBOOL usedDefault)
{
    // With length -1 the terminator is converted too.
    const std::u16string wide(text, length < 0 ? std::char_traits<char16_t>::length(text) + 1 : (size_t)length);
    const std::string args = Format("%u, 0x%x, %s, %d, %d", codePage, (unsigned)flags, Utf8(wide).c_str(), length, size);
    if ((codePage != CP_ACP && codePage != machine().ansiCodePage) || flags != WC_NO_BEST_FIT_CHARS ||
        defaultChar != NULL)
        Fault("WideCharToMultiByte " + args + ": only the ANSI code page without best fit is simulated");
    bool defaulted = false;
    const std::string bytes = Narrow(wide, false, &defaulted);
    if (usedDefault != NULL)
        *usedDefault = defaulted ? TRUE : FALSE;
    int result = (int)bytes.size();
    if (size != 0 && result > size)
        result = 0;  // ERROR_INSUFFICIENT_BUFFER
    else if (size != 0)
        memcpy(out, bytes.data(), bytes.size());
    Log("WideCharToMultiByte", args, Format("%d%s", result, defaulted ? " used default" : ""));
    return result;
}
