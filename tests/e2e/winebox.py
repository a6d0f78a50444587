"""Runs a Windows program in a Wine prefix and collects its message boxes.

Every wine call gets /dev/null as input and files as output: Wine's background
services inherit the caller's descriptors and would keep a pipe open forever.
"""
import json
import os
import select
import shutil
import subprocess
import time
from contextlib import contextmanager
from dataclasses import dataclass, field
from pathlib import Path

from icons import icon_kind

WINE_CALL_TIMEOUT = 120
# boxreader gives up after 120 s by itself; this only catches a hung Wine.
BOXREADER_TIMEOUT = 180
XVFB_START_TIMEOUT = 20

# Keys the installer reads or writes; removed before each run so runs do not
# see each other's leftovers.
TEST_KEYS = (
    r"HKLM\SOFTWARE\Microsoft\Microsoft SQL Server\VALTERNADB",
    r"HKLM\SOFTWARE\Microsoft\MSSQLServer",
)

# Each prefix: Wine's architecture, and the Unix locale, whose language sets
# the ANSI code page. Wine rewrites its locale keys when a prefix's language
# changes, so each language has its own prefix.
PREFIXES = {
    "win64": ("win64", "ja_JP.UTF-8"),    # 932
    "win32": ("win32", "ja_JP.UTF-8"),    # 932, without WOW64
    "cp1252": ("win64", "C.UTF-8"),       # en-US
    "cp65001": ("win64", "hi_IN.UTF-8"),  # a language without an ANSI code page of its own
    "cp936": ("win64", "zh_CN.UTF-8"),
}
# No .NET or Gecko installers when a prefix is made.
DLL_OVERRIDES = "mscoree,mshtml="
REPO = Path(__file__).resolve().parents[2]
SETUP_PACKAGE = "SQLEXPRADV_x64_JPN.exe"
# Where the installer's folder for the package lies (under C:\), and where older builds put it.
LEFTOVERS_IN = ("ProgramData", "windows/temp")
# The answer file the installer carries and hands the package: the one of res/ as the package reads it.
ANSWER_FILE = (REPO / "res" / "ConfigurationFile.ini").read_text(encoding="utf-8").replace("\n", "\r\n").encode("cp932")
# The stand-in's variants, by file in the tools folder ({} the prefix's bitness): signed
# as "Microsoft Corporation" or as another publisher by the build's throwaway authority,
# unsigned, and damaged: the signed one with a byte of the DOS stub's message changed,
# which the image digest covers, while the signature and the code stay as they were.
PACKAGE_FILES = {"signed": "standin{}-signed.exe", "other_signer": "standin{}-other.exe",
                 "unsigned": "standin{}.exe", "damaged": "standin{}-signed.exe",
                 "other_build": "standin32-signed.exe"}  # signed as the 64-bit one is: another file


@dataclass(frozen=True)
class RegValue:
    view: int  # 32 or 64: the registry view a 32-bit program sees without / with KEY_WOW64_64KEY
    key: str
    name: str
    type: str  # REG_SZ, REG_DWORD, ...
    data: str


@dataclass(frozen=True)
class Layout:
    """Where the program under test lies and what lies beside it."""
    folder: str = "Setup"          # under C:\, may hold spaces and Japanese
    exe_name: str = "DBSetup.exe"
    package: bool = True           # the setup stand-in beside it
    answer_file: bytes = b""       # an answer file beside it, which must not be read
    variant: str = "signed"        # which stand-in: see PACKAGE_FILES
    decoys: tuple = ()             # more folders holding an unsigned stand-in as the package: none may be taken
    env: tuple = ()                # (name, value) pairs: the stand-in's knobs
    screenshots: Path | None = None  # save every box here as box<N>.png, drawn on a virtual desktop
    planted: tuple = ()            # DLLs to plant beside it, each marking its own loading; Wine prefers them
    beside: tuple = ()             # (name, variant) pairs: more stand-ins beside it, under other names


