#!/usr/bin/env python3
"""Makes the release package of telinv: NAME.zip with telinv.exe and README.txt, and
NAME.zip.sha256 beside it, in OUT_DIR; the telinv.exe that goes into the zip is kept in
OUT_DIR/package/telinv.exe.

The zip is the same bytes for the same inputs and release time stamp: entries in a fixed
order (telinv.exe, README.txt), each dated with the release time stamp read as UTC (a zip
entry's DOS date and time has no time zone; 1980-01-01 at the earliest, even seconds),
fixed permissions (Unix 0755 for the program, 0644 for the text, no DOS attributes), no
extra fields (no owner, no extended times), deflated at level 9, no comment.

Usage: make-package.py --exe telinv.exe --readme README.txt --epoch-file FILE
                       --name NAME --out-dir DIR
"""

import argparse
import hashlib
import os
import shutil
import sys
import time
import zipfile


class PackageError(Exception):
    pass


def say(text):
    print("package: " + text, flush=True)


def read_epoch(path):
    with open(path, encoding="ascii") as f:
        text = f.read().strip()
    if not text.isdigit():
        raise PackageError(f"{path} holds no release time stamp")
    return int(text)


def dos_date_time(epoch):
    """The release time stamp as a zip entry's date and time: UTC, within what a DOS date
    and time can hold (1980 to 2107), even seconds (zipfile stores seconds / 2)."""
    t = time.gmtime(epoch)
    if t.tm_year < 1980:
        return (1980, 1, 1, 0, 0, 0)
    if t.tm_year > 2107:
        return (2107, 12, 31, 23, 59, 58)
    return (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec - t.tm_sec % 2)


def zip_entry(name, date_time, mode):
    info = zipfile.ZipInfo(name, date_time)
    info.create_system = 3            # Unix: the permission bits below are what unzip uses
    info.create_version = 20
    info.extract_version = 20
    info.external_attr = (0o100000 | mode) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    info.extra = b""
    info.comment = b""
    return info


def write_zip(path, entries, epoch):
    """entries: (name in the zip, file, Unix permission bits), in the zip's order."""
    date_time = dos_date_time(epoch)
    with zipfile.ZipFile(path, "w") as z:
        for name, source, mode in entries:
            with open(source, "rb") as f:
                data = f.read()
            z.writestr(zip_entry(name, date_time, mode), data, compresslevel=9)


def main():
    parser = argparse.ArgumentParser(description="Makes telinv's release package.")
    parser.add_argument("--exe", required=True)
    parser.add_argument("--readme", required=True)
    parser.add_argument("--epoch-file", required=True)
    parser.add_argument("--name", required=True)
    parser.add_argument("--out-dir", required=True)
    args = parser.parse_args()

    out_dir = os.path.abspath(args.out_dir)
    zip_path = os.path.join(out_dir, args.name + ".zip")
    sum_path = zip_path + ".sha256"
    stage = os.path.join(out_dir, "package")
    staged = os.path.join(stage, "telinv.exe")
    # A failed run leaves no package behind that could be taken for this one.
    for path in (zip_path, sum_path, staged):
        if os.path.exists(path):
            os.remove(path)
    os.makedirs(stage, exist_ok=True)
    epoch = read_epoch(args.epoch_file)

    shutil.copyfile(args.exe, staged)
    note = "telinv.exe unsigned"
    say(note)

    partial = zip_path + ".part"
    try:
        write_zip(partial, [("telinv.exe", staged, 0o755), ("README.txt", args.readme, 0o644)], epoch)
        os.replace(partial, zip_path)
    finally:
        if os.path.exists(partial):
            os.remove(partial)
    with open(zip_path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(sum_path, "w", encoding="ascii", newline="\n") as f:
        f.write(f"{digest}  {args.name}.zip\n")
    say(f"{zip_path}: SHA-256 {digest}")


if __name__ == "__main__":
    try:
        main()
    except (PackageError, OSError) as e:
        print(f"package: error: {e}", file=sys.stderr)
        sys.exit(1)
