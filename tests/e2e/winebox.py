"""Runs a Windows program in a Wine prefix and collects its message boxes.

Every wine call gets /dev/null as input and files as output: Wine's background
services inherit the caller's descriptors and would keep a pipe open forever.
"""
import json
import os
import shutil
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path

from icons import icon_kind
from xserver import Xvfb

WINE_CALL_TIMEOUT = 120
# boxreader gives up after 120 s by itself; this only catches a hung Wine.
BOXREADER_TIMEOUT = 180

# Keys the installer reads or writes; removed before each run so runs do not
# see each other's leftovers.
TEST_KEYS = (
    r"HKLM\SOFTWARE\Microsoft\Microsoft SQL Server\VALTERNADB",
    r"HKLM\SOFTWARE\Microsoft\MSSQLServer",
)

ARCHES = ("win64", "win32")
# No .NET or Gecko installers when a prefix is made.
DLL_OVERRIDES = "mscoree,mshtml="


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
    package: bool = False          # the setup stand-in and the answer file beside it
    decoys: tuple = ()             # more folders holding the stand-in as the package: none may run
    env: tuple = ()                # (name, value) pairs: the stand-in's knobs
    trace_processes: bool = False  # log every process Wine starts, to see a restart request
    screenshots: Path | None = None  # save every box here as box<N>.png, drawn on a virtual desktop
    planted: tuple = ()            # DLL names to plant beside it, each marking its own loading
    native_first: tuple = ()       # of those, the ones Wine is told to prefer over its own


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
    wine_log: str = ""
    extras: list = field(default_factory=list)  # the runs of the programs started after it
    icons: list = field(default_factory=list)   # the kind of icon of each box, where pictures were taken
    planted_loaded: list = field(default_factory=list)  # planted DLLs that were loaded

    @property
    def setup_command(self) -> str | None:
        return next((line[len("command "):] for line in self.setup_log if line.startswith("command ")), None)

    @property
    def setup_end_ms(self) -> int | None:
        return next((int(line.split()[1]) for line in self.setup_log if line.startswith("end ")), None)

    @property
    def wait_latency_ms(self) -> int:
        """From the setup package's end to the first box after it."""
        return self.boxes[0]["epoch_ms"] - self.setup_end_ms

    @property
    def restart_requested(self) -> bool:
        # Wine answers ExitWindowsEx by starting wineboot to end the session.
        return any("wineboot" in line.lower() and "--end-session" in line for line in self.wine_log.splitlines())


class WineError(RuntimeError):
    pass


