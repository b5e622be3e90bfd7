#!/usr/bin/python3
"""Builds Tessaro-Holter.msi, the package through which Group Policy deploys the suite, with Debian's msitools:
wixl makes the database from Tessaro-Holter.wxs, and msibuild adds what this wixl cannot write (the Russian
texts, the custom actions, their places in the sequence).

    make_msi.py --medium medium/ --action-library SuiteProgramAction.dll --output Tessaro-Holter.msi
    make_msi.py --release 1:R311220 ...     (a given release instead of the medium's, for a test's older package)

The release is the medium's: the Version of Updater/ReleaseInfo and the newest dated package in backup/, the
two the installer records as the suite's DisplayVersion ("1.2021.03.01"). Windows Installer's ProductVersion
allows major.minor.build with major and minor below 256 and build below 65536, and compares the three as
numbers in that order, so the release maps to
    Version . (year - 2000) . (month * 100 + day)        "1.2021.03.01" -> "1.21.301"
which orders releases as their Version and then their date order them. The ProductCode is a name-based UUID
(SHA-1) of that ProductVersion under the UpgradeCode, so a release always builds the same codes; the
PackageCode also covers the package's inputs, so that two different packages never share one."""
import argparse
import datetime
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import uuid
import xml.etree.ElementTree as ElementTree
from pathlib import Path

HERE = Path(__file__).resolve().parent
WXS = HERE / "Tessaro-Holter.wxs"
TABLES = [HERE / "CustomAction.idt", HERE / "LaunchCondition.idt"]
SEQUENCE = HERE / "InstallExecuteSequence.idt"

# The same for every release: it is how a newer package finds the older one it replaces.
UPGRADE_CODE = uuid.UUID("845D3ED8-A83B-446F-B8A6-5CA095858560")
PRODUCT_NAME = "Тессаро-Холтер"
# As the programs' version information names the publisher, so that scripts/sign finds one name in both.
MANUFACTURER = "ООО «Тессаро Медикал»"
# The database's code page: the one Windows uses for Russian, which holds every character of the texts.
CODEPAGE = 1251
# The properties the upgrade finds. Windows Installer hands a public property to the part of an installation
# that runs as SYSTEM when an administrator starts it, when a transform of the package sets it, or when it is
# listed here: listed, it would come from anyone who may start a repair of the installed package, which Group
# Policy lets a standard user do. The folder, the log and the switches are therefore not listed: a standard
# user's repair must never start Setup.exe as SYSTEM into a folder, or with a log, of that user's choosing.
SECURE_PROPERTIES = ["OLDERFOUND", "NEWERFOUND"]
# The properties that must never be listed there.
UNSECURED_PROPERTIES = ["INSTALLDIR", "SETUPLOG", "NODRIVER", "WINDOWSXP"]
# Package folders the installer never runs.
IGNORED_PACKAGES = {"WithOutAnswer"}


class PackageError(Exception):
    pass


def release_date(package):
    """The date at the end of a package folder's name (DDMMYY, this century)."""
    digits = package[-6:]
    if len(package) < 6 or not digits.isdigit():
        raise PackageError(f"the release package {package!r} does not end in its date (DDMMYY)")
    try:
        return datetime.date(2000 + int(digits[4:6]), int(digits[2:4]), int(digits[0:2]))
    except ValueError:
        raise PackageError(f"the release package {package!r} ends in no date (DDMMYY)") from None


def product_version(version, package):
    """The ProductVersion of a release: its Version and its package's date, as the module's text says."""
    if not re.fullmatch(r"[0-9]{1,9}", version or "") or int(version) > 255:
        raise PackageError(f"the release's Version {version!r} is no number from 0 to 255, which is all a "
                           f"Windows Installer ProductVersion can hold")
    date = release_date(package)
    return f"{int(version)}.{date.year - 2000}.{date.month * 100 + date.day}"


def product_code(version):
    return "{" + str(uuid.uuid5(UPGRADE_CODE, "ProductCode " + version)).upper() + "}"


def package_code(version, inputs):
    digest = hashlib.sha256()
    for data in inputs:
        digest.update(hashlib.sha256(data).digest())
    return "{" + str(uuid.uuid5(UPGRADE_CODE, f"PackageCode {version} {digest.hexdigest()}")).upper() + "}"


def medium_release(medium):
    """The Version of the medium's release file and the newest of its dated packages, as the installer sees
    them."""
    info = medium / "Updater" / "ReleaseInfo"
    try:
        root = ElementTree.parse(info).getroot()
    except (OSError, ElementTree.ParseError) as error:
        raise PackageError(f"{info} cannot be read: {error}") from None
    version = (root.findtext("Version") or "").strip()
    backup = medium / "backup"
    packages = sorted((p.name for p in backup.iterdir() if p.is_dir() and not p.name.startswith(".") and
                       p.name not in IGNORED_PACKAGES), key=str.casefold) if backup.is_dir() else []
    if not packages:
        raise PackageError(f"{backup} holds no release package")
    # Of equal dates the first in the list, as the installer chooses.
    newest = max(packages, key=lambda p: (release_date(p), -packages.index(p)))
    return version, newest


def run(*command, cwd=None):
    done = subprocess.run([str(c) for c in command], cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, errors="replace")
    # msibuild reports a failed import on its error stream and still ends with 0; wixl warns of attributes it
    # ignores. Either means the package is not what its sources say.
    complaint = re.search(r"failed|CRITICAL|WARNING|has no property named|[Ee]rror", done.stderr)
    if done.returncode != 0 or complaint:
        raise PackageError(f"{Path(command[0]).name} failed ({done.returncode}): {done.stderr.strip()[-2000:]}")
    return done.stdout


