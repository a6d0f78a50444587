"""What the installer must show on each simulated machine, box by box."""
import re
from dataclasses import dataclass, replace
from pathlib import Path

from winebox import ANSWER_FILE, SETUP_PACKAGE, Layout, RegValue


def load_texts() -> dict:
    """The boxes' exact texts, from the data file the unit tests read too."""
    texts = {}
    source = Path(__file__).resolve().parent.parent / "data" / "box_texts.txt"
    for line in source.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#") and ": " in line:
            name, text = line.split(": ", 1)
            texts[name] = re.sub(r"\\(.)", lambda m: "\n" if m[1] == "n" else m[1], text)
    return texts


TEXTS = load_texts()
PRODUCT = TEXTS["product"]
CAPTION = "DBSetup"
SETUP_TITLE = TEXTS["setup_title"] % PRODUCT


@dataclass(frozen=True)
class Box:
    text: str
    buttons: tuple = ("OK",)
    caption: str = CAPTION


@dataclass(frozen=True)
class Scenario:
    name: str
    prefix: str        # the Wine prefix: winebox.PREFIXES
    version: str       # Wine's name for the reported Windows version
    boxes: tuple       # every box, in order; empty: the program shows none
    answers: tuple = ()   # buttons to press, in order; afterwards OK, else Cancel
    registry: tuple = ()  # RegValue seeds, written after the test keys are removed
    layout: Layout = Layout()
    setup_started: bool | None = None  # whether the setup package must (not) have run
    restart: bool | None = None        # whether a restart must (not) have been requested
    icons: tuple = ()                  # the icon of each box, seen in a picture of it (slower)
    program: str | None = None         # a helper (in the tools folder) to run instead of DBSetup.exe
    planted_loaded: tuple | None = None  # which DLLs planted beside it must have been loaded


def os_too_old(os_name: str) -> Box:
    return Box(TEXTS["os_too_old"] % (os_name, PRODUCT))


def os_32bit(os_name: str) -> Box:
    return Box(TEXTS["os_32bit"] % (os_name, PRODUCT))


def already_installed(name: str) -> Box:
    return Box(TEXTS["already_installed"] % name, caption=SETUP_TITLE)


def upgrade_needed(name: str) -> Box:
    return Box(TEXTS["upgrade_needed"] % name, caption=SETUP_TITLE)


def restart_question(caption: str = CAPTION) -> Box:
    return Box(TEXTS["restart_question"], ("OK", "CANCEL"), caption)


def setup_command(folder: str) -> str:
    """The command line the installer in C:\\folder must start the setup package with, and show if it cannot."""
    return TEXTS["setup_command"] % (f"C:\\{folder}", f"C:\\{folder}")


# The setup package's command line: its copy in the installer's own folder in Windows' Temp, with our answer file.
STARTED_AS = re.compile(re.escape(TEXTS["setup_command"] % ("\0", "\0")).replace(
    "\0", r"(C:\\windows\\Temp\\DBSetup-[0-9A-F]{16})", 1).replace("\0", r"\1") + "$")


def launch_error(folder: str) -> Box:
    return Box(TEXTS["launch_error"] % setup_command(folder), caption=TEXTS["launch_error_caption"])


def package_refused(folder: str, reason: str) -> Box:
    """The refusal of the package in C:\\folder, for a reason: a refusal_error or refusal_signer text."""
    return Box(TEXTS["package_refused"] % (f"C:\\{folder}\\{SETUP_PACKAGE}", reason),
               caption=TEXTS["launch_error_caption"])


UNSIGNED = TEXTS["refusal_error"] % "0x800B0100"  # TRUST_E_NOSIGNATURE
OS_UNKNOWN = Box(TEXTS["os_unknown"] % PRODUCT)
INSTALL_FAILED = Box(TEXTS["install_failed"] % PRODUCT)

INSTANCE = r"HKLM\SOFTWARE\Microsoft\Microsoft SQL Server\VALTERNADB"
PATH_2017 = r"C:\Program Files\Microsoft SQL Server\MSSQL14.VALTERNADB\MSSQL"


def instance(view: int, version: str, path: str = PATH_2017) -> tuple:
    return (RegValue(view, INSTANCE + r"\Setup", "SQLPath", "REG_SZ", path),
            RegValue(view, INSTANCE + r"\MSSQLServer\CurrentVersion", "CurrentVersion", "REG_SZ", version))


PACKAGE = Layout(package=True)

