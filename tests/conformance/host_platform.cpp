// The checks on the simulated Windows, once per way of cutting a module path; the machine is seeded directly.
#include "conformance.h"
#include "machine.h"
#include "state.h"

using namespace winsim;

static RegView ViewOf(bool view64) { return view64 || !machine().is64BitWindows ? RegView::NATIVE : RegView::WOW32; }

bool PlatformSeedKey(bool view64, const char* path, const SeedValue* values, int count, bool queryOnly)
{
    for (int i = 0; i < count; ++i)
        machine().SetBytes(ViewOf(view64), path, values[i].name, std::string(values[i].data, values[i].size),
                           values[i].type);
    if (queryOnly)
        machine().Key(ViewOf(view64), path).allowedAccess = KEY_QUERY_VALUE;
    return true;
}

void PlatformDropKey(bool view64, const char* path) { machine().keys.erase(KeyId(ViewOf(view64), path)); }
void PlatformArrangeChild(const WCHAR* modulePath) { machine().AddExecutable(modulePath, ProcessScript{1000, 259, {}}); }
void PlatformPostToSelf(UINT message) { machine().incoming.push_back({machine().nowMs, message, QS_POSTMESSAGE}); }
DWORD PlatformNowMs() { return machine().nowMs; }
const char* PlatformWineVersion() { return NULL; }

int main()
{
    const struct { PathCut cut; CutModel model; bool win64; const char* label; } runs[] = {
        {PathCut::VISTA, CUT_VISTA, true, "host, Vista model, 64-bit Windows"},
        {PathCut::XP, CUT_XP, false, "host, XP model, 32-bit Windows"},
        {PathCut::WINE, CUT_WINE, true, "host, Wine model, 64-bit Windows"},
        {PathCut::WINE, CUT_WINE, false, "host, Wine model, 32-bit Windows"}};
    for (const auto& run : runs) {
        Reset();
        machine().modulePathCut = run.cut;
        machine().is64BitWindows = run.win64;
        machine().modulePath = u"C:\\表ソa能 表b¥é한\\conformance.exe";  // the folder of the Wine runs
        RunConformance(run.model, run.label);
        const std::string seen = Format("%d handles and keys left open; misuse noticed: %s",
                                        machine().OpenHandleCount(),
                                        machine().faults.empty() ? "none" : machine().faults[0].c_str());
        PlatformOnlyCheck(machine().OpenHandleCount() == 0 && machine().faults.empty(), run.label, seen.c_str());
    }
    return FinishConformance();
}