@dataclass
class Run:
    boxes: list = field(default_factory=list)
    exit_code: int | None = None
    cpu_ms: int | None = None
    peak_ws_kb: int | None = None
    timed_out: bool = False
    error: str | None = None
    seconds: float = 0.0
    setup_log: list = field(default_factory=list)  # what the setup stand-in logged, line by line
    answer_file: bytes | None = None  # the answer file the setup stand-in was handed, as it read it
    restart_requested: bool = False
    icons: list = field(default_factory=list)   # the kind of icon of each box, where pictures were taken
    planted_loaded: list = field(default_factory=list)  # planted DLLs that were loaded
    left_behind: list = field(default_factory=list)  # the installer's folders left in ProgramData or Temp
    beside_added: list = field(default_factory=list)  # what lies beside the program after the run and did not before

    def logged(self, word: str) -> str | None:
        """The rest of the setup stand-in's first log line that starts with word."""
        return next((line[len(word) + 1:] for line in self.setup_log if line.startswith(word + " ")), None)

    @property
    def setup_end_ms(self) -> int | None:
        end = self.logged("end")
        return int(end) if end else None


class WineError(RuntimeError):
    pass


class Xvfb:
    """A private X server; -displayfd lets it pick a free display itself."""

    def __enter__(self) -> str:
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        )
        os.close(write_fd)
        with os.fdopen(read_fd, "rb") as pipe:
            # It writes the number and a newline at once; at its exit the pipe reads empty.
            number = pipe.readline().strip() if select.select([pipe], [], [], XVFB_START_TIMEOUT)[0] else b""
        if not number:
            self.__exit__()
            raise WineError("Xvfb did not report its display")
        return f":{number.decode()}"

    def __exit__(self, *exc) -> None:
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


class Prefix:
    def __init__(self, work: Path, name: str):
        self.path = (Path(work) / f"prefix-{name}").resolve()
        self.name = name
        self.arch, self.locale = PREFIXES[name]
        self.log = self.path.parent / f"{self.path.name}.log"
        self.locales = self.path.parent / f"{self.path.name}.locale"  # LOCPATH
        self.drive_c = self.path / "drive_c"
        self.display = None  # X display for every wine call while a run is under way
        self.extra_env = {}  # for the program under test only

    def env(self) -> dict:
        env = {**os.environ, "WINEPREFIX": str(self.path), "WINEARCH": self.arch, "WINEDEBUG": "-all",
               "WINEDLLOVERRIDES": DLL_OVERRIDES, "LANG": self.locale, "LC_ALL": self.locale,
               "LOCPATH": str(self.locales), **self.extra_env}
        env.pop("DISPLAY", None)
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def exists(self) -> bool:
        return (self.path / "system.reg").is_file()

    def call(self, *command, timeout=WINE_CALL_TIMEOUT, cwd=None) -> int:
        """Runs wine or wineserver for the prefix, its output appended to the log."""
        with open(self.log, "ab") as log:
            log.write(f"\n$ {' '.join(command)}\n".encode())
            log.flush()
            try:
                return subprocess.run(command, env=self.env(), stdin=subprocess.DEVNULL,
                                      stdout=log, stderr=log, timeout=timeout, cwd=cwd).returncode
            except subprocess.TimeoutExpired:
                raise WineError(f"{' '.join(command)} took over {timeout} s (see {self.log})")

    def wine(self, *args, **options) -> int:
        return self.call("wine", *args, **options)

    def reg(self, *args) -> None:
        if self.wine("reg", *args) != 0:
            raise WineError(f"reg {' '.join(args)} failed (see {self.log})")

    def set_windows_version(self, name: str) -> None:
        self.reg("add", r"HKCU\Software\Wine", "/v", "Version", "/d", name, "/f")

    def stop(self) -> None:
        """Ends every process of the prefix; wineserver writes the registry files as it exits."""
        self.call("wineserver", "-k")
        self.call("wineserver", "-w")

    @contextmanager
    def on_screen(self):
        """Gives every wine call within a private X server, and ends the prefix's processes there."""
        with Xvfb() as self.display:
            try:
                yield
            finally:
                self.extra_env = {}
                self.stop()  # while the X server still runs, so Wine's processes end cleanly
                self.display = None

    def create(self) -> float | None:
        """Compiles its Unix locale; creates the prefix unless it exists: the seconds that took, else None."""
        # Compiled here rather than generated for the whole system: Wine reaches
        # folders named in Japanese only with a UTF-8 Unix side.
        self.locales.mkdir(parents=True, exist_ok=True)
        subprocess.run(["localedef", "-i", self.locale.split(".")[0], "-f", "UTF-8", str(self.locales / self.locale)],
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=60)
        if self.exists():
            return None
        start = time.monotonic()
        if self.wine("wineboot", "-i") != 0:
            raise WineError(f"could not create {self.path} (see {self.log})")
        # Xvfb runs no window manager, so Wine would wait 2 s for one whenever a
        # managed window (every message box) is hidden; unmanaged windows skip that.
        self.reg("add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")
        # Outside Japan Wine draws a box's text in Tahoma, linked for the glyphs it lacks
        # to Windows's fonts, absent here: Japanese would show as empty squares.
        self.reg("add", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink", "/v", "Tahoma",
                 "/t", "REG_MULTI_SZ", "/d", "NotoSansCJK-Regular.ttc,Noto Sans CJK JP", "/f")
        self.call("wineserver", "-w")  # the registry files appear only when wineserver has exited
        if not self.exists():
            raise WineError(f"could not create {self.path} (see {self.log})")
        return time.monotonic() - start

    def delete_test_keys(self) -> None:
        """Call while no wineserver runs, as system.reg is current only then. A reg
        call costs ~0.7 s, so keys absent from the file are skipped."""
        saved = (self.path / "system.reg").read_text(encoding="utf-8", errors="replace").lower()
        for key in TEST_KEYS:
            for view in (32, 64) if self.arch == "win64" else (32,):  # a 32-bit Windows has one view
                path = key.split("\\", 1)[1].lower()  # system.reg names HKLM's keys without the root
                if view == 32 and self.arch == "win64":
                    path = path.replace("software", "software\\wow6432node", 1)
                head = "\n[" + path.replace("\\", "\\\\")
                if head + "]" in saved or head + "\\\\" in saved:
                    self.reg("delete", key, "/f", f"/reg:{view}")

    def to_windows(self, path: Path) -> str:
        return "C:\\" + str(Path(path).relative_to(self.drive_c)).replace("/", "\\")