class Prefix:
    def __init__(self, path: Path, arch: str):
        if arch not in ARCHES:
            raise ValueError(f"unknown arch {arch}")
        self.path = Path(path).resolve()
        self.arch = arch
        self.log = self.path.parent / f"{self.path.name}.log"
        self.display = None  # X display for every wine call while a run is under way
        self.extra_env = {}  # for the program under test only

    def env(self) -> dict:
        env = dict(os.environ)
        env.update(
            WINEPREFIX=str(self.path),
            WINEARCH=self.arch,
            WINEDEBUG="-all",
            WINEDLLOVERRIDES=DLL_OVERRIDES,
            LANG="ja_JP.UTF-8",
            LC_ALL="ja_JP.UTF-8",
        )
        env.update(self.extra_env)
        env.pop("DISPLAY", None)
        if self.display:
            env["DISPLAY"] = self.display
        return env

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    def exists(self) -> bool:
        return (self.path / "system.reg").is_file()

    def wine(self, *args, timeout=WINE_CALL_TIMEOUT) -> int:
        with open(self.log, "ab") as log:
            log.write(f"\n$ wine {' '.join(args)}\n".encode())
            log.flush()
            try:
                return subprocess.run(
                    ["wine", *args], env=self.env(), stdin=subprocess.DEVNULL,
                    stdout=log, stderr=log, timeout=timeout,
                ).returncode
            except subprocess.TimeoutExpired:
                raise WineError(f"wine {' '.join(args)} took over {timeout} s (see {self.log})")

    def server(self, flag: str) -> None:
        try:
            subprocess.run(["wineserver", flag], env=self.env(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=WINE_CALL_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise WineError(f"wineserver {flag} took over {WINE_CALL_TIMEOUT} s for {self.path}")

    def stop(self) -> None:
        """Ends every process of the prefix; wineserver writes the registry files as it exits."""
        self.server("-k")
        self.server("-w")

    def create(self) -> float | None:
        """Creates the prefix unless it exists; returns the seconds it took, or None if it existed."""
        if self.exists():
            return None
        start = time.monotonic()
        self.path.parent.mkdir(parents=True, exist_ok=True)
        rc = self.wine("wineboot", "-i")
        # Xvfb runs no window manager, so Wine would wait 2 s for one whenever a
        # managed window (every message box) is hidden; unmanaged windows skip that.
        if rc == 0:
            rc = self.reg("add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")
        self.server("-w")  # the registry files appear only when wineserver has exited
        if rc != 0 or not self.exists():
            raise WineError(f"could not create {self.path} (see {self.log})")
        return time.monotonic() - start

    def reg(self, *args) -> int:
        return self.wine("reg", *args)

    def views(self) -> tuple:
        # A 32-bit Windows has one registry view.
        return (32, 64) if self.arch == "win64" else (32,)

    def set_windows_version(self, name: str) -> None:
        if self.reg("add", r"HKCU\Software\Wine", "/v", "Version", "/d", name, "/f") != 0:
            raise WineError(f"could not set Windows version {name}")

    def holds_key(self, key: str, view: int) -> bool:
        """Reads system.reg, which is current only while no wineserver runs for the prefix."""
        path = key.split("\\", 1)[1]  # system.reg holds HKLM's keys without the root
        if view == 32 and self.arch == "win64":
            path = "SOFTWARE\\Wow6432Node" + path[len("SOFTWARE"):]
        head = "[" + path.replace("\\", "\\\\").lower()
        with open(self.path / "system.reg", encoding="utf-8", errors="replace") as f:
            return any(line.lower().startswith(head) and line[len(head):len(head) + 1] in ("]", "\\")
                       for line in f)

    def delete_test_keys(self) -> None:
        """Call while no wineserver runs: a reg call costs ~0.7 s, so absent keys are skipped."""
        present = [(k, v) for k in TEST_KEYS for v in self.views() if self.holds_key(k, v)]
        for key, view in present:
            if self.reg("delete", key, "/f", f"/reg:{view}") != 0:
                raise WineError(f"could not delete {key} from the {view}-bit view")

    def seed(self, value: RegValue) -> None:
        rc = self.reg("add", value.key, "/v", value.name, "/t", value.type, "/d", value.data,
                      "/f", f"/reg:{value.view}")
        if rc != 0:
            raise WineError(f"could not seed {value}")

    def to_windows(self, path: Path) -> str:
        return "C:\\" + str(Path(path).relative_to(self.drive_c)).replace("/", "\\")


def parse_boxes(lines) -> Run:
    run = Run()
    for line in lines:
        if not line.strip():
            continue
        item = json.loads(line)
        if "caption" in item:
            run.boxes.append(item)
        elif "exit" in item:
            run.exit_code = item["exit"]
            run.cpu_ms = item.get("cpu_ms")
            run.peak_ws_kb = item.get("peak_ws_kb")
        elif item.get("timeout"):
            run.timed_out = True
        elif "error" in item:
            run.error = f"{item['error']} ({item.get('code')})"
    if run.exit_code is None and not run.timed_out and run.error is None:
        run.error = "boxreader ended without reporting the program's end"
    return run


REPO = Path(__file__).resolve().parents[2]
SETUP_PACKAGE = "SQLEXPRADV_x64_JPN.exe"


def lay_out(prefix: Prefix, exe: Path, tools: Path, layout: Layout) -> Path:
    """Copies the program (and the package) into a fresh folder; returns the program's path."""
    folders = [prefix.drive_c.joinpath(*f.split("\\")) for f in (layout.folder,) + layout.decoys]
    for folder in folders:
        shutil.rmtree(prefix.drive_c / folder.relative_to(prefix.drive_c).parts[0], ignore_errors=True)
    for i, folder in enumerate(folders):
        folder.mkdir(parents=True, exist_ok=True)
        if layout.package or i > 0:
            shutil.copy2(Path(tools) / "standin64.exe", folder / SETUP_PACKAGE)
            shutil.copy2(REPO / "res" / "ConfigurationFile.ini", folder / "ConfigurationFile.ini")
    folder = folders[0]
    target = folder / layout.exe_name
    shutil.copy2(exe, target)
    for name in layout.planted:
        shutil.copy2(Path(tools) / "planted32.dll", folder / f"{name}.dll")
    return target


def box_pictures(work_dir: Path) -> list:
    return sorted(work_dir.glob("box*.bmp"), key=lambda p: int(p.stem[3:]))


def save_screenshots(pictures: list, destination: Path) -> None:
    destination.mkdir(parents=True, exist_ok=True)
    for bitmap in pictures:
        subprocess.run(["convert", str(bitmap), str(destination / (bitmap.stem + ".png"))],
                       check=True, stdin=subprocess.DEVNULL, timeout=60)


def run_program(prefix: Prefix, exe: Path, tools: Path, version: str,
                answers=(), registry=(), layout: Layout = Layout(), extra=()) -> Run:
    """Runs exe from a fresh folder with the given reported Windows version and registry
    seeds, answering its boxes with `answers` in order (then OK, else Cancel). `extra`
    names more programs (in tools) to copy beside it and run after it, each read alike."""
    reader_source = Path(tools) / f"boxreader{64 if prefix.arch == 'win64' else 32}.exe"
    for needed in (Path(exe), reader_source):
        if not needed.is_file():
            raise WineError(f"{needed} does not exist")
    start = time.monotonic()
    prefix.stop()  # a previous run may have left processes behind
    prefix.log.write_text("")  # the log tells about the latest run only
    work_dir = prefix.drive_c / "e2e"
    shutil.rmtree(work_dir, ignore_errors=True)
    work_dir.mkdir(parents=True)
    target = lay_out(prefix, exe, tools, layout)
    reader = work_dir / "boxreader.exe"
    shutil.copy2(reader_source, reader)
    programs = [target] + [target.parent / name for name in extra]
    for name in extra:
        shutil.copy2(Path(tools) / name, target.parent / name)

    runs = []
    try:
        with Xvfb() as prefix.display:
            try:
                prefix.delete_test_keys()
                prefix.set_windows_version(version)
                for value in registry:
                    prefix.seed(value)
                for i, program in enumerate(programs):
                    out, setup_log = work_dir / f"boxes{i}.jsonl", work_dir / f"setup{i}.log"
                    prefix.extra_env = dict(layout.env, DBSETUP_STANDIN_LOG=prefix.to_windows(setup_log))
                    if layout.trace_processes:
                        prefix.extra_env["WINEDEBUG"] = "-all,+process"
                    if layout.planted:
                        prefix.extra_env["DBSETUP_PLANT_MARKS"] = prefix.to_windows(work_dir)
                    if layout.native_first:
                        prefix.extra_env["WINEDLLOVERRIDES"] = f"{DLL_OVERRIDES};{','.join(layout.native_first)}=n,b"
                    command = [prefix.to_windows(reader), prefix.to_windows(out),
                               ",".join(answers) or "-", prefix.to_windows(program)]
                    if layout.screenshots:
                        # Wine draws title bars itself only on its virtual desktop.
                        prefix.extra_env["BOXREADER_SHOTS"] = prefix.to_windows(work_dir)
                        command = ["explorer", "/desktop=DBSetup,800x600"] + command
                    prefix.wine(*command, timeout=BOXREADER_TIMEOUT)
                    run = parse_boxes(out.read_text(encoding="utf-8").splitlines() if out.exists() else [])
                    if setup_log.exists():
                        run.setup_log = setup_log.read_text(encoding="utf-8").splitlines()
                    runs.append(run)
            finally:
                prefix.extra_env = {}
                prefix.stop()  # while the X server still runs, so Wine's processes end cleanly
    finally:
        prefix.display = None
    run = runs[0]
    run.planted_loaded = sorted(p.name[:-len(".dll.loaded")] for p in work_dir.glob("*.dll.loaded"))
    if layout.screenshots:
        pictures = box_pictures(work_dir)
        save_screenshots(pictures, Path(layout.screenshots))
        run.icons = [icon_kind(p) for p in pictures]
    run.extras = runs[1:]
    run.seconds = time.monotonic() - start
    run.wine_log = prefix.log.read_text(encoding="utf-8", errors="replace")
    return run
