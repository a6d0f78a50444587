#!/usr/bin/python3
"""Measures DBSetup.exe: size, how soon its first box appears, how late it sees
the setup's end, what it costs while it waits, and what copying the setup
package into its own folder and checking the copy's signature cost. Each figure is the median and spread of repeated
runs under Wine; run it on demand, not as a test.

  bench/run_bench.py [--runs N] [--build build/host] [--seed S]
"""
import argparse
import hashlib
import random
import shutil
import statistics
import subprocess
import sys
from dataclasses import replace
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import winebox  # noqa: E402

SIZE_BUDGET = 38 * 1024
# The signed stand-ins whose checks are compared, in MB (10^6 bytes) before signing.
PACKAGE_SIZES_MB = (1, 200)


def spread(values, digits: int = 0) -> str:
    return (f"median {statistics.median(values):.{digits}f}, min {min(values):.{digits}f}, "
            f"max {max(values):.{digits}f} (n={len(values)})")


def wait_latency_ms(run: winebox.Run) -> int:
    """From the setup package's end to the first box after it."""
    return run.boxes[0]["epoch_ms"] - run.setup_end_ms


def first_box_ms(run: winebox.Run) -> float:
    if not run.boxes:
        raise winebox.WineError("no box was seen")
    return run.boxes[0]["t"] * 1000


def padded_package_tools(tools: Path, folder: Path, megabytes: int) -> str:
    """A tools folder (box reader, SHA-256 reference) whose stand-in is padded to the size,
    then signed as "Microsoft Corporation", so that the padding is hashed; its SHA-256."""
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for name in ("boxreader64.exe", "sha256ref32.exe"):
        shutil.copy2(tools / name, folder / name)
    unsigned = (tools / "standin64.exe").read_bytes()
    (folder / "padded.exe").write_bytes(unsigned + bytes(megabytes * 10**6 - len(unsigned)))
    keys = tools / "keys"
    subprocess.run(["osslsigncode", "sign", "-certs", str(keys / "microsoft.pem"), "-key", str(keys / "microsoft.key"),
                    "-ac", str(keys / "ca.pem"), "-h", "sha256", "-in", str(folder / "padded.exe"),
                    "-out", str(folder / "standin64-signed.exe")], check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL)
    (folder / "padded.exe").unlink()
    return hashlib.sha256((folder / "standin64-signed.exe").read_bytes()).hexdigest()