# DLLs that Windows or Wine load into a program that shows message boxes once
# it runs, and the two that checking the setup package's signature loads,
# planted beside it, with Wine told to prefer the planted copies.
# Those that Wine's own system DLLs load while the program starts, before any
# code of its own runs (version, imm32, ucrtbase, sechost, zlib1, win32u),
# are left out: on Windows they are known DLLs or not loaded at all, and a
# planted copy there changes Wine's start-up itself, whatever the program does.
# So are ole32 and what it imports (combase, rpcrt4): Wine's imm32 delay-loads
# it by a search that ignores the process's DLL directories; on Windows all
# three are known DLLs.
PLANTED = ("uxtheme", "dwmapi", "cryptbase", "winmm", "comctl32", "msimg32", "oleaut32", "propsys", "shcore", "userenv", "profapi", "wtsapi32", "sspicli", "bcrypt", "msctf",
           "windowscodecs", "wintrust", "crypt32")
PLANTING = Layout(package=True, planted=PLANTED)

SCENARIOS = (
    # The OS gate, with nothing installed. Wine 8's "win7" reports the server
    # product type (its "win2008r2" the workstation one).
    Scenario("older_windows_refused", "win64", "win7", (os_too_old("Windows 7"),), layout=PACKAGE, setup_started=False,
             icons=("exclamation",)),
    Scenario("unknown_windows_refused", "win64", "nt40", (OS_UNKNOWN,), layout=PACKAGE, setup_started=False),
    # A program whose manifest lists no supported OS is told 6.2 on Windows 10.
    Scenario("windows_32bit_refused", "win32", "win10", (os_32bit("Windows 8"),)),

    # An engine already there ends the run before the OS gate; nothing is started.
    Scenario("instance_in_64bit_view_found", "win64", "win10", (already_installed("Microsoft SQL Server 2017"),),
             registry=instance(64, "14.0.1000.169"), layout=PACKAGE, setup_started=False,
             icons=("information",)),
    Scenario("instance_in_32bit_view_found", "win64", "win10", (already_installed("Microsoft SQL Server 2008"),),
             registry=instance(32, "10.0.1600.22"), layout=PACKAGE, setup_started=False),
    Scenario("msde_marker_needs_upgrade", "win64", "win10", (upgrade_needed("MSDE 2000"),),
             registry=instance(32, "8.00.194", r"C:\Program Files\Microsoft SQL Server\MSSQL$VALTERNADB"),
             layout=PACKAGE, setup_started=False),
    Scenario("legacy_key_needs_upgrade", "win64", "win10", (upgrade_needed("MSDE 7"),),
             registry=(RegValue(32, r"HKLM\SOFTWARE\Microsoft\MSSQLServer\Setup", "SQLPath", "REG_SZ",
                                r"C:\MSSQL7"),),
             layout=PACKAGE, setup_started=False, icons=("exclamation",)),
    Scenario("engine_found_before_os_check", "win64", "win7", (already_installed("Microsoft SQL Server 2017"),),
             registry=instance(64, "14.0.1000.169"), layout=PACKAGE, setup_started=False),
    # A later generation is not recognised: the run goes on to install.
    Scenario("later_generation_goes_on", "win64", "win10", (launch_error("Setup"), INSTALL_FAILED),
             registry=instance(64, "15.0.2000.5")),

    # The install stage.
    Scenario("install_ok_restart", "win64", "win10", (restart_question(),), answers=("OK",),
             layout=Layout(package=True, trace_processes=True), setup_started=True, restart=True),
    Scenario("install_ok_cancel", "win64", "win81", (restart_question(),), answers=("CANCEL",),
             layout=Layout(package=True, trace_processes=True), setup_started=True, restart=False,
             icons=("question",)),
    # An answer file beside it, edited to give the instance to every user, is not read: the package gets ours.
    Scenario("answer_file_beside_ignored", "win64", "win10", (restart_question(),), answers=("CANCEL",),
             layout=Layout(package=True, answer_file=ANSWER_FILE.replace(b"Administrators", b"Users")),
             setup_started=True),
    Scenario("setup_writes_nothing", "win64", "win10", (INSTALL_FAILED,),
             layout=Layout(package=True, env=(("DBSETUP_STANDIN_WRITE_NOTHING", "1"),)), setup_started=True,
             icons=("none",)),
    Scenario("no_setup_package", "win64", "win10", (launch_error("Setup"), INSTALL_FAILED), setup_started=False,
             icons=("exclamation", "none")),
    # A package without Microsoft's valid signature is refused and never started.
    Scenario("unsigned_package_refused", "win64", "win10", (package_refused("Setup", UNSIGNED), INSTALL_FAILED),
             layout=Layout(package=True, variant="unsigned"), setup_started=False, icons=("exclamation", "none")),
    Scenario("damaged_package_refused", "win64", "win10",
             (package_refused("Setup", TEXTS["refusal_error"] % "0x80096010"), INSTALL_FAILED),  # TRUST_E_BAD_DIGEST
             layout=Layout(package=True, variant="damaged"), setup_started=False),
    Scenario("other_signer_refused", "win64", "win10",
             (package_refused("Setup", TEXTS["refusal_signer"] % "DBSetup Test Publisher"), INSTALL_FAILED),
             layout=Layout(package=True, variant="other_signer"), setup_started=False),
    Scenario("setup_fails_but_registers", "win64", "win10", (restart_question(),), answers=("CANCEL",),
             layout=Layout(package=True, env=(("DBSETUP_STANDIN_EXIT_CODE", "1603"),)), setup_started=True),
    Scenario("setup_runs_3s", "win64", "win10", (restart_question(),), answers=("CANCEL",),
             layout=Layout(package=True, env=(("DBSETUP_STANDIN_DELAY_MS", "3000"),)), setup_started=True),
    Scenario("folder_spaces_japanese", "win64", "win10", (restart_question(),), answers=("CANCEL",),
             layout=Layout(folder="My Setup\\日本語 フォルダ", package=True), setup_started=True),
    # Planted DLLs: none is loaded into the installer, while the same planting gets one
    # loaded into the benchmark's one-box program, which does not restrict its DLL search.
    Scenario("dll_planting", "win64", "win10", (restart_question(),), answers=("CANCEL",),
             layout=PLANTING, setup_started=True, planted_loaded=()),
    Scenario("dll_planting_control", "win64", "win10", (Box("minimal", caption="minimal"),),
             layout=replace(PLANTING, exe_name="minimal_box.exe", package=False),
             program="../../win32/minimal_box.exe", planted_loaded=("uxtheme",)),
    # The bundle's program signed with a throwaway certificate (left in tests/signed
    # by the dist_sign test) installs as the unsigned one does.
    Scenario("signed_install_ok", "win64", "win10", (restart_question(),), answers=("CANCEL",),
             layout=PACKAGE, setup_started=True, program="../signed/dist/DBSetup.exe"),
    Scenario("exe_named_in_japanese", "win64", "win10", (restart_question("ソフト"),), answers=("CANCEL",),
             layout=Layout(exe_name="ソフト.exe", package=True), setup_started=True),
    # Best fit turns "¥" into '\\' and "é" into 'e' where an "A" call hands back a
    # path: a stand-in lies at each such reading of the folder, and none may run.
    Scenario("yen_folder_installs", "win64", "win10", (restart_question(),), answers=("CANCEL",),
             layout=Layout(folder="価格¥100\\a¥b", package=True, decoys=("価格\\100\\a\\b",)), setup_started=True),
    Scenario("accented_folder_installs", "win64", "win10", (restart_question(),), answers=("CANCEL",),
             layout=Layout(folder="Café\\Setup", package=True, decoys=("Cafe\\Setup",)), setup_started=True),
    Scenario("hangul_emoji_folder_installs", "win64", "win10", (restart_question(),), answers=("CANCEL",),
             layout=Layout(folder="한글\\😀", package=True), setup_started=True),
    Scenario("yen_folder_without_package", "win64", "win10", (launch_error("価格¥100\\a¥b"), INSTALL_FAILED),
             layout=Layout(folder="価格¥100\\a¥b", decoys=("価格\\100\\a\\b",)), setup_started=False),
    Scenario("yen_in_the_name", "win64", "win10", (restart_question("DB¥Setup"),), answers=("CANCEL",),
             layout=Layout(exe_name="DB¥Setup.exe", package=True), setup_started=True),
)


