// The checks on the simulated Windows, once per way of cutting a module path and per ANSI code page; the
// machine is seeded directly.
#include "conformance.h"
#include "machine.h"
#include "state.h"

using namespace winsim;

static RegView ViewOf(bool view64) { return view64 || !machine().is64BitWindows ? RegView::NATIVE : RegView::WOW32; }

bool PlatformSeedKey(bool view64, const char* path, const SeedValue* values, int count, bool queryOnly)
{
    for (int i = 0; i < count; ++i)
        machine().SetBytes(ViewOf(view64), path, values[i].name, std::string(values[i].data, values[i].size));
    if (queryOnly)
        machine().Key(ViewOf(view64), path).allowedAccess = KEY_QUERY_VALUE;
    return true;
}

void PlatformDropKey(bool view64, const char* path) { machine().keys.erase(KeyId(ViewOf(view64), path)); }
void PlatformArrangeChild(const WCHAR* modulePath, bool unpacker)
{
    const auto unpack = [] { machine().AddFile(machine().processes.back().currentFolder + u"\\cwd.txt", ""); };
    machine().AddExecutable(modulePath, unpacker ? ProcessScript{0, 0, unpack, {}} : ProcessScript{1000, 259, {}, {}});
}
void PlatformPostToSelf(UINT message) { machine().incoming.push_back({machine().nowMs, message}); }
void PlatformShowBox(bool wide, const void* text, const void* caption, WCHAR* shownText, WCHAR* shownCaption, int size)
{
    if (wide)
        MessageBoxW(NULL, (const WCHAR*)text, (const WCHAR*)caption, MB_OK);
    else
        MessageBoxA(NULL, (const char*)text, (const char*)caption, MB_OK);
    const std::u16string shown[] = {Utf16(machine().boxes.back().text), Utf16(machine().boxes.back().caption)};
    WCHAR* const out[] = {shownText, shownCaption};
    for (int i = 0; i < 2; ++i)
        out[i][shown[i].copy(out[i], size - 1)] = 0;
}

// The files the Wine runs lay out beside us; a throwaway root passes in Wine's model, not in Windows's.
static void ArrangePackageFiles(bool asWine)
{
    const std::u16string folder = u"C:\\表ソa能 表b¥é한";
    const LONG root = asWine ? ERROR_SUCCESS : CERT_E_UNTRUSTEDROOT;
    const struct { const char16_t* name; Signature signature; } files[] = {
        {u"unsigned.exe", {TRUST_E_NOSIGNATURE, TRUST_E_NOSIGNATURE, u""}},
        {u"tampered.exe", {TRUST_E_BAD_DIGEST, TRUST_E_BAD_DIGEST}},
        {u"signed.exe", {root, root}}};
    for (const auto& file : files)
        machine().AddExecutable(folder + u"\\" + file.name, ProcessScript{0, 0, {}, file.signature});
    machine().folders[UpperName(folder)];
    machine().folders[UpperName(folder) + u"\\LINK"].link = true;
}

DWORD PlatformNowMs() { return machine().nowMs; }
bool PlatformReadsBack(PSECURITY_DESCRIPTOR, const WCHAR*) { return true; }
bool PlatformKeepsAccessList(const WCHAR* folder) { return !machine().folders[Key(folder)].sddl.empty(); }
const char* PlatformWineVersion() { return NULL; }

int main()
{
    const struct { PathCut cut; CutModel model; bool win64; UINT codePage; const char* label; } runs[] = {
        {PathCut::VISTA, CUT_VISTA, true, 932, "host, Vista model, 64-bit Windows"},
        {PathCut::XP, CUT_XP, false, 932, "host, XP model, 32-bit Windows"},
        {PathCut::XP, CUT_XP, true, 1252, "host, XP model, 64-bit Windows"},
        {PathCut::XP, CUT_XP, true, CP_UTF8, "host, XP model, 64-bit Windows"}};
    for (const auto& run : runs) {
        Reset();
        machine().modulePathCut = run.cut;
        machine().is64BitWindows = run.win64;
        machine().ansiCodePage = run.codePage;
        machine().modulePath = u"C:\\表ソa能 表b¥é한\\conformance.exe";  // the folder of the Wine runs
        ArrangePackageFiles(run.cut == PathCut::XP);
        RunConformance(run.model, run.label);
        const std::string seen = Format("%d handles and keys left open; misuse noticed: %s",
                                        machine().OpenHandleCount(),
                                        machine().faults.empty() ? "none" : machine().faults[0].c_str());
        PlatformOnlyCheck(machine().OpenHandleCount() == 0 && machine().faults.empty(), run.label, seen.c_str());
    }
    return FinishConformance();
}
