#!/usr/bin/python3
"""Measures DBSetup.exe: size, how soon its first box appears, how late it sees
the setup's end, and what it costs while it waits. Each figure is the median
and spread of repeated runs under Wine; run it on demand, not as a test.

  bench/run_bench.py [--runs N] [--build build/host] [--seed S]
"""
import argparse
import random
import statistics
import sys
from dataclasses import replace
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import winebox  # noqa: E402

SIZE_BUDGET = 32 * 1024


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


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--build", default=str(ROOT / "build" / "host"))
    parser.add_argument("--seed", type=int, default=None, help="for the setup's random run times")
    parser.add_argument("--cpu-pairs", type=int, default=3, help="runs with a 10 s and a 20 s setup")
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
    return 0


if __name__ == "__main__":
    sys.exit(main())
