#include "machine.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "state.h"

namespace winsim {

std::string KeyId(RegView view, const std::string& path)
{
    return std::string(view == RegView::NATIVE ? "N|" : "W|") + UpperName(path);
}

Machine& machine()
{
    static Machine instance;
    return instance;
}

void Reset()
{
    machine() = Machine();
    machine().folders[u"C:"], machine().folders[u"C:\\PROGRAMDATA"];
    machine().SetWideString(RegView::NATIVE, kProfileList, "ProgramData", u"%SystemDrive%\\ProgramData");
    ResetKernelObjects();
}

RegKey& Machine::Key(RegView view, const std::string& path)
{
    return keys[KeyId(is64BitWindows ? view : RegView::NATIVE, path)];
}

void Machine::SetBytes(RegView view, const std::string& path, const std::string& name, const std::string& bytes)
{
    Key(view, path).values[UpperName(name)] = bytes;
}

void Machine::SetString(RegView view, const std::string& path, const std::string& name, const std::string& text)
{
    SetBytes(view, path, name, text + std::string(1, '\0'));
}

void Machine::SetWideString(RegView view, const std::string& path, const std::string& name, const std::u16string& text)
{
    SetBytes(view, path, name, std::string((const char*)text.c_str(), (text.size() + 1) * sizeof(char16_t)));
}

void Machine::AddExecutable(const std::u16string& path, const ProcessScript& script)
{
    std::string bytes = "MZ image " + std::to_string(images.size());
    bytes.resize(2 * 1024 * 1024 + 3, '\x90');
    images[bytes] = script;
    AddFile(path, bytes);
}

void Machine::AddFile(const std::u16string& path, const std::string& bytes, DWORD attributes)
{
    files[UpperName(path)] = File{std::make_shared<std::string>(bytes), attributes};
}

std::string Machine::BytesOf(const std::u16string& path) const
{
    const auto found = files.find(UpperName(path));
    return found != files.end() ? *found->second.bytes : std::string();
}

const ProcessScript* Machine::ImageAt(const std::u16string& path) const
{
    const auto found = images.find(BytesOf(path));
    return found != images.end() ? &found->second : NULL;
}

std::vector<std::string> Machine::ArgsOf(const std::string& function) const
{
    std::vector<std::string> args;
    for (const ApiCall& call : calls) {
        if (call.function == function)
            args.push_back(call.args);
    }
    return args;
}

size_t Machine::FoldersMade() const
{
    return std::count_if(folders.begin(), folders.end(), [this](const auto& f) {
        return !f.second.sddl.empty() &&
               std::find(removedAtRestart.begin(), removedAtRestart.end(), f.first) == removedAtRestart.end();
    });
}

}  // namespace winsim