def read_table(package, table):
    """A table's rows as lists of fields, as msiinfo exports them (after three lines of column names, types
    and keys)."""
    text = run("msiinfo", "export", package, table)
    return [line.split("\t") for line in text.replace("\r\n", "\n").split("\n")[3:] if line]


def idt(columns, types, keys, rows):
    lines = ["\t".join(columns), "\t".join(types), "\t".join(keys)] + ["\t".join(row) for row in rows]
    return "\r\n".join(lines) + "\r\n"


def quoted(text):
    return "'" + text.replace("'", "''") + "'"


def build(version, package, library, output):
    pv = product_version(version, package)
    inputs = [WXS.read_bytes(), SEQUENCE.read_bytes(), Path(__file__).read_bytes(), library.read_bytes()]
    inputs += [table.read_bytes() for table in TABLES]
    codes = {"UpgradeCode": str(UPGRADE_CODE).upper(), "ProductVersion": pv, "ProductCode": product_code(pv),
             "PackageCode": package_code(pv, inputs), "ActionLibrary": library.name}
    with tempfile.TemporaryDirectory(prefix="tessaro-msi.") as scratch:
        work = Path(scratch)
        msi = work / "package.msi"
        # wixl finds a SourceFile only by a name relative to its current folder.
        shutil.copyfile(library, work / library.name)
        run("wixl", "--arch", "x86", *[a for k, v in codes.items() for a in ("-D", f"{k}={v}")], "-o", msi, WXS,
            cwd=work)

        # The code page first: without it, msibuild garbles or crashes on the Russian texts.
        (work / "_ForceCodepage.idt").write_text(idt([""], [""], [str(CODEPAGE), "_ForceCodepage"], []),
                                                 encoding="ascii")
        run("msibuild", msi, "-i", "_ForceCodepage.idt", cwd=work)
        for table in TABLES:
            shutil.copyfile(table, work / table.name)
            run("msibuild", msi, "-i", table.name, cwd=work)

        # wixl's standard actions with ours among them; a row of ours moves a standard action.
        sequence = {row[0]: row for row in read_table(msi, "InstallExecuteSequence")}
        ours = SEQUENCE.read_text(encoding="utf-8").replace("\r\n", "\n").split("\n")
        for line in ours[3:]:
            if line:
                row = line.split("\t")
                sequence[row[0]] = row
        rows = sorted(sequence.values(), key=lambda row: int(row[2]))
        (work / SEQUENCE.name).write_text(idt(*[ours[i].split("\t") for i in range(3)], rows), encoding="utf-8")
        run("msibuild", msi, "-i", SEQUENCE.name, cwd=work)

        run("msibuild", msi,
            "-q", f"UPDATE `Property` SET `Value` = {quoted(PRODUCT_NAME)} WHERE `Property` = 'ProductName'",
            "-q", f"UPDATE `Property` SET `Value` = {quoted(MANUFACTURER)} WHERE `Property` = 'Manufacturer'",
            "-q", f"UPDATE `Property` SET `Value` = {quoted(';'.join(SECURE_PROPERTIES))} "
                  f"WHERE `Property` = 'SecureCustomProperties'",
            "-s", PRODUCT_NAME, MANUFACTURER, "Intel;1049", codes["PackageCode"])
        verify(msi, codes, rows)
        output.parent.mkdir(parents=True, exist_ok=True)
        partial = output.with_name(output.name + ".partial")
        shutil.copyfile(msi, partial)
        os.replace(partial, output)
    return codes


def verify(msi, codes, sequence):
    """What msibuild did not say it failed to do: every table as it was meant to be."""
    properties = dict(row[:2] for row in read_table(msi, "Property"))
    wanted = {"ProductName": PRODUCT_NAME, "Manufacturer": MANUFACTURER, "ProductCode": codes["ProductCode"],
              "ProductVersion": codes["ProductVersion"], "SecureCustomProperties": ";".join(SECURE_PROPERTIES)}
    wrong = [f"{k}={properties.get(k)!r}" for k, v in wanted.items() if properties.get(k) != v]
    for table in TABLES:
        lines = table.read_text(encoding="utf-8").replace("\r\n", "\n").split("\n")
        width = len(lines[0].split("\t"))
        got = {tuple(row[:width]) for row in read_table(msi, table.stem)}
        wrong += [f"{table.stem} lacks {line!r}" for line in lines[3:]
                  if line and tuple(line.split("\t")) not in got]
    got_sequence = {tuple(row) for row in read_table(msi, "InstallExecuteSequence")}
    wrong += [f"InstallExecuteSequence lacks {row}" for row in sequence if tuple(row) not in got_sequence]
    if wrong:
        raise PackageError("the package came out wrong: " + "; ".join(wrong))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--medium", type=Path, help="the medium's source folder (its release is packaged)")
    source.add_argument("--release", help="VERSION:PACKAGE, e.g. 1:R311220")
    parser.add_argument("--action-library", type=Path, required=True)
    parser.add_argument("--output", type=Path, required=True)
    args = parser.parse_args()
    try:
        if args.medium:
            version, package = medium_release(args.medium)
        else:
            version, _, package = args.release.partition(":")
        codes = build(version, package, args.action_library, args.output)
    except PackageError as error:
        print(f"make_msi.py: {error}", file=sys.stderr)
        return 1
    print(f"{args.output}: ProductVersion {codes['ProductVersion']}, ProductCode {codes['ProductCode']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
