#!/usr/bin/env python3
"""The figures of scripts/bench-install, from its record of the rounds and the wizard's run logs.

    install_figures.py TIMES

TIMES holds one line per run: contender, round, milliseconds to the end of the run, milliseconds to the end
of the sync after it, the run log's path (or "-") and, for the Wine programs, the path of install_probe's
output (or "-"), separated by tabs. The contenders are "wizard", "cp", "nsis" and, when a second build of the
wizard took part, "baseline".
"""
import datetime
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
STAMP = re.compile(r"^(?P<stamp>\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) ")
PROBE_START = re.compile(r"^started at (?P<stamp>\S+ \S+), the process created after (?P<ms>[\d.]+) ms")
PROBE_RUN = re.compile(r"^run: (?P<ms>\d+) ms")
# Where the wall time of one run goes: each part of the run log ends at the first line after the previous
# part's that matches its pattern. A part whose line a run does not write (an older wizard's log) is counted
# with the next one.
LOG_PARTS = [
    ("the run's checks and settings files", re.compile(r"Шаг: Копирование файла T12\.FDB")),
    ("the database (T12.FDB, written and flushed)", re.compile(r"Сведения: Копирование файла T12\.FDB")),
    ("the server's files", re.compile(r"Сведения: База данных и файлы сервера: ")),
    ("fonts and driver", re.compile(r"Сведения: Драйвер интерфейсного блока: |Сведения: Шрифты: ")),
    ("the packages' and updater's copies", re.compile(r"Сведения: Пакеты и файлы программы обновления скопированы")),
    ("the wait for their flushes", re.compile(r"Сведения: Скопированные файлы записаны на диск")),
    ("the commit and the package's choice", re.compile(r"Сведения: Пакеты выпуска: ")),
    ("the package's script and release information",
     re.compile(r"Сведения: (Сценарий пакета выпуска и сведения о выпуске|Пакеты обновлений и сведения о выпуске): ")),
    ("shortcut, record and registration", re.compile(r"Сведения: Зарегистрирован в списке установленных программ")),
    ("the run's end to its last line", re.compile(r"Код завершения: ")),
]


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


def parse_stamp(text):
    return datetime.datetime.strptime(text, "%Y-%m-%d %H:%M:%S.%f")


def account(probe_path, log_path):
    """Where the wall time of one run went, as [(part, ms)] from the process's start to its end: the
    process's creation, the time before the run log's first line, the parts of the run (LOG_PARTS), and the
    time after its last line until the process was gone. None when the probe's output has no start time."""
    started = created = took = None
    with open(probe_path, encoding="utf-8", errors="replace") as probe:
        for line in probe:
            start = PROBE_START.match(line)
            if start:
                started, created = parse_stamp(start["stamp"]), float(start["ms"])
            run = PROBE_RUN.match(line)
            if run:
                took = float(run["ms"])
    if started is None or took is None:
        return None
    stamps = []
    with open(log_path, encoding="utf-8-sig", errors="replace") as log:
        for line in log:
            stamp = STAMP.match(line)
            if stamp:
                stamps.append((parse_stamp(stamp["stamp"]), line))
    if not stamps:
        return None

    def since(a, b):
        return (b - a).total_seconds() * 1000

    parts = [("the process's creation", created),
             ("before the run log's first line", since(started, stamps[0][0]) - created)]
    at, pending = 0, []
    for name, pattern in LOG_PARTS:
        found = next((i for i in range(at, len(stamps)) if pattern.search(stamps[i][1])), None)
        pending.append(name)
        if found is None:
            continue
        parts.append((" + ".join(pending), since(stamps[at][0], stamps[found][0])))
        at, pending = found, []
    if at < len(stamps) - 1:
        parts.append(("after the last part to the last line", since(stamps[at][0], stamps[-1][0])))
    parts.append(("after the last line until the process was gone", took - since(started, stamps[-1][0])))
    return parts


def account_figures(contenders):
    """The median of each part for each contender, side by side: {contender: [(probe, log)]}. A part's
    runs are those whose account names it (an older wizard's log counts some parts together)."""
    medians, order = {}, []
    for name, runs in contenders.items():
        for probe, log in runs:
            for part, ms in account(probe, log) or []:
                if part not in order:
                    order.append(part)
                medians.setdefault(name, {}).setdefault(part, []).append(ms)
    if not medians:
        return []
    out = ["where the wall time goes, part by part (medians; each contender's parts add up to its run):"]
    for part in order:
        out.append(f"  {part}: " + ", ".join(
            f"{name} {median(medians[name][part]):.0f} ms" if part in medians[name] else f"{name} -"
            for name in medians))
    return out


def read_times(path):
    runs = {}
    with open(path, encoding="utf-8") as times:
        for line in times:
            if not line.strip():
                continue
            fields = line.rstrip("\n").split("\t")
            contender, _round, ms, synced, log = fields[:5]
            probe = fields[5] if len(fields) > 5 and fields[5] != "-" else None
            runs.setdefault(contender, []).append(
                (float(ms), float(synced), None if log == "-" else log, probe))
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
        done = [run[0] for run in runs[contender]]
        line = f"  {LABELS[contender]}: {spread(done)}"
        if contender != "cp":
            line += f"; to the end of the sync after it {spread([run[1] for run in runs[contender]])}"
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
        logs = [run[2] for run in runs.get(contender, []) if run[2]]
        if logs:
            out.extend(log_figures(contender, logs))
    out.extend(account_figures({
        contender: [(run[3], run[2]) for run in runs[contender] if len(run) > 3 and run[3] and run[2]]
        for contender in ("wizard", "baseline") if contender in runs}))
    return out


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    print("\n".join(figures(read_times(argv[1]))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
