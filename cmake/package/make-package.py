#!/usr/bin/env python3
"""Makes the release package of telinv: NAME.zip with telinv.exe and README.txt, and
NAME.zip.sha256 beside it, in OUT_DIR; the telinv.exe that goes into the zip is kept in
OUT_DIR/package/telinv.exe.

The zip is the same bytes for the same inputs and release time stamp: entries in a fixed
order (telinv.exe, README.txt), each dated with the release time stamp read as UTC (a zip
entry's DOS date and time has no time zone; 1980-01-01 at the earliest, even seconds),
fixed permissions (Unix 0755 for the program, 0644 for the text, no DOS attributes), no
extra fields (no owner, no extended times), deflated at level 9, no comment.

Signing, from the environment (read here, when the package is made):
  TELINV_SIGN_PKCS12         a PKCS#12 file with the code-signing key and certificate
  TELINV_SIGN_PASSWORD       its password (may be empty, but must be set)
  TELINV_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server
With both of the first two, the copy of telinv.exe is signed (Authenticode, SHA-256, with
osslsigncode) before it is zipped. The password reaches osslsigncode through a file that
only this user can read (-readpass), made for the call and removed after it: it is never
on a command line, and never printed.

Reproducing someone else's signed release:
  TELINV_SIGNATURE_FROM      the published (signed) telinv.exe
The package then holds that file instead of a signature of our own, after checking that
it is this build's telinv.exe plus a signature and nothing else (osslsigncode
remove-signature gives this build's bytes back); so the zip and its SHA-256 sum come out
as the published ones.

Usage: make-package.py --exe telinv.exe --readme README.txt --epoch-file FILE
                       --name NAME --out-dir DIR
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

SIGN_VARIABLES = ("TELINV_SIGN_PKCS12", "TELINV_SIGN_PASSWORD", "TELINV_SIGN_TIMESTAMP_URL")


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


def osslsigncode():
    tool = shutil.which("osslsigncode")
    if not tool:
        raise PackageError("osslsigncode is not installed (Debian: apt-get install osslsigncode)")
    return tool


def tool_environment():
    """The environment of osslsigncode: without the password."""
    env = dict(os.environ)
    env.pop("TELINV_SIGN_PASSWORD", None)
    return env


def run_tool(args, what):
    result = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, env=tool_environment())
    if result.returncode != 0:
        sys.stdout.write(result.stdout.decode("utf-8", "replace"))
        raise PackageError(f"{what} failed (osslsigncode ended with {result.returncode})")
    return result.stdout.decode("utf-8", "replace")


def sign(unsigned, signed, pkcs12, password, timestamp_url):
    if not os.path.isfile(pkcs12):
        raise PackageError(f"TELINV_SIGN_PKCS12 names no file: {pkcs12} "
                           f"(a relative name counts from {os.getcwd()})")
    tool = osslsigncode()
    scratch = tempfile.mkdtemp(prefix="telinv-sign.")   # mode 0700
    try:
        pass_file = os.path.join(scratch, "password")
        fd = os.open(pass_file, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        with os.fdopen(fd, "w", encoding="utf-8", newline="") as f:
            f.write(password)
        out = os.path.join(scratch, "telinv.exe")
        args = [tool, "sign", "-pkcs12", pkcs12, "-readpass", pass_file, "-h", "sha256"]
        if timestamp_url:
            args += ["-ts", timestamp_url]
        args += ["-in", unsigned, "-out", out]
        run_tool(args, "signing telinv.exe")
        shutil.move(out, signed)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def has_signature(path):
    """Whether the PE file has a certificate table (the security data directory)."""
    with open(path, "rb") as f:
        data = f.read(4096)
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise PackageError(f"{path} is not a PE file")
    pe = int.from_bytes(data[0x3C:0x40], "little")
    optional = pe + 24
    if len(data) < optional + 2:
        raise PackageError(f"{path} is not a PE file")
    magic = int.from_bytes(data[optional:optional + 2], "little")
    directories = optional + (96 if magic == 0x10B else 112)
    security = directories + 4 * 8
    if len(data) < security + 8:
        raise PackageError(f"{path} is not a PE file")
    return int.from_bytes(data[security + 4:security + 8], "little") != 0


def take_published(published, build_exe, staged):
    """Stages the published telinv.exe after checking that it is this build's file plus
    a signature."""
    with open(build_exe, "rb") as f:
        ours = f.read()
    scratch = tempfile.mkdtemp(prefix="telinv-published.")
    try:
        stripped = os.path.join(scratch, "unsigned.exe")
        if has_signature(published):
            run_tool([osslsigncode(), "remove-signature", "-in", published, "-out", stripped],
                     "removing the published file's signature")
        else:
            shutil.copyfile(published, stripped)
        with open(stripped, "rb") as f:
            theirs = f.read()
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    if theirs != ours:
        raise PackageError(f"{published} without its signature is not this build's telinv.exe: "
                           "the build does not reproduce it")
    shutil.copyfile(published, staged)


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

    pkcs12 = os.environ.get("TELINV_SIGN_PKCS12")
    password = os.environ.get("TELINV_SIGN_PASSWORD")
    timestamp_url = os.environ.get("TELINV_SIGN_TIMESTAMP_URL") or None
    published = os.environ.get("TELINV_SIGNATURE_FROM") or None
    signing = [v for v in SIGN_VARIABLES if os.environ.get(v) is not None]
    if published:
        if signing:
            raise PackageError("TELINV_SIGNATURE_FROM takes a published signature; "
                               "unset " + ", ".join(signing))
        if not os.path.isfile(published):
            raise PackageError(f"TELINV_SIGNATURE_FROM names no file: {published} "
                               f"(a relative name counts from {os.getcwd()})")
        take_published(published, args.exe, staged)
        note = f"telinv.exe is the published {published}, this build's file plus its signature"
    elif signing:
        if not pkcs12 or password is None:
            raise PackageError("to sign, set both TELINV_SIGN_PKCS12 and TELINV_SIGN_PASSWORD "
                               "(an empty TELINV_SIGN_PASSWORD for a file without one); "
                               "set now: " + ", ".join(signing))
        sign(os.path.abspath(args.exe), staged, pkcs12, password, timestamp_url)
        note = ("telinv.exe signed (Authenticode, SHA-256), " +
                (f"time-stamped by {timestamp_url}" if timestamp_url else
                 "not time-stamped: the signature counts only while the certificate is valid"))
    else:
        shutil.copyfile(args.exe, staged)
        note = "telinv.exe unsigned (set TELINV_SIGN_PKCS12 and TELINV_SIGN_PASSWORD to sign it)"
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
