#!/usr/bin/python3
"""Prints the publisher a Windows program names in its version information (CompanyName), the name that
its code-signing certificate must carry as well. Prints nothing for a program without version information.
    scripts/publisher.py FILE.exe"""
import sys

import pefile


def company_name(path):
    """The CompanyName of the first string table that has one, or None."""
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
