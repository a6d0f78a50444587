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
    boxes: tuple          # every box, in order; empty: the program shows none
    answers: tuple = ()   # buttons to press, in order; afterwards OK, else Cancel
    prefix: str = "win64"   # the Wine prefix: winebox.PREFIXES
    version: str = "win10"  # Wine's name for the reported Windows version
    registry: tuple = ()  # RegValue seeds, written after the test keys are removed
    layout: Layout = Layout()
    setup_started: bool = False  # whether the setup package must have run; else it must not have
    restart: bool = False        # whether a restart must have been requested; else it must not have
    icons: tuple = ()            # the icon of each box, seen in a picture of it (slower)
    program: str | None = None   # a helper (in the tools folder) to run instead of DBSetup.exe
    planted_loaded: tuple | None = None  # which DLLs planted beside it must have been loaded


def os_too_old(os_name: str) -> Box:
    return Box(TEXTS["os_too_old"] % (os_name, PRODUCT))


def already_installed(name: str) -> Box:
    return Box(TEXTS["already_installed"] % name, caption=SETUP_TITLE)


def upgrade_needed(name: str) -> Box:
    return Box(TEXTS["upgrade_needed"] % name, caption=SETUP_TITLE)


def restart_question(caption: str = CAPTION) -> Box:
    return Box(TEXTS["restart_question"], ("OK", "CANCEL"), caption)


# The setup package's command line: its copy in the installer's own folder in ProgramData, with our answer file.
STARTED_AS = re.compile(re.escape(TEXTS["setup_command"] % ("\0", "\0")).replace(
    "\0", r"((?i:C:\\ProgramData)\\DBSetup-[0-9A-F]{16})", 1).replace("\0", r"\1") + "$")


def launch_error(folder: str) -> Box:
    """The box of the installer in C:\\folder that cannot start the package, naming the command line it tried."""
    command = TEXTS["setup_command"] % (f"C:\\{folder}", f"C:\\{folder}")
    return Box(TEXTS["launch_error"] % command, caption=TEXTS["launch_error_caption"])


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


NO_PACKAGE = Layout(package=False)
CANCEL = ("CANCEL",)
PINNED = "../../win32-pinned/DBSetup.exe"

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
PLANTING = Layout(planted=PLANTED)

