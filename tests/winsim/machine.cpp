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
    ResetKernelObjects();
    ResetQueue();
}

RegKey& Machine::Key(RegView view, const std::string& path)
{
    return keys[KeyId(is64BitWindows ? view : RegView::NATIVE, path)];
}

void Machine::SetBytes(RegView view, const std::string& path, const std::string& name,
                       const std::string& bytes, DWORD type)
{
    Key(view, path).values[UpperName(name)] = RegValue{type, bytes};
}

void Machine::SetString(RegView view, const std::string& path, const std::string& name,
                        const std::string& text, DWORD type)
{
    SetBytes(view, path, name, text + std::string(1, '\0'), type);
}

void Machine::AddExecutable(const std::u16string& path, const ProcessScript& script)
{
    executables[UpperName(path)] = script;
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

int Machine::OpenHandleCount() const
{
    return OpenKernelObjectCount();
}

}  // namespace winsim