def pinned_build(package: Path, folder: Path) -> Path:
    """DBSetup.exe built afresh as for media that pin the package by its SHA-256."""
    shutil.rmtree(folder, ignore_errors=True)
    for command in (["cmake", "--preset", "win32", "-B", str(folder), f"-DDBSETUP_PACKAGE={package}"],
                    ["cmake", "--build", str(folder), "--target", "DBSetup"]):
        done = subprocess.run(command, cwd=ROOT, stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed:\n{done.stdout}{done.stderr}")
    return folder / "DBSetup.exe"


def package_start_ms(run: winebox.Run) -> float:
    """From the installer's start (as the box reader started it) to the setup package's start."""
    started = run.logged("start")
    if not started or not run.boxes:
        raise winebox.WineError("the setup package was not started")
    return int(started) - (run.boxes[0]["epoch_ms"] - run.boxes[0]["t"] * 1000)


def signature_check_cost(exe: Path, tools: Path, prefix: winebox.Prefix, work: Path, runs: int) -> None:
    """The extra time of the copy and the check for a large package over a small one, against
    a program that copies the same two files once, as the installer does, and hashes the
    copies with SHA-256, through the same Wine: for the unpinned build and for one pinned to
    each package, which also hashes the copy as it writes it and compares."""
    digests = {mb: padded_package_tools(tools, work / f"package-{mb}mb", mb) for mb in PACKAGE_SIZES_MB}
    builds = {"unpinned": {mb: exe for mb in PACKAGE_SIZES_MB},
              "pinned": {mb: pinned_build(work / f"package-{mb}mb" / "standin64-signed.exe", work / f"pinned-{mb}mb")
                         for mb in PACKAGE_SIZES_MB}}
    for mb, pinned in builds["pinned"].items():
        size = pinned.stat().st_size
        print(f"size of DBSetup.exe pinned to the {mb} MB package: {size} bytes ({size / 1024:.1f} KiB), "
              f"budget {SIZE_BUDGET // 1024} KiB: {'within' if size <= SIZE_BUDGET else 'OVER'}")
    check = {build: {mb: [] for mb in PACKAGE_SIZES_MB} for build in builds}
    reference = {mb: [] for mb in PACKAGE_SIZES_MB}
    for _ in range(runs):
        for mb in PACKAGE_SIZES_MB:
            folder = work / f"package-{mb}mb"
            for build, exes in builds.items():
                check[build][mb].append(package_start_ms(winebox.run_program(
                    prefix, exes[mb], folder, "win10", ("CANCEL",), (), winebox.Layout(package=True))))
            hashed = winebox.run_program(prefix, folder / "sha256ref32.exe", folder, "win10", (), (),
                                         winebox.Layout(package=True, exe_name="sha256ref32.exe"))
            if not hashed.boxes or hashed.boxes[0]["text"] != digests[mb]:
                raise winebox.WineError(f"the reference did not hash the {mb} MB package rightly")
            reference[mb].append(first_box_ms(hashed))
    small, large = PACKAGE_SIZES_MB
    per_100mb = 100 / (large - small)
    extra_reference = [b - a for a, b in zip(reference[small], reference[large])]
    print(f"reference (copy once with 1 MiB ReadFile/WriteFile into ProgramData, then SHA-256 of the copy through "
          f"CryptoAPI), start to digest, ms: {small} MB {spread(reference[small])}; {large} MB {spread(reference[large])}")
    for build, times in check.items():
        extra_check = [b - a for a, b in zip(times[small], times[large])]
        ratio = statistics.median(extra_check) / statistics.median(extra_reference)
        print(f"{build} DBSetup.exe, installer's start to the signed package's start (copy, then check), ms: "
              f"{small} MB {spread(times[small])}; {large} MB {spread(times[large])}")
        print(f"{build}: extra for {large - small} MB more, ms, in the same run: copy + check {spread(extra_check)}; "
              f"reference {spread(extra_reference)}; ratio of medians {ratio:.2f} (target at most 1.3: "
              f"{'within' if ratio <= 1.3 else 'OVER'}); per 100 MB: "
              f"copy + check {statistics.median(extra_check) * per_100mb:.0f} ms, "
              f"reference {statistics.median(extra_reference) * per_100mb:.0f} ms")
    for name in [f"{kind}-{mb}mb" for kind in ("package", "pinned") for mb in PACKAGE_SIZES_MB]:
        shutil.rmtree(work / name)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--build", default=str(ROOT / "build" / "host"))
    parser.add_argument("--seed", type=int, default=None, help="for the setup's random run times")
    parser.add_argument("--cpu-pairs", type=int, default=3, help="runs with a 10 s and a 20 s setup")
    parser.add_argument("--check-runs", type=int, default=5, help="runs with each signed package size")
    args = parser.parse_args()
    build = Path(args.build)
    # The yardsticks are built next to DBSetup.exe, the same way (cmake/windows_flags.cmake).
    exe, minimal, reference_waiter = (build / "win32" / name for name in ("DBSetup.exe", "minimal_box.exe", "refwait.exe"))
    tools = build / "tests" / "e2e"
    prefix = winebox.Prefix(build / "e2e" / "prefix-win64", "win64")
    prefix.create()

    size = exe.stat().st_size
    print(f"size of DBSetup.exe: {size} bytes ({size / 1024:.1f} KiB), budget {SIZE_BUDGET // 1024} KiB: "
          f"{'within' if size <= SIZE_BUDGET else 'OVER'}")

    # Start to first box: on Windows 7 the first box is the refusal, after
    # detection and the version check; the yardstick shows its box at once.
    ours, theirs = [], []
    for _ in range(max(args.runs // 2, 5)):
        ours.append(first_box_ms(winebox.run_program(prefix, exe, tools, "win7")))
        theirs.append(first_box_ms(winebox.run_program(prefix, minimal, tools, "win7",
                                                       layout=winebox.Layout(exe_name="minimal_box.exe"))))
    ratio = statistics.median(ours) / statistics.median(theirs)
    print(f"start to first box, ms: DBSetup {spread(ours)}; minimal program {spread(theirs)}; "
          f"ratio of medians {ratio:.2f}")

    # From the setup's end to the next box, against a waiter on the process handle
    # with the same setup time. The setup's run time is random, so that its end
    # meets the installer's 500 ms poll at every phase, not always at the same one.
    seed = args.seed if args.seed is not None else random.randrange(1 << 32)
    rng = random.Random(seed)
    late, reference, extra = [], [], []
    for _ in range(args.runs):
        layout = winebox.Layout(package=True, env=(("DBSETUP_STANDIN_DELAY_MS", str(rng.randrange(1500, 2500))),))
        late.append(wait_latency_ms(winebox.run_program(prefix, exe, tools, "win10", ("CANCEL",), (), layout)))
        reference.append(wait_latency_ms(winebox.run_program(prefix, reference_waiter, tools, "win10", (), (),
                                                             replace(layout, exe_name="refwait.exe"))))
        extra.append(late[-1] - reference[-1])
    print(f"setup's end to next box, ms (setup 1,500-2,500 ms at random, seed {seed}): DBSetup {spread(late)}; "
          f"reference waiter {spread(reference)}; extra over the reference with the same setup time {spread(extra)}")

    # Cost of the wait alone: a 20 s setup against a 10 s one cancels start-up,
    # detection and the box, leaving 10 s more of waiting.
    per_second, peaks, pairs = [], [], []
    for _ in range(args.cpu_pairs):
        cpu = {}
        for seconds in (10, 20):
            run = winebox.run_program(prefix, exe, tools, "win10", ("CANCEL",), (),
                                      winebox.Layout(package=True,
                                                     env=(("DBSETUP_STANDIN_DELAY_MS", str(seconds * 1000)),)))
            cpu[seconds] = run.cpu_ms
            peaks.append(run.peak_ws_kb)
        per_second.append((cpu[20] - cpu[10]) / 10)
        pairs.append(f"{cpu[10]}/{cpu[20]}")
    print(f"processor time of the wait, ms per second of waiting (20 s setup minus 10 s setup, over 10 s): "
          f"{spread(per_second, 2)} from processor ms (10 s/20 s) {', '.join(pairs)}; peak working set under Wine and qemu, KiB: {spread(peaks)}")

    signature_check_cost(exe, tools, prefix, build / "bench", args.check_runs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
