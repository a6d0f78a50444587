#!/usr/bin/python3
"""Runs DBSetup.exe under Wine and checks every message box it shows.

  run_e2e.py prepare  --work DIR
  run_e2e.py scenario NAME --work DIR --exe DBSetup.exe --tools DIR
  run_e2e.py demo     --work DIR --exe DBSetup.exe --tools DIR --shots DIR
  run_e2e.py pictures --work DIR --exe DBSetup.exe --tools DIR --out DIR
  run_e2e.py conformance PREFIX --work DIR --exe conformance.exe --tools DIR
  run_e2e.py list

--work holds the Wine prefixes; --tools the helpers built with them (box readers, stand-in, ...).
"""
import argparse
from dataclasses import replace
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import winebox
from scenarios import BY_NAME, SCENARIOS, STARTED_AS, Box


def prefix_for(work: str, name: str, create: bool = False) -> winebox.Prefix:
    prefix = winebox.Prefix(Path(work), name)
    if create:
        prefix.create()
    elif not prefix.exists():
        raise winebox.WineError(f"{prefix.path} does not exist: run `run_e2e.py prepare --work {work}` first")
    return prefix


def seen_boxes(run: winebox.Run) -> list:
    return [Box(b["text"], tuple(b["buttons"]), b["caption"]) for b in run.boxes]


def format_box(box: Box) -> str:
    body = "\n".join("    " + line for line in box.text.split("\n"))
    return f"  [{box.caption}]\n{body}\n    buttons: {' '.join(box.buttons) or '(none)'}"


def print_run(run: winebox.Run) -> None:
    for i, (box, raw) in enumerate(zip(seen_boxes(run), run.boxes)):
        icon = f", icon {run.icons[i]}" if i < len(run.icons) else ""
        print(f"box {i + 1} at {raw['t']:.2f} s{icon}, pressed {raw['pressed'] or 'nothing'}:\n{format_box(box)}")
    if not run.boxes:
        print("no message box")
    if run.exit_code is not None:
        print(f"program ended with exit code {run.exit_code}")
    if run.timed_out:
        print("program did not end in time and was killed")
    if run.error:
        print(f"harness error: {run.error}")


def first_difference(expected: list, seen: list) -> str:
    for i, (e, s) in enumerate(zip(expected, seen), 1):
        for field in ("caption", "text", "buttons"):
            if getattr(e, field) != getattr(s, field):
                return f"box {i} {field}: expected {getattr(e, field)!r}, seen {getattr(s, field)!r}"
    return f"expected {len(expected)} boxes, seen {len(seen)}"


def problems(scenario, run: winebox.Run) -> list:
    found = []
    if run.timed_out:
        found.append("the program did not end")
    if run.error:
        found.append(run.error)
    expected, seen = list(scenario.boxes), seen_boxes(run)
    if expected != seen:
        found.append(first_difference(expected, seen))
    if run.setup_log and not scenario.setup_started:
        found.append("the setup package was started")
    if scenario.setup_started:
        started, handed = STARTED_AS.match(run.logged("command") or ""), run.answer_file or b""
        lines = lambda data: set(data.decode("cp932", "replace").split("\r\n"))
        if not started:
            found.append(f"setup command line: expected {STARTED_AS.pattern}, seen {run.logged('command')!r}")
        # The package's file, its current folder and what it unpacked there, all in the folder named on its
        # command line. Windows names match in any case: Wine gives a path as its folders are named.
        for word, tail in (("module", "\\" + winebox.SETUP_PACKAGE), ("current", ""),
                           ("unpacked", "\\" + winebox.SETUP_PACKAGE.removesuffix(".exe"))):
            if started and (run.logged(word) or "").lower() != (started[1] + tail).lower():
                found.append(f"the package's {word} path: expected {started[1] + tail!r}, seen {run.logged(word)!r}")
        if handed != winebox.ANSWER_FILE:
            found.append(f"the package's answer file differs in {sorted(lines(handed) ^ lines(winebox.ANSWER_FILE))}")
    if run.left_behind:
        found.append(f"left behind: {', '.join(run.left_behind)}")
    if run.beside_added:
        found.append(f"new beside the program after the run: {', '.join(run.beside_added)}")
    if run.restart_requested != scenario.restart:
        found.append("a restart was requested" if run.restart_requested else "no restart was requested")
    if scenario.icons and tuple(run.icons) != scenario.icons:
        found.append(f"icons: expected {scenario.icons}, seen {tuple(run.icons)}")
    if scenario.planted_loaded is not None and tuple(run.planted_loaded) != scenario.planted_loaded:
        found.append(f"planted DLLs loaded: expected {scenario.planted_loaded}, seen {tuple(run.planted_loaded)}")
    return found


def cmd_prepare(args) -> int:
    # Creating a prefix is mostly waiting: all at once take little longer than one.
    prefixes = [winebox.Prefix(Path(args.work), name) for name in winebox.PREFIXES]
    with ThreadPoolExecutor(len(prefixes)) as pool:
        for prefix, seconds in zip(prefixes, pool.map(winebox.Prefix.create, prefixes)):
            print(f"{prefix.name} prefix {prefix.path}: "
                  f"{'already there' if seconds is None else f'created in {seconds:.1f} s'}")
    return 0


