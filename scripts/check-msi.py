#!/usr/bin/python3
"""Checks of the medium's Tessaro-Holter.msi that need no Wine, read with msitools' msiinfo: the release's
version and codes, the tables the package relies on (the deferred custom actions that run as SYSTEM, their
places in the sequence, the upgrade, the searches in the 32-bit registry, the hidden entry), its custom action
library, that it carries none of the medium's files, and that the same inputs build the same codes; and
make_msi.py's version mapping and release choice, from tables.
Prints "check ok NAME" or "check FAILED NAME: reason" per check; exits 1 when any failed.
    scripts/check-msi.py build/win/medium/Tessaro-Holter.msi [--machine i386|amd64] [--medium FOLDER]
--medium names the folder the package's release is read from (default: the demo medium, medium/), the same
folder its build was given (TESSARO_MEDIUM_SOURCE, docs/release.md)."""
import argparse
import re
import subprocess
import sys
import tempfile
from pathlib import Path

import pefile

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "medium" / "src" / "msi"))
import make_msi  # noqa: E402

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
# Small: it carries nothing but its tables and the custom action library.
MAX_SIZE = 100 * 1024
# CustomAction types: a DLL from the Binary table, run from the installation script, not impersonating.
DLL_IN_BINARY = 1
IN_SCRIPT = 0x400
NO_IMPERSONATE = 0x800
# Upgrade attributes, and the RegLocator type bit that reads the 64-bit view.
ONLY_DETECT = 2
MIN_INCLUSIVE = 0x100
MAX_INCLUSIVE = 0x200
LOCATOR_64BIT = 0x10

failed = 0


def report(name, problems):
    global failed
    problems = [p for p in problems if p]
    failed += bool(problems)
    print(f"check FAILED {name}: {'; '.join(problems)}" if problems else f"check ok {name}")


def version_tuple(text):
    return tuple(int(part) for part in text.split("."))


def check_version_mapping():
    # Release (Version, package folder) -> ProductVersion.
    cases = [("1", "R010321", "1.21.301"), ("1", "R311220", "1.20.1231"), ("01", "R010100", "1.0.101"),
             ("12", "Пакет150699", "12.99.615"), ("255", "R311299", "255.99.1231"), ("0", "R290224", "0.24.229")]
    problems = []
    for version, package, expected in cases:
        try:
            got = make_msi.product_version(version, package)
        except make_msi.PackageError as error:
            got = f"refused ({error})"
        if got != expected:
            problems.append(f"{version}/{package}: {got}, not {expected}")
    report("ProductVersion of a release", problems)

    refused = [("256", "R010321"), ("", "R010321"), ("1a", "R010321"), ("-1", "R010321"), ("1", "R0103"),
               ("1", "R01032A"), ("1", "R320121"), ("1", "R311321"), ("1", "R290221"), ("1", "R000121")]
    problems = []
    for version, package in refused:
        try:
            problems.append(f"{version}/{package} gave {make_msi.product_version(version, package)}")
        except make_msi.PackageError:
            pass
    report("a release ProductVersion cannot hold is refused", problems)

    # Releases in the order they come out: a later date, then a later Version; Windows Installer compares
    # the three fields as numbers.
    releases = [("1", "R010100"), ("1", "R020100"), ("1", "R310100"), ("1", "R010200"),
                ("1", "R311200"), ("1", "R010101"), ("1", "R311220"), ("1", "R010321"), ("1", "R311299"),
                ("2", "R010100"), ("10", "R010100"), ("255", "R311299")]
    versions = [version_tuple(make_msi.product_version(v, p)) for v, p in releases]
    problems = [f"{releases[i]} -> {versions[i]} does not follow {releases[i - 1]} -> {versions[i - 1]}"
                for i in range(1, len(versions)) if versions[i] <= versions[i - 1]]
    problems += [f"{v} holds a field too large" for v in versions if v[0] > 255 or v[1] > 255 or v[2] > 65535]
    report("ProductVersions order releases as they come out", problems)


