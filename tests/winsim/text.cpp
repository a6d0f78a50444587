// Code pages: the ANSI code page's lead bytes, and text between code pages and UTF-16.
#include <iconv.h>
#include <string.h>

#include "state.h"

namespace winsim {

namespace {

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

std::u16string Units(const std::string& bytes)
{
    return std::u16string((const char16_t*)bytes.data(), bytes.size() / 2);
}

// What a conversion returns: the units it wrote into out, or with size 0 the
// units it needs; 0 (ERROR_INSUFFICIENT_BUFFER) where they do not fit.
template <class Unit>
int Deliver(const std::basic_string<Unit>& converted, Unit* out, int size)
{
    const int needed = (int)converted.size();
    if (size != 0 && needed > size)
        return 0;
    if (size != 0)
        memcpy(out, converted.data(), converted.size() * sizeof(Unit));
    return needed;
}

bool Simulated(UINT codePage)
{
    return codePage == 932 || codePage == 1252;
}

// The form of one UTF-16 unit in the ANSI code page, if it has one of its own.
bool ExactForm(char16_t unit, std::string& form)
{
    const std::string name = "CP" + std::to_string(machine().ansiCodePage), bytes = Bytes(std::u16string(1, unit));
    std::string back;
    // iconv knows best fits of its own (U+00A5 to 0x5C in 932): only a round trip is exact.
    return (unit < 0xD800 || unit > 0xDFFF) && Convert(name, "UTF-16LE", bytes, form) &&
           Convert("UTF-16LE", name, form, back) && back == bytes;
}

}  // namespace

std::u16string Decode(const std::string& bytes, UINT codePage)
{
    std::string units;
    if (codePage == 932 && !Convert("UTF-16LE", "CP932", bytes, units))
        Fault("bytes that are not code page 932 text: their conversion is not simulated");
    for (unsigned char byte : codePage == 1252 ? bytes : std::string()) {
        std::string unit;
        // The five bytes that code page 1252 leaves out become the control characters of their number.
        if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D)
            unit = Bytes(std::u16string(1, (char16_t)byte));
        else
            Convert("UTF-16LE", "CP1252", std::string(1, (char)byte), unit);
        units += unit;
    }
    if (!Simulated(codePage))
        Fault("text in code page " + std::to_string(codePage) + " is not simulated");
    return Units(units);
}

std::string Utf8(const std::u16string& text)
{
    std::string utf8;
    Convert("UTF-8", "UTF-16LE", Bytes(text), utf8);
    return utf8;
}

std::u16string Utf16(const std::string& utf8)
{
    std::string units;
    Convert("UTF-16LE", "UTF-8", utf8, units);
    return Units(units);
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
        UINT maxCharSize;
        BYTE leadBytes[4];
    };
    static const CodePage kCodePages[] = {
        {932, 2, {0x81, 0x9F, 0xE0, 0xFC}},
        {1252, 1, {0, 0, 0, 0}},
        {CP_UTF8, 4, {0, 0, 0, 0}},  // no lead bytes: sequences are up to 4 bytes long
    };
    // Every Windows has the table of its own ANSI code page.
    if (codePage != machine().ansiCodePage || (codePage == 932 && !machine().hasCodePage932))
        Fault(Format("GetCPInfo(%u): only the ANSI code page of a Windows that has its table is simulated", codePage));
    for (const CodePage& known : kCodePages) {
        if (known.id != codePage)
            continue;
        memset(info, 0, sizeof(*info));
        info->MaxCharSize = known.maxCharSize;
        info->DefaultChar[0] = '?';
        memcpy(info->LeadByte, known.leadBytes, sizeof(known.leadBytes));
        return TRUE;
    }
    return FALSE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out, int size)
{
    // With length -1 the terminator is converted too.
    const std::string bytes(text, length < 0 ? strlen(text) + 1 : (size_t)length);
    const std::string args = Format("%u, 0x%x, %d, %d", codePage, (unsigned)flags, length, size);
    if (codePage != 932 || flags != 0)
        Fault("MultiByteToWideChar " + args + ": only code page 932 without flags is simulated");
    if (!machine().hasCodePage932)
        return 0;  // with ERROR_INVALID_PARAMETER
    return Deliver(Decode(bytes, 932), out, size);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out, int size,
                        LPCSTR defaultChar, PBOOL usedDefault)
{
    Machine& m = machine();
    const std::u16string wide(text, length < 0 ? std::char_traits<char16_t>::length(text) + 1 : (size_t)length);
    const std::string args = Format("%u, 0x%x, %s, %d, %d", codePage, (unsigned)flags, Utf8(wide).c_str(), length, size);
    // Windows refuses the flag for code page 65001, Wine takes it; we convert only
    // where code page 932 has no table, which a Windows with that option has.
    if ((codePage != CP_ACP && codePage != m.ansiCodePage) || flags != WC_NO_BEST_FIT_CHARS || defaultChar != NULL ||
        !Simulated(m.ansiCodePage))
        Fault("WideCharToMultiByte " + args + ": only code pages 932 and 1252 without best fit are simulated");
    // Exact forms, and the default character '?' for a unit without one: never a best fit.
    std::string bytes, form;
    bool defaulted = false;
    for (char16_t unit : wide) {
        const bool exact = ExactForm(unit, form);
        bytes += exact ? form : "?";
        defaulted |= !exact;
    }
    if (usedDefault != NULL)
        *usedDefault = defaulted ? TRUE : FALSE;
    return Deliver(bytes, out, size);
}