def cmd_scenario(args) -> int:
    scenario = BY_NAME[args.name]
    prefix = prefix_for(args.work, scenario.prefix)
    print(f"scenario {scenario.name}: {scenario.prefix} prefix, Wine version '{scenario.version}'")
    layout = scenario.layout
    if scenario.icons:
        layout = replace(layout, screenshots=Path(args.work) / "pictures" / scenario.name)
    exe = Path(args.tools) / scenario.program if scenario.program else Path(args.exe)
    run = winebox.run_program(prefix, exe, Path(args.tools), scenario.version,
                              scenario.answers, scenario.registry, layout)
    print_run(run)
    found = problems(scenario, run)
    if found:
        expected = "\n".join(map(format_box, scenario.boxes)) or "  no message box"
        print(f"\nexpected:\n{expected}\n\nFAIL {scenario.name}: {'; '.join(found)}")
        return 1
    print(f"PASS {scenario.name} in {run.seconds:.1f} s")
    return 0


def cmd_demo(args) -> int:
    prefix = prefix_for(args.work, "win64", create=True)
    print("64-bit Windows 10 with no SQL Server: DBSetup.exe in C:\\Setup beside the setup package\n"
          "(a stand-in that unpacks a small tree and registers the instance); every box answered OK\n")
    run = winebox.run_program(prefix, Path(args.exe), Path(args.tools), "win10", ("OK",), (),
                              winebox.Layout(screenshots=Path(args.shots)))
    if run.setup_log:
        print(f"setup package copied to and run from: {run.logged('module')}\n"
              f"its current folder: {run.logged('current')}\nit unpacked into: {run.logged('unpacked')}\n"
              f"started as: {run.logged('command')}\n")
    print_run(run)
    if run.restart_requested:
        print("Windows was asked to restart (Wine ends the session)")
    print(f"left in C:\\ProgramData or C:\\windows\\Temp: {', '.join(run.left_behind) or 'nothing of the installer'}; "
          f"new beside DBSetup.exe: {', '.join(run.beside_added) or 'nothing'}")
    print(f"pictures of the boxes: {Path(args.shots).resolve()}/box*.png\n({run.seconds:.1f} s)")
    return 0 if run.exit_code is not None else 1


def cmd_pictures(args) -> int:
    """The README's pictures: the restart question (also in code page 65001) and the refusal on Windows 7."""
    out = Path(args.out)
    for name, prefix, version in (("restart_question", "win64", "win10"), ("restart_question_utf8", "cp65001", "win10"),
                                  ("os_refusal", "win64", "win7")):
        shots = out / f"{name}.tmp"
        run = winebox.run_program(prefix_for(args.work, prefix, create=True), Path(args.exe), Path(args.tools),
                                  version, ("CANCEL",), (), winebox.Layout(screenshots=shots))
        if len(run.boxes) != 1:
            raise winebox.WineError(f"{name}: expected one box, saw {len(run.boxes)}")
        (shots / "box1.png").replace(out / f"{name}.png")
        shots.rmdir()
        print(out / f"{name}.png")
    return 0


# Where conformance.exe checks that it lies: Japanese, "¥", "é", and "한", which code page 932 lacks.
CONFORMANCE_FOLDER = "表ソa能 表b¥é한"
# The stand-ins whose signatures it checks, beside it.
CONFORMANCE_FILES = (("signed.exe", "signed"), ("unsigned.exe", "unsigned"), ("tampered.exe", "damaged"))


def cmd_conformance(args) -> int:
    """The checks of the simulated Windows' claims, run from a Japanese folder; exits as they do."""
    prefix = prefix_for(args.work, args.prefix)
    prefix.stop()
    exe = winebox.lay_out(prefix, Path(args.exe), Path(args.tools),
                          winebox.Layout(folder=CONFORMANCE_FOLDER, exe_name="conformance.exe", package=False,
                                         beside=CONFORMANCE_FILES))
    (exe.parent / "LINK").unlink(missing_ok=True)
    (exe.parent / "LINK").symlink_to(prefix.drive_c / "windows")  # a link to a folder, as a junction
    with prefix.on_screen():  # it shows message boxes, which need an X display in every Wine process it meets
        prefix.set_windows_version("win10")
        prefix.log.write_text("")
        # Started from its folder: from one outside the prefix its current drive would be Z:, the host's root.
        rc = prefix.wine(prefix.to_windows(exe), cwd=exe.parent)
        # What it printed, after the command line that the log starts with.
        print(prefix.log.read_bytes().split(b"\n", 2)[2].decode("cp932", errors="replace"), end="")
    return rc


def cmd_list(_args) -> int:
    print("\n".join(s.name for s in SCENARIOS))
    return 0


# Each command's arguments, with the choices of those that have them.
ARGUMENTS = {
    "prepare": ("--work",),
    "scenario": ("name", "--work", "--exe", "--tools"),
    "demo": ("--work", "--exe", "--tools", "--shots"),
    "pictures": ("--work", "--exe", "--tools", "--out"),
    "conformance": ("prefix", "--work", "--exe", "--tools"),
    "list": (),
}
CHOICES = {"name": list(BY_NAME), "prefix": list(winebox.PREFIXES)}


def main() -> int:
    sys.stdout.reconfigure(encoding="utf-8")
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    for command, arguments in ARGUMENTS.items():
        p = sub.add_parser(command)
        p.set_defaults(run=globals()[f"cmd_{command}"])
        for argument in arguments:
            optional = {"required": True} if argument.startswith("--") else {}
            p.add_argument(argument, choices=CHOICES.get(argument), **optional)
    args = parser.parse_args()
    start = time.monotonic()
    try:
        rc = args.run(args)
    except winebox.WineError as e:
        print(f"error: {e}", file=sys.stderr)
        return 2
    if args.command != "list":
        print(f"total {time.monotonic() - start:.1f} s")
    return rc


if __name__ == "__main__":
    sys.exit(main())