def check_release_choice():
    # The folders of backup/ -> the package whose release is packaged, as the installer chooses it.
    cases = [(["R311220", "R010321", "WithOutAnswer"], "R010321"), (["R010321", "R311220"], "R010321"),
             (["R010100", "r150699"], "r150699"), (["B010321", "A010321"], "A010321"),
             ([".hidden999999", "R010100"], "R010100")]
    problems = []
    with tempfile.TemporaryDirectory(prefix="tessaro-msi-check.") as scratch:
        for i, (folders, expected) in enumerate(cases):
            medium = Path(scratch) / str(i)
            (medium / "Updater").mkdir(parents=True)
            (medium / "Updater" / "ReleaseInfo").write_text("<ROOT><Version> 3 </Version></ROOT>",
                                                            encoding="utf-8")
            for folder in folders:
                (medium / "backup" / folder).mkdir(parents=True)
            try:
                got = make_msi.medium_release(medium)
            except make_msi.PackageError as error:
                got = f"refused ({error})"
            if got != ("3", expected):
                problems.append(f"{folders}: {got}, not {expected}")
        for name, folders in (("no package", []), ("an undated package", ["R010321", "Latest"])):
            medium = Path(scratch) / name
            (medium / "Updater").mkdir(parents=True)
            (medium / "Updater" / "ReleaseInfo").write_text("<ROOT><Version>1</Version></ROOT>", encoding="utf-8")
            (medium / "backup").mkdir()
            for folder in folders:
                (medium / "backup" / folder).mkdir()
            try:
                problems.append(f"{name}: {make_msi.medium_release(medium)}")
            except make_msi.PackageError:
                pass
    report("the release is the Version and the newest dated package", problems)

    codes = {v: make_msi.product_code(v) for v in ("1.21.301", "1.20.1231", "1.21.302")}
    problems = [f"{v}: {c} is not a braced upper-case GUID" for v, c in codes.items()
                if len(c) != 38 or c != c.upper() or not c.startswith("{")]
    if len(set(codes.values())) != len(codes) or make_msi.product_code("1.21.301") != codes["1.21.301"]:
        problems.append(f"not one stable code per version: {codes}")
    if make_msi.package_code("1.21.301", [b"a"]) == make_msi.package_code("1.21.301", [b"b"]):
        problems.append("two packages of different inputs share a PackageCode")
    report("codes are stable per release and differ between releases", problems)


def evaluate(condition, values):
    """A Windows Installer condition for the given property values (an unset property is empty), with the
    operators the package's sequence uses: OR, AND, NOT, parentheses, = <> ~= (letter case aside) and ><
    (contains), properties and quoted texts."""
    tokens = re.findall(r'"[^"]*"|~=|<>|><|=|\(|\)|[A-Za-z_][A-Za-z0-9_.]*', condition)
    at = 0

    def peek():
        return tokens[at] if at < len(tokens) else None

    def take():
        nonlocal at
        at += 1
        return tokens[at - 1]

    def value(token):
        return token[1:-1] if token.startswith('"') else values.get(token, "")

    def factor():
        if peek() == "NOT":
            take()
            return not factor()
        if peek() == "(":
            take()
            result = either()
            take()
            return result
        left = value(take())
        if peek() not in ("=", "<>", "~=", "><"):
            return bool(left)
        operator, right = take(), value(take())
        return {"=": left == right, "<>": left != right, "~=": left.lower() == right.lower(),
                "><": right in left}[operator]

    def both():
        result = factor()
        while peek() == "AND":
            take()
            result = factor() and result
        return result

    def either():
        result = both()
        while peek() == "OR":
            take()
            result = both() or result
        return result

    return either()


def check_reinstall_conditions(conditions):
    """Problems with the actions that start the wizard: a repair by a standard user must start none, and the
    conditions must still start it on a first installation and an administrator's repair."""
    problems = []
    for name, condition in conditions.items():
        if not condition:
            problems.append(f"{name} is not in the sequence")
            continue
        cases = [({"REINSTALL": "ALL", "Installed": "1"}, False, "a standard user's repair"),
                 ({"REINSTALL": "ALL", "Installed": "1", "AdminUser": "1"}, True, "an administrator's repair"),
                 ({}, True, "a first installation"),
                 ({"AdminUser": "1"}, True, "an administrator's first installation")]
        for values, wanted, what in cases:
            if evaluate(condition, values) != wanted:
                problems.append(f"{name} ({condition}) {'does not start' if wanted else 'starts'} on {what}")
    return problems


def table(package, name):
    return make_msi.read_table(package, name)