def parse_boxes(path: Path) -> Run:
    run = Run()
    for item in map(json.loads, path.read_text(encoding="utf-8").splitlines() if path.exists() else ()):
        if "caption" in item:
            run.boxes.append(item)
        elif "exit" in item:
            run.exit_code, run.cpu_ms, run.peak_ws_kb = item["exit"], item["cpu_ms"], item["peak_ws_kb"]
        elif "timeout" in item:
            run.timed_out = True
        else:
            run.error = f"{item['error']} ({item['code']})"
    if run.exit_code is None and not run.timed_out and run.error is None:
        run.error = "boxreader ended without reporting the program's end"
    return run


def copy_package(tools: Path, variant: str, arch: str, target: Path) -> None:
    data = (Path(tools) / PACKAGE_FILES[variant].format(64 if arch == "win64" else 32)).read_bytes()
    if variant == "damaged":
        at = data.index(b"DOS mode")
        data = data[:at] + b"d" + data[at + 1:]
    target.write_bytes(data)


def lay_out(prefix: Prefix, exe: Path, tools: Path, layout: Layout) -> Path:
    """Copies the program (and the package) into a fresh folder; returns the program's path."""
    for top in {f.split("\\")[0] for f in (layout.folder,) + layout.decoys}:
        shutil.rmtree(prefix.drive_c / top, ignore_errors=True)
    # A decoy taken is refused in a box: its copy in the installer's folder would run as the package does.
    for decoy in layout.decoys:
        decoy_folder = prefix.drive_c.joinpath(*decoy.split("\\"))
        decoy_folder.mkdir(parents=True)
        copy_package(tools, "unsigned", prefix.arch, decoy_folder / SETUP_PACKAGE)
    folder = prefix.drive_c.joinpath(*layout.folder.split("\\"))
    folder.mkdir(parents=True)
    if layout.package:
        copy_package(tools, layout.variant, prefix.arch, folder / SETUP_PACKAGE)
    if layout.answer_file:
        (folder / "ConfigurationFile.ini").write_bytes(layout.answer_file)
    target = folder / layout.exe_name
    shutil.copy2(exe, target)
    for name in layout.planted:
        shutil.copy2(Path(tools) / "planted32.dll", folder / f"{name}.dll")
    for name, variant in layout.beside:
        copy_package(tools, variant, prefix.arch, folder / name)
    return target


