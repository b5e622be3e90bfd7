#!/usr/bin/python3
"""Checks of the shipping Setup.exe that need no Wine: the machine type, the imports (system DLLs only, nothing
that a clinic's PC might lack, and at start only those that no folder can stand in for), no test hooks, the
resources the program finds by name, the manifest and the size.
Prints "check ok NAME" or "check FAILED NAME: reason" per check; exits 1 when any failed.
    scripts/check-exe.py build/win/Setup.exe [--machine i386|amd64]"""
import argparse
import sys

import pefile

SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
               "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "version.dll",
               "windowscodecs.dll", "uxtheme.dll", "msimg32.dll"}
# Imported at start, before the program's first instruction can restrict the library search: Windows maps
# these from System32 as known DLLs. Not shell32 or shlwapi, though known DLLs too: Wine looks for their own
# imports (shcore) in the program's folder first and would take one planted there; the program loads shell32
# at its first use (src/win/ShellFunctions.cpp). Nor ole32 and oleaut32: known DLLs, but with rpcrt4 and
# combase below them they cost every start time before its first instruction; nor comctl32, which brings the
# themes and the display driver with it before any window is wanted, a /VERYSILENT run's too: the program
# loads these at their first call (src/win/ComFunctions.cpp, src/win/ComCtlFunctions.cpp).
STARTUP_DLLS = {"advapi32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "user32.dll"}
# The environment variables of the test build's hooks (tests/seams/TestSeams.cpp): whoever starts the shipped
# program, which runs with an administrator's rights, could set them.
TEST_HOOK_MARK = "TESSARO_E2E"
SKIN = ["BACKGROUND", "MAIN", "LOGO", "TITLE_PNL_L", "TITLE_PNL_R", "TITLE_PNL_M", "TITLE"]
STRINGS = {0: "Dedira", 1: "Тессаро - Холтер", 2: "Комплекс суточного мониторирования электрокардиограмм",
           4: "Shell.exe"}
MACHINES = {"i386": 0x14C, "amd64": 0x8664}
MAX_SIZE = 3 * 1024 * 1024

failed = 0


def report(name, problem):
    global failed
    if problem:
        failed += 1
        print(f"check FAILED {name}: {problem}")
    else:
        print(f"check ok {name}")


def resources(pe):
    """{(type, name): bytes} for every resource; names are ints or upper-case strings."""
    found = {}
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return found
    for kind in root.entries:
        kind_id = str(kind.name) if kind.name is not None else kind.id
        for entry in kind.directory.entries:
            name = str(entry.name).upper() if entry.name is not None else entry.id
            for lang in entry.directory.entries:
                data = lang.data.struct
                found[(kind_id, name)] = pe.get_data(data.OffsetToData, data.Size)
    return found


def string_table(found):
    """String resource id -> text, from the RT_STRING blocks of 16."""
    table = {}
    for (kind, block), data in found.items():
        if kind != pefile.RESOURCE_TYPE["RT_STRING"]:
            continue
        pos = 0
        for i in range(16):
            length = int.from_bytes(data[pos:pos + 2], "little")
            pos += 2
            if length:
                table[(block - 1) * 16 + i] = data[pos:pos + 2 * length].decode("utf-16-le")
            pos += 2 * length
    return table


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--machine", default="i386", choices=MACHINES)
    args = parser.parse_args()

    with open(args.exe, "rb") as f:
        image = f.read()
    pe = pefile.PE(data=image)

    machine = pe.FILE_HEADER.Machine
    report("machine", None if machine == MACHINES[args.machine] else f"0x{machine:X}, not {args.machine}")
    report("gui subsystem", None if pe.OPTIONAL_HEADER.Subsystem == 2 else "not a Windows GUI program")
    report("size", None if len(image) < MAX_SIZE else f"{len(image)} bytes, not under {MAX_SIZE}")

    imports = {e.dll.decode().lower() for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    foreign = sorted(imports - SYSTEM_DLLS)
    report("imports", f"needs {', '.join(foreign)}" if foreign else None)
    searched = sorted(imports - STARTUP_DLLS)
    report("imports at start", f"{', '.join(searched)} load before the program restricts the library "
           "search: load them at first use" if searched else None)

    hooks = [kind for kind, mark in (("ASCII", TEST_HOOK_MARK.encode("ascii")),
                                     ("UTF-16", TEST_HOOK_MARK.encode("utf-16-le"))) if mark in image]
    report("no test hooks", f"holds {TEST_HOOK_MARK} as {' and '.join(hooks)}: the test build's hooks "
           "(tests/seams/TestSeams.cpp) are in it" if hooks else None)

    found = resources(pe)
    rcdata = pefile.RESOURCE_TYPE["RT_RCDATA"]
    missing = [n for n in SKIN if (rcdata, n) not in found]
    not_png = [n for n in SKIN if (rcdata, n) in found and not found[(rcdata, n)].startswith(b"\x89PNG\r\n\x1a\n")]
    report("skin images", f"missing {missing}" if missing else (f"not PNG: {not_png}" if not_png else None))
    info = found.get((rcdata, "INFO"), b"")
    report("INFO document", None if info.startswith(b"{\\rtf") else "missing or not rich text")

    table = string_table(found)
    wrong = {k: table.get(k) for k, v in STRINGS.items() if table.get(k) != v}
    report("string table", f"differs at {wrong}" if wrong else None)

    manifest = found.get((pefile.RESOURCE_TYPE["RT_MANIFEST"], 1), b"").decode("utf-8", "replace")
    needed = ["PerMonitor", "Microsoft.Windows.Common-Controls", 'version="6.0.0.0"',
              'requestedExecutionLevel level="highestAvailable"']
    absent = [n for n in needed if n not in manifest]
    report("manifest", f"lacks {absent}" if absent else None)

    report("version information", None if any(k[0] == pefile.RESOURCE_TYPE["RT_VERSION"] for k in found)
           else "missing")
    report("icon", None if any(k[0] == pefile.RESOURCE_TYPE["RT_GROUP_ICON"] for k in found) else "missing")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