def in_code_page(prefix: str) -> tuple:
    """Where the ANSI code page is not 932: the same boxes word for word, and a Japanese folder installs."""
    folder = "日本語 フォルダ"
    return (
        Scenario(f"japanese_folder_installs_{prefix}", prefix, "win10", (restart_question(),), answers=("CANCEL",),
                 layout=Layout(folder=folder, package=True), setup_started=True, restart=False),
        Scenario(f"older_windows_refused_{prefix}", prefix, "win7", (os_too_old("Windows 7"),), layout=PACKAGE,
                 setup_started=False),
        Scenario(f"no_setup_package_{prefix}", prefix, "win10", (launch_error(folder), INSTALL_FAILED),
                 layout=Layout(folder=folder), setup_started=False),
        Scenario(f"instance_found_{prefix}", prefix, "win10", (already_installed("Microsoft SQL Server 2017"),),
                 registry=instance(64, "14.0.1000.169"), layout=PACKAGE, setup_started=False),
        Scenario(f"unsigned_package_refused_{prefix}", prefix, "win10",
                 (package_refused(folder, UNSIGNED), INSTALL_FAILED),
                 layout=Layout(folder=folder, package=True, variant="unsigned"), setup_started=False),
    )


SCENARIOS += sum(map(in_code_page, ("cp1252", "cp65001", "cp936")), ())

BY_NAME = {s.name: s for s in SCENARIOS}