def run_program(prefix: Prefix, exe: Path, tools: Path, version: str,
                answers=(), registry=(), layout: Layout = Layout()) -> Run:
    """Runs exe from a fresh folder with the given reported Windows version and registry
    seeds, answering its boxes with `answers` in order (then OK, else Cancel)."""
    start = time.monotonic()
    prefix.stop()  # a previous run may have left processes behind
    prefix.log.write_text("")  # the log tells about the latest run only
    work_dir = prefix.drive_c / "e2e"
    leftovers = lambda: [p for d in LEFTOVERS_IN for p in prefix.drive_c.joinpath(d).glob("DBSetup-*")]
    for old in [work_dir, *leftovers()]:  # a failed run's leftovers must not fail the next one
        shutil.rmtree(old, ignore_errors=True)
    work_dir.mkdir(parents=True)
    target = lay_out(prefix, exe, tools, layout)
    beside = set(target.parent.iterdir())
    reader = work_dir / "boxreader.exe"
    shutil.copy2(Path(tools) / f"boxreader{64 if prefix.arch == 'win64' else 32}.exe", reader)

    # Every process Wine starts is logged, so that a restart request is seen in every run.
    env = dict(layout.env, DBSETUP_PLANT_MARKS=prefix.to_windows(work_dir), WINEDEBUG="-all,+process")
    if layout.planted:
        env["WINEDLLOVERRIDES"] = f"{DLL_OVERRIDES};{','.join(layout.planted)}=n,b"
    if layout.screenshots:
        env["BOXREADER_SHOTS"] = prefix.to_windows(work_dir)
    with prefix.on_screen():
        prefix.delete_test_keys()
        prefix.set_windows_version(version)
        for v in registry:
            prefix.reg("add", v.key, "/v", v.name, "/t", v.type, "/d", v.data, "/f", f"/reg:{v.view}")
        out, setup_log = work_dir / "boxes.jsonl", work_dir / "setup.log"
        prefix.extra_env = dict(env, DBSETUP_STANDIN_LOG=prefix.to_windows(setup_log))
        command = [prefix.to_windows(reader), prefix.to_windows(out), ",".join(answers) or "-", prefix.to_windows(target)]
        # Wine draws title bars itself only on its virtual desktop.
        prefix.wine(*(["explorer", "/desktop=DBSetup,800x600"] if layout.screenshots else []), *command,
                    timeout=BOXREADER_TIMEOUT)
        run = parse_boxes(out)
        if setup_log.exists():
            run.setup_log = setup_log.read_text(encoding="utf-8").splitlines()
        if setup_log.with_suffix(".log.ini").exists():
            run.answer_file = setup_log.with_suffix(".log.ini").read_bytes()
    run.left_behind = sorted(map(prefix.to_windows, leftovers()))
    run.beside_added = sorted(p.name for p in set(target.parent.iterdir()) - beside)
    run.planted_loaded = sorted(p.name[:-len(".dll.loaded")] for p in work_dir.glob("*.dll.loaded"))
    if layout.screenshots:
        Path(layout.screenshots).mkdir(parents=True, exist_ok=True)
        for bitmap in sorted(work_dir.glob("box*.bmp"), key=lambda p: int(p.stem[3:])):
            subprocess.run(["convert", str(bitmap), str(Path(layout.screenshots) / f"{bitmap.stem}.png")],
                           check=True, stdin=subprocess.DEVNULL, timeout=60)
            run.icons.append(icon_kind(bitmap))
    # Wine answers ExitWindowsEx by starting wineboot to end the session.
    run.restart_requested = any("wineboot" in line.lower() and "--end-session" in line
                                for line in prefix.log.read_text(encoding="utf-8", errors="replace").splitlines())
    run.seconds = time.monotonic() - start
    return run