def check_package(package, machine, medium):
    properties = dict(row[:2] for row in table(package, "Property"))
    version = make_msi.product_version(*make_msi.medium_release(medium))
    wanted = {"ProductVersion": version, "ProductCode": make_msi.product_code(version),
              "UpgradeCode": "{" + str(make_msi.UPGRADE_CODE).upper() + "}", "ProductName": make_msi.PRODUCT_NAME,
              "Manufacturer": make_msi.MANUFACTURER, "ALLUSERS": "1", "ARPSYSTEMCOMPONENT": "1",
              "ProductLanguage": "1049", "TH_QUOTE": '"'}
    problems = [f"{k}={properties.get(k)!r}, not {v!r}" for k, v in wanted.items() if properties.get(k) != v]
    secure = set(properties.get("SecureCustomProperties", "").split(";"))
    problems += [f"{p} is not a secure property" for p in ("OLDERFOUND", "NEWERFOUND") if p not in secure]
    summary = subprocess.run(["msiinfo", "suminfo", package], capture_output=True, text=True).stdout
    for line in ("Template: Intel;1049", f"Author: {make_msi.MANUFACTURER}", f"Subject: {make_msi.PRODUCT_NAME}"):
        if line not in summary.splitlines():
            problems.append(f"the summary lacks {line!r}")
    report("the release's version, codes and names; its own entry hidden", problems)

    # A standard user may start a repair of a package Group Policy installed: nothing of theirs may reach the
    # part that runs as SYSTEM, and a repair starts the wizard only for an administrator.
    problems = [f"{p} is a secure property: a standard user's repair hands it to SYSTEM" for p in
                make_msi.UNSECURED_PROPERTIES if p in secure]
    conditions = {row[0]: row[1] for row in table(package, "InstallExecuteSequence")}
    # ResolveSource, and the action that begins the command line the deferred action starts.
    starters = ["ResolveSource"] + [row[0] for row in table(package, "CustomAction")
                                    if row[2] == "TH_InstallSuite" and not row[3].startswith("[TH_InstallSuite]")]
    problems += check_reinstall_conditions({name: conditions.get(name, "") for name in starters})
    report("a repair starts the wizard only for an administrator; no user's property reaches SYSTEM", problems)

    actions = {row[0]: row for row in table(package, "CustomAction")}
    problems = []
    for name, entry in (("TH_InstallSuite", "InstallSuite"), ("TH_RemoveSuite", "RemoveSuite")):
        row = actions.get(name)
        if not row:
            problems.append(f"no {name}")
            continue
        kind = int(row[1])
        if kind & 0x3F != DLL_IN_BINARY or not kind & IN_SCRIPT or not kind & NO_IMPERSONATE:
            problems.append(f"{name} is of type {kind}, not a deferred DLL action that runs as SYSTEM")
        if row[2:4] != ["SuiteProgramAction", entry]:
            problems.append(f"{name} calls {row[2:4]}")
    report("the suite's programs are started by deferred actions that run as SYSTEM", problems)

    sequence = {row[0]: (int(row[2]), row[1]) for row in table(package, "InstallExecuteSequence")}
    order = ["FindRelatedProducts", "AppSearch", "LaunchConditions", "TH_RefuseQuotedFolder", "ResolveSource",
             "TH_PrepareInstall", "TH_AddFolderSwitch", "TH_PrepareRemove", "InstallInitialize",
             "TH_RemoveSuite", "WriteRegistryValues", "PublishProduct", "TH_InstallSuite", "InstallFinalize",
             "RemoveExistingProducts"]
    problems = [f"{name} is not in the sequence" for name in order if name not in sequence]
    ranked = [name for name in order if name in sequence]
    problems += [f"{a} does not come before {b}" for a, b in zip(ranked, ranked[1:])
                 if sequence[a][0] >= sequence[b][0]]
    removal = sequence.get("TH_PrepareRemove", (0, ""))[1]
    needed = ('REMOVE~="ALL"', "NOT UPGRADINGPRODUCTCODE", "TH_SUITE_OWNER = ProductCode")
    problems += [f"the removal's condition lacks {part!r}" for part in needed if part not in removal]
    if "NOT Installed" not in sequence.get("TH_PrepareInstall", (0, ""))[1]:
        problems.append("the installation is not limited to a first installation or a repair")
    report("the sequence: refusals first, the suite's programs in the script, the older package last", problems)

    rows = table(package, "Upgrade")
    upgrade = "{" + str(make_msi.UPGRADE_CODE).upper() + "}"
    older = [r for r in rows if r[6:7] == ["OLDERFOUND"]]
    newer = [r for r in rows if r[6:7] == ["NEWERFOUND"]]
    problems = []
    if len(older) != 1 or older[0][0] != upgrade or older[0][2] != version or int(older[0][4]) & (
            ONLY_DETECT | MAX_INCLUSIVE) or not int(older[0][4]) & MIN_INCLUSIVE:
        problems.append(f"no row that replaces every older release: {older}")
    if len(newer) != 1 or newer[0][0] != upgrade or newer[0][1] != version or newer[0][2] or not int(
            newer[0][4]) & ONLY_DETECT or int(newer[0][4]) & MIN_INCLUSIVE:
        problems.append(f"no row that only detects a newer release: {newer}")
    conditions = [row[0] for row in table(package, "LaunchCondition")]
    if "NOT NEWERFOUND OR Installed" not in conditions:
        problems.append(f"a newer release is not refused: {conditions}")
    report("the upgrade replaces older releases and refuses to replace a newer one", problems)

    locators = {row[0]: row for row in table(package, "RegLocator")}
    searches = {row[0]: row[1] for row in table(package, "AppSearch")}
    problems = []
    for prop, key, value in (("TH_SUITE_FOLDER", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                              "TessaroHolter", "InstallLocation"),
                             ("TH_SUITE_OWNER", "Software\\TessaroHolter", "MsiProductCode")):
        row = locators.get(searches.get(prop, ""))
        if not row or row[1:4] != ["2", key, value] or int(row[4]) & LOCATOR_64BIT:
            problems.append(f"{prop} is not read from HKLM\\{key} {value} in the 32-bit view: {row}")
    registry = table(package, "Registry")
    if [r[1:5] for r in registry] != [["2", "Software\\TessaroHolter", "MsiProductCode", "[ProductCode]"]]:
        problems.append(f"the package writes {registry}")
    report("the suite's registration is read from the 32-bit view", problems)

    problems = []
    if table(package, "File") or table(package, "Media"):
        problems.append("it carries files")
    size = Path(package).stat().st_size
    if size > MAX_SIZE:
        problems.append(f"{size} bytes, more than {MAX_SIZE}")
    library = subprocess.run(["msiinfo", "extract", package, "Binary.SuiteProgramAction"], capture_output=True)
    try:
        pe = pefile.PE(data=library.stdout)
        exports = {e.name.decode() for e in pe.DIRECTORY_ENTRY_EXPORT.symbols if e.name}
        if pe.FILE_HEADER.Machine != MACHINES[machine]:
            problems.append(f"the library is for machine {pe.FILE_HEADER.Machine:#x}, not {machine}")
        if not {"InstallSuite", "RemoveSuite"} <= exports:
            problems.append(f"the library exports {sorted(exports)}")
        imports = {i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT}
        if not imports <= {"kernel32.dll", "msi.dll", "msvcrt.dll", "wintrust.dll", "crypt32.dll"}:
            problems.append(f"the library imports {sorted(imports)}")
    except (pefile.PEFormatError, AttributeError) as error:
        problems.append(f"no custom action library: {error}")
    report(f"small, without the medium's files ({size} bytes), with its library", problems)

    # The same inputs again: the same codes, whatever the build.
    problems = []
    with tempfile.TemporaryDirectory(prefix="tessaro-msi-check.") as scratch:
        copy = Path(scratch) / "SuiteProgramAction.dll"
        copy.write_bytes(library.stdout)
        try:
            codes = make_msi.build(*make_msi.medium_release(medium), copy, Path(scratch) / "again.msi")
            again = dict(row[:2] for row in table(Path(scratch) / "again.msi", "Property"))
            if again.get("ProductCode") != properties.get("ProductCode"):
                problems.append(f"ProductCode {again.get('ProductCode')} the second time")
            revision = [line for line in summary.splitlines() if line.startswith("Revision number")]
            if revision != [f"Revision number (UUID): {codes['PackageCode']}"]:
                problems.append(f"PackageCode {codes['PackageCode']} the second time, {revision} the first")
        except make_msi.PackageError as error:
            problems.append(str(error))
    report("the same inputs build the same codes", problems)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("package")
    parser.add_argument("--machine", choices=sorted(MACHINES), default="i386")
    parser.add_argument("--medium", type=Path, default=ROOT / "medium")
    args = parser.parse_args()
    check_version_mapping()
    check_release_choice()
    try:
        check_package(args.package, args.machine, args.medium)
    except make_msi.PackageError as error:
        report("the package can be read", [str(error)])
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
