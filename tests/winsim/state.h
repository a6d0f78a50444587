// What the simulated API files share: the call log and the kernel objects.
#pragma once

#include <string>

#include "machine.h"

namespace winsim {

std::string KeyId(RegView view, const std::string& path);
// ASCII letters in upper case, as Windows compares names.
template <class Char>
std::basic_string<Char> UpperName(std::basic_string<Char> text)
{
    for (auto& c : text) {
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    }
    return text;
}

std::string FormatList(const char* format, va_list args);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* function, const std::string& args);
void Fault(const std::string& what);

enum class ObjectKind { PROCESS, THREAD, TOKEN, REGKEY, FILE, MODULE, TRUST_STATE, SEARCH, LOCAL, CRYPT_PROV, CRYPT_HASH };

struct KernelObject {
    explicit KernelObject(ObjectKind objectKind) : kind(objectKind) {}

    ObjectKind kind;
    size_t process = 0;  // PROCESS, THREAD: index into the started processes; TRUST_STATE: its record
    DWORD access = 0;    // TOKEN, REGKEY, FILE: rights granted
    DWORD share = 0;     // FILE
    RegView view = RegView::NATIVE;  // REGKEY
    std::string path;                // REGKEY; FILE, MODULE: upper-case, in UTF-8
    std::shared_ptr<std::string> bytes;  // FILE: what it reads and writes; CRYPT_HASH: what it was given
    size_t position = 0;                 // FILE
    std::vector<std::pair<std::u16string, DWORD>> entries;  // SEARCH: names and attributes yet to give
    std::u16string text;                 // LOCAL: a descriptor, by the SDDL it was made from
};

HANDLE NewObject(const KernelObject& object);
// NULL unless handle is an open object of that kind.
KernelObject* FindObject(HANDLE handle, ObjectKind kind);
bool CloseObject(HANDLE handle, ObjectKind kind);
std::string HandleName(HANDLE handle);
void SetLastErrorCode(DWORD error);
// Whether another program could now open path for writing, deleting or renaming.
bool WritableByOthers(const std::u16string& path);
// Whether an open of the file at upper with access and share fits every open of it held now.
bool CanOpen(const std::u16string& upper, DWORD access, DWORD share);
// A path as the machine keys it: upper case, without "\\?\".
std::u16string Key(const std::u16string& path);

// Moves simulated time forward, ending processes and delivering messages.
void AdvanceTo(DWORD ms);

void ResetKernelObjects();

}  // namespace winsim