SCENARIOS = (
    # The OS gate, with nothing installed. Wine 8's "win7" reports the server
    # product type (its "win2008r2" the workstation one).
    Scenario("older_windows_refused", (os_too_old("Windows 7"),), version="win7", icons=("exclamation",)),
    Scenario("unknown_windows_refused", (OS_UNKNOWN,), version="nt40"),
    # A program whose manifest lists no supported OS is told 6.2 on Windows 10.
    Scenario("windows_32bit_refused", (Box(TEXTS["os_32bit"] % ("Windows 8", PRODUCT)),), prefix="win32"),

    # An engine already there ends the run, even before the OS gate; nothing is started.
    Scenario("instance_in_64bit_view_found_before_os_check", (already_installed("Microsoft SQL Server 2017"),),
             version="win7", registry=instance(64, "14.0.1000.169"), icons=("information",)),
    Scenario("instance_in_32bit_view_found", (already_installed("Microsoft SQL Server 2008"),),
             registry=instance(32, "10.0.1600.22")),
    Scenario("msde_marker_needs_upgrade", (upgrade_needed("MSDE 2000"),),
             registry=instance(32, "8.00.194", r"C:\Program Files\Microsoft SQL Server\MSSQL$VALTERNADB")),
    Scenario("legacy_key_needs_upgrade", (upgrade_needed("MSDE 7"),), icons=("exclamation",),
             registry=(RegValue(32, r"HKLM\SOFTWARE\Microsoft\MSSQLServer\Setup", "SQLPath", "REG_SZ", r"C:\MSSQL7"),)),
    # A later generation is not recognised: the run goes on to install.
    Scenario("later_generation_goes_on", (restart_question(),), CANCEL, registry=instance(64, "15.0.2000.5"),
             setup_started=True),

    # The install stage.
    Scenario("install_ok_restart", (restart_question(),), ("OK",), setup_started=True, restart=True),
    # An answer file beside it, edited to give the instance to every user, is not read: the package gets ours.
    Scenario("install_ok_cancel", (restart_question(),), CANCEL, version="win81", setup_started=True,
             layout=Layout(answer_file=ANSWER_FILE.replace(b"Administrators", b"Users")), icons=("question",)),
    Scenario("setup_writes_nothing", (INSTALL_FAILED,), setup_started=True, icons=("none",),
             layout=Layout(env=(("DBSETUP_STANDIN_WRITE_NOTHING", "1"),))),
    # The package's exit code is not its verdict, and the installer waits as long as it runs.
    Scenario("slow_setup_fails_but_registers", (restart_question(),), CANCEL, setup_started=True,
             layout=Layout(env=(("DBSETUP_STANDIN_EXIT_CODE", "1603"), ("DBSETUP_STANDIN_DELAY_MS", "3000")))),
    # A package that unpacks beside itself, not in its current folder: its copy lies outside the Windows folder.
    Scenario("setup_unpacks_beside_itself", (restart_question(),), CANCEL, setup_started=True,
             layout=Layout(env=(("DBSETUP_STANDIN_UNPACK_BESIDE", "1"),))),
    Scenario("no_setup_package", (launch_error("Setup"), INSTALL_FAILED), layout=NO_PACKAGE,
             icons=("exclamation", "none")),
    # A package without Microsoft's valid signature is refused and never started.
    Scenario("unsigned_package_refused", (package_refused("Setup", UNSIGNED), INSTALL_FAILED),
             layout=Layout(variant="unsigned"), icons=("exclamation", "none")),
    Scenario("damaged_package_refused",
             (package_refused("Setup", TEXTS["refusal_error"] % "0x80096010"), INSTALL_FAILED),  # TRUST_E_BAD_DIGEST
             layout=Layout(variant="damaged")),
    Scenario("other_signer_refused",
             (package_refused("Setup", TEXTS["refusal_signer"] % "DBSetup Test Publisher"), INSTALL_FAILED),
             layout=Layout(variant="other_signer")),
    # Planted DLLs: none is loaded into the installer, while the same planting gets one
    # loaded into the benchmark's one-box program, which does not restrict its DLL search.
    Scenario("dll_planting", (restart_question(),), CANCEL, layout=PLANTING, setup_started=True, planted_loaded=()),
    Scenario("dll_planting_control", (Box("minimal", caption="minimal"),), planted_loaded=("uxtheme",),
             layout=replace(PLANTING, exe_name="minimal_box.exe", package=False),
             program="../../win32/minimal_box.exe"),
    # The bundle's program signed with a throwaway certificate (left in tests/signed
    # by the dist_sign test) installs as the unsigned one does.
    Scenario("signed_install_ok", (restart_question(),), CANCEL, setup_started=True,
             program="../signed/dist/DBSetup.exe"),
    # Built for media that ship the signed stand-in, pinned by its hash: it installs that one and refuses
    # another signed the same way, as a file changed since signing (TRUST_E_BAD_DIGEST).
    Scenario("pinned_install_ok", (restart_question(),), CANCEL, setup_started=True, program=PINNED),
    Scenario("pinned_other_package_refused", (package_refused("Setup", TEXTS["refusal_error"] % "0x80096010"),
                                              INSTALL_FAILED), program=PINNED, layout=Layout(variant="other_build")),
    # The box's caption is the program's name: cut after its last true backslash, not
    # at the trail byte 0x5C of "ソ" nor at the "¥" that best fit turns into one.
    Scenario("exe_named_in_japanese_with_yen", (restart_question("ソフト¥Setup"),), CANCEL, setup_started=True,
             layout=Layout(exe_name="ソフト¥Setup.exe")),
    # Best fit turns "¥" into '\\' and "é" into 'e' where an "A" call hands back a
    # path: an unsigned stand-in lies at that reading of the folder, and would be refused.
    Scenario("yen_accented_folder_installs", (restart_question(),), CANCEL, setup_started=True,
             layout=Layout(folder="My Café\\価格¥100\\a¥b", decoys=("My Cafe\\価格\\100\\a\\b",))),
    Scenario("hangul_emoji_folder_installs", (restart_question(),), CANCEL, setup_started=True,
             layout=Layout(folder="한글\\😀")),
    Scenario("yen_folder_without_package", (launch_error("価格¥100\\a¥b"), INSTALL_FAILED),
             layout=Layout(folder="価格¥100\\a¥b", package=False, decoys=("価格\\100\\a\\b",))),
)


def in_code_page(prefix: str) -> tuple:
    """Where the ANSI code page is not 932: the same boxes word for word, and a Japanese folder installs."""
    folder = "日本語 フォルダ"
    return (
        Scenario(f"japanese_folder_installs_{prefix}", (restart_question(),), CANCEL, prefix=prefix,
                 layout=Layout(folder=folder), setup_started=True),
        Scenario(f"older_windows_refused_{prefix}", (os_too_old("Windows 7"),), prefix=prefix, version="win7"),
        Scenario(f"no_setup_package_{prefix}", (launch_error(folder), INSTALL_FAILED), prefix=prefix,
                 layout=Layout(folder=folder, package=False)),
        Scenario(f"instance_found_{prefix}", (already_installed("Microsoft SQL Server 2017"),), prefix=prefix,
                 registry=instance(64, "14.0.1000.169")),
        Scenario(f"unsigned_package_refused_{prefix}", (package_refused(folder, UNSIGNED), INSTALL_FAILED),
                 prefix=prefix, layout=Layout(folder=folder, variant="unsigned")),
    )


SCENARIOS += sum(map(in_code_page, ("cp1252", "cp65001", "cp936")), ())

BY_NAME = {s.name: s for s in SCENARIOS}
