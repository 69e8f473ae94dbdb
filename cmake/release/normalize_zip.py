#!/usr/bin/env python3
"""Writes a zip again from its own entries, in name order, each with the one time stamp given
(seconds since 1970, UTC), a fixed Unix mode and no extra fields: the archive then depends on the
files' contents alone. CPack's archive writer also stores each file's change time, which no one
can set to a fixed value.

    normalize_zip.py ARCHIVE EPOCH
"""
import os
import sys
import time
import zipfile


def main():
    path, epoch = sys.argv[1], int(sys.argv[2])
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
    with zipfile.ZipFile(path) as source:
        entries = [(info, source.read(info)) for info in source.infolist()]
    temporary = path + ".tmp"
    with zipfile.ZipFile(temporary, "w") as target:
        for info, data in sorted(entries, key=lambda entry: entry[0].filename):
            fresh = zipfile.ZipInfo(info.filename, date_time=stamp)
            fresh.create_system = 3  # Unix, so that the mode below is read as such
            if info.is_dir():
                # Folders are made by the packer, with the umask's mode: one fixed mode instead.
                fresh.external_attr = (0o40755 << 16) | 0x10
                target.writestr(fresh, b"")
            else:
                fresh.external_attr = info.external_attr  # the mode that install() gave the file
                fresh.compress_type = zipfile.ZIP_DEFLATED
                target.writestr(fresh, data, compresslevel=9)
    os.replace(temporary, path)


if __name__ == "__main__":
    main()
