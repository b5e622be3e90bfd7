#!/usr/bin/env python3
"""The figures of scripts/bench-install, from its record of the rounds and the wizard's run logs.

    install_figures.py TIMES

TIMES holds one line per run: contender, round, milliseconds to the end of the run, milliseconds to the end
of the sync after it, and the run log's path (or "-"), separated by tabs. The contenders are "wizard",
"cp", "nsis" and, when a second build of the wizard took part, "baseline".
"""
import re
import sys

LABELS = {
    "wizard": "wizard (Setup.exe /VERYSILENT)",
    "cp": "cp -r and sync",
    "nsis": "NSIS CopyFiles (/S)",
    "baseline": "baseline wizard (/VERYSILENT)",
}
SMALL_FILE = 64 * 1024
DATABASE = "T12.FDB"
# The wizard writes one such line per copied file and per timed step (src/install/steps/DatabaseServer.cpp and
# InstallRun.cpp); the tag is the run log's "Сведения: ".
COPY_LINE = re.compile(r"Сведения: Копирование файла (?P<name>.+)\.\.\.\. (?P<size>\d+) байт, (?P<ms>\d+) мс: ")
STEP_LINE = re.compile(r"Сведения: (?P<step>[^:]+): (?P<ms>\d+) мс$")


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def read_log(path):
    """The copied files as (name, size, ms) and the timed steps as {step: ms} of one run log."""
    files, steps = [], {}
    with open(path, encoding="utf-8-sig", errors="replace") as log:
        for line in log:
            line = line.rstrip("\r\n")
            copy = COPY_LINE.search(line)
            if copy:
                files.append((copy["name"], int(copy["size"]), int(copy["ms"])))
                continue
            step = STEP_LINE.search(line)
            if step and not step["step"].startswith("Копирование файла"):
                steps[step["step"]] = int(step["ms"])
    return files, steps


def read_times(path):
    runs = {}
    with open(path, encoding="utf-8") as times:
        for line in times:
            if not line.strip():
                continue
            contender, _round, ms, synced, log = line.rstrip("\n").split("\t")
            runs.setdefault(contender, []).append((float(ms), float(synced), None if log == "-" else log))
    return runs


def spread(values):
    return f"{median(values):.0f} ms ({min(values):.0f}..{max(values):.0f})"


def log_figures(name, logs):
    out = []
    parsed = [read_log(log) for log in logs]
    steps = {}
    for _files, run_steps in parsed:
        for step, ms in run_steps.items():
            steps.setdefault(step, []).append(ms)
    if steps:
        out.append(f"  {name}'s steps (run log, median of {len(parsed)}): " +
                   ", ".join(f"{step} {median(ms):.0f} ms" for step, ms in steps.items()))
    small = [ms for files, _ in parsed for _name, size, ms in files if size < SMALL_FILE]
    database = [ms for files, _ in parsed for file, _size, ms in files if file == DATABASE]
    if not small and not database:
        out.append(f"  {name}'s run log names no copied file with its size and time")
        return out
    if small:
        out.append(f"  {name}, files under 64 KiB: {len(small) // len(parsed)} a run, "
                   f"median {median(small):.0f} ms, max {max(small)} ms each (all runs)")
    if database:
        out.append(f"  {name}, {DATABASE}: " + ", ".join(f"{ms} ms" for ms in database) +
                   f" (median {median(database):.0f} ms)")
    return out


def figures(runs):
    out = []
    rounds = max(len(r) for r in runs.values())
    out.append(f"medians of {rounds} rounds (least..most):")
    for contender in LABELS:
        if contender not in runs:
            continue
        done = [ms for ms, _, _ in runs[contender]]
        line = f"  {LABELS[contender]}: {spread(done)}"
        if contender != "cp":
            line += f"; to the end of the sync after it {spread([synced for _, synced, _ in runs[contender]])}"
        out.append(line)

    def ratio(a, b, synced=False):
        if a not in runs or b not in runs:
            return None
        pick = 1 if synced else 0
        return median([run[pick] for run in runs[a]]) / median([run[pick] for run in runs[b]])

    ratios = [("wizard / NSIS", ratio("wizard", "nsis")),
              ("wizard / (cp -r and sync)", ratio("wizard", "cp")),
              ("wizard / baseline", ratio("wizard", "baseline"))]
    shown = [f"{name} = {value:.2f}" for name, value in ratios if value is not None]
    if shown:
        out.append("ratios of the medians: " + ", ".join(shown))
    synced = ratio("wizard", "nsis", synced=True)
    if synced is not None:
        out.append(f"  with the sync after each, all data on the disk: wizard / NSIS = {synced:.2f}")
    for contender in ("wizard", "baseline"):
        logs = [log for _, _, log in runs.get(contender, []) if log]
        if logs:
            out.extend(log_figures(contender, logs))
    return out


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    print("\n".join(figures(read_times(argv[1]))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
