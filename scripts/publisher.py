#!/usr/bin/python3
"""Prints the publisher a Windows program names in its version information (CompanyName), or a Windows
Installer package in its summary information (Author, read with msitools' msiinfo), the name that its
code-signing certificate must carry as well. Prints nothing for a file that names none.
    scripts/publisher.py FILE.exe|FILE.msi"""
import subprocess
import sys

import pefile

# The first bytes of a compound document, the file format of a Windows Installer package.
COMPOUND_DOCUMENT = bytes.fromhex("D0CF11E0A1B11AE1")


def package_author(path):
    """The Author of a package's summary information, or None."""
    try:
        done = subprocess.run(["msiinfo", "suminfo", str(path)], stdin=subprocess.DEVNULL, capture_output=True,
                              text=True, errors="replace", timeout=60)
    except OSError as error:
        raise OSError(f"msiinfo cannot be run ({error}): install Debian's msitools") from None
    if done.returncode != 0:
        raise OSError(f"not a Windows Installer package: {done.stderr.strip()[-300:]}")
    for line in done.stdout.splitlines():
        if line.startswith("Author: "):
            return line[len("Author: "):].strip() or None
    return None


def company_name(path):
    """The CompanyName of the first string table that has one, or a package's Author; None without one."""
    with open(path, "rb") as file:
        if file.read(len(COMPOUND_DOCUMENT)) == COMPOUND_DOCUMENT:
            return package_author(path)
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    for file_info in getattr(pe, "FileInfo", []):
        for entry in file_info:
            for table in getattr(entry, "StringTable", []):
                name = table.entries.get(b"CompanyName")
                if name:
                    return name.decode("utf-8")
    return None


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        name = company_name(sys.argv[1])
    except (OSError, pefile.PEFormatError) as error:
        print(f"publisher.py: {sys.argv[1]}: {error}", file=sys.stderr)
        return 1
    if name:
        print(name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
