#!/usr/bin/env python3
"""Makes the release package of telinv: NAME.zip with telinv.exe, telinv-read.exe (where
the build has it) and README.txt, and NAME.zip.sha256 beside it, in OUT_DIR; the programs
that go into the zip are kept in OUT_DIR/package/.

The zip is the same bytes for the same inputs and release time stamp: entries in a fixed
order (telinv.exe, telinv-read.exe, README.txt), each dated with the release time stamp
read as UTC (a zip entry's DOS date and time has no time zone; 1980-01-01 at the earliest,
even seconds), fixed permissions (Unix 0755 for the programs, 0644 for the text, no DOS
attributes), no extra fields (no owner, no extended times), deflated at level 9, no
comment.

Signing, from the environment (read here, when the package is made):
  TELINV_SIGN_PKCS12         a PKCS#12 file with the code-signing key and certificate
  TELINV_SIGN_PASSWORD       its password (may be empty, but must be set), or
  TELINV_SIGN_PASSWORD_FILE  a file that holds it (one line end at its end is no part of
                             it); read here, copied nowhere
  TELINV_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server
With the PKCS#12 file and a password, each program is signed (Authenticode, SHA-256,
with osslsigncode) before it is zipped. The password reaches osslsigncode through a pipe
(-readpass /dev/fd/N): it is on no command line, in no file and never printed, so nothing
of it can stay behind, however the step ends. A signal that ends the step (SIGTERM, as a
cancelled CI job sends, SIGINT, SIGHUP) stops osslsigncode and removes what the step had
begun; it ends with 128 + the signal's number.

Reproducing someone else's signed release:
  TELINV_SIGNATURE_FROM      the published (signed) telinv.exe; the published
                             telinv-read.exe stands beside it
  TELINV_SIGNATURE_CAFILE    optional: certificates (PEM) that the signatures' chains end
                             in, where the signatures do not carry them and this machine
                             does not trust them
The package then holds those files instead of signatures of our own, after checking each:
it carries a signature that is whole (osslsigncode verify, with the certificates the
signature carries as its chain's end), whose signed digest is this build's file's
Authenticode digest, and removing the signature gives this build's file byte for byte.
So the zip and its SHA-256 sum come out as the published ones.

Usage: make-package.py --exe telinv.exe [--reader-exe telinv-read.exe] --readme README.txt
                       --epoch-file FILE --name NAME --out-dir DIR
"""

import argparse
import calendar
import hashlib
import os
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

SIGN_VARIABLES = ("TELINV_SIGN_PKCS12", "TELINV_SIGN_PASSWORD", "TELINV_SIGN_PASSWORD_FILE",
                  "TELINV_SIGN_TIMESTAMP_URL")
SYSTEM_CA_BUNDLE = "/etc/ssl/certs/ca-certificates.crt"


class PackageError(Exception):
    pass


class Stopped(Exception):
    """A signal that ends the step: raised where the step stands, so that every finally
    clause on the way out removes what it began."""

    def __init__(self, signum):
        super().__init__(signum)
        self.signum = signum


def stop(signum, _frame):
    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(s, signal.SIG_IGN)    # the way out is not cut short by a second one
    raise Stopped(signum)


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
    """The environment of osslsigncode: without the password or where it is."""
    env = dict(os.environ)
    env.pop("TELINV_SIGN_PASSWORD", None)
    env.pop("TELINV_SIGN_PASSWORD_FILE", None)
    return env


def run_tool(args, what, pass_fds=(), quiet=False):
    result = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, env=tool_environment(), pass_fds=pass_fds)
    output = result.stdout.decode("utf-8", "replace")
    if result.returncode != 0:
        if not quiet:
            sys.stdout.write(output)
        raise PackageError(f"{what} failed (osslsigncode ended with {result.returncode})")
    return output


def signing_password():
    """The password, from TELINV_SIGN_PASSWORD or the file TELINV_SIGN_PASSWORD_FILE names."""
    if "TELINV_SIGN_PASSWORD" in os.environ:
        return os.environ["TELINV_SIGN_PASSWORD"].encode("utf-8")
    path = os.environ["TELINV_SIGN_PASSWORD_FILE"]
    try:
        mode = os.stat(path).st_mode
        with open(path, "rb") as f:
            data = f.read(65537)
    except OSError as e:
        raise PackageError(f"TELINV_SIGN_PASSWORD_FILE: can't read {path}: {e.strerror}")
    if mode & (stat.S_IRWXG | stat.S_IRWXO):
        say(f"warning: the password file {path} can be read by others (mode {stat.S_IMODE(mode):04o}); "
            "make it 0600")
    for end in (b"\r\n", b"\n"):
        if data.endswith(end):
            return data[:-len(end)]
    return data


def sign(unsigned, signed, pkcs12, password, timestamp_url, name):
    """Signs `unsigned` into `signed`; the password goes through a pipe."""
    if not os.path.isfile(pkcs12):
        raise PackageError(f"TELINV_SIGN_PKCS12 names no file: {pkcs12} "
                           f"(a relative name counts from {os.getcwd()})")
    if len(password) > 4096:
        raise PackageError("the signing password is longer than 4096 bytes")
    tool = osslsigncode()
    partial = signed + ".part"
    read_end, write_end = os.pipe()
    try:
        os.write(write_end, password)   # fits the pipe's buffer: nothing waits for a reader
        os.close(write_end)
        write_end = None
        args = [tool, "sign", "-pkcs12", pkcs12, "-readpass", f"/dev/fd/{read_end}", "-h", "sha256"]
        if timestamp_url:
            args += ["-ts", timestamp_url]
        args += ["-in", unsigned, "-out", partial]
        if os.path.exists(partial):
            os.remove(partial)
        run_tool(args, f"signing {name}", pass_fds=(read_end,))
        os.replace(partial, signed)
    finally:
        os.close(read_end)
        if write_end is not None:
            os.close(write_end)
        if os.path.exists(partial):
            os.remove(partial)


def pe_layout(data, path):
    """Where a PE file's checksum and certificate table entry stand, and the table."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise PackageError(f"{path} is not a PE file")
    pe = int.from_bytes(data[0x3C:0x40], "little")
    optional = pe + 24
    if len(data) < optional + 2 or data[pe:pe + 4] != b"PE\0\0":
        raise PackageError(f"{path} is not a PE file")
    magic = int.from_bytes(data[optional:optional + 2], "little")
    security = optional + (96 if magic == 0x10B else 112) + 4 * 8
    if len(data) < security + 8:
        raise PackageError(f"{path} is not a PE file")
    table, size = struct.unpack_from("<II", data, security)
    return optional + 64, security, table, size


def has_signature(path):
    """Whether the PE file has a certificate table (the security data directory)."""
    with open(path, "rb") as f:
        data = f.read()
    return pe_layout(data, path)[3] != 0


def authenticode_digest(path):
    """The SHA-256 Authenticode digest of a PE file: the whole file but its checksum, its
    certificate table's directory entry and the table itself, padded to 8 bytes as a
    signer pads it."""
    with open(path, "rb") as f:
        data = f.read()
    checksum, security, table, size = pe_layout(data, path)
    end = table if size else len(data)
    h = hashlib.sha256()
    h.update(data[:checksum])
    h.update(data[checksum + 4:security])
    h.update(data[security + 8:end])
    h.update(b"\0" * (-end % 8))
    return h.hexdigest().upper()


def verify_report(output):
    """The message digests and the signing time that osslsigncode verify shows."""
    facts = {}
    for line in output.splitlines():
        key, sep, value = line.partition(":")
        if sep:
            facts.setdefault(key.strip(), value.strip())
    return facts


def take_published(published, build_exe, staged, name, scratch):
    """Stages a published program after checking that it is this build's file with a
    whole signature over it."""
    if not has_signature(published):
        raise PackageError(f"{published} carries no signature (an unsigned release is reproduced "
                           "without TELINV_SIGNATURE_FROM)")
    tool = osslsigncode()
    stripped = os.path.join(scratch, name + ".unsigned")
    run_tool([tool, "remove-signature", "-in", published, "-out", stripped],
             f"removing the signature of {published}")
    with open(stripped, "rb") as f:
        theirs = f.read()
    with open(build_exe, "rb") as f:
        ours = f.read()
    if theirs != ours:
        raise PackageError(f"{published} without its signature is not this build's {name}: "
                           "the build does not reproduce it")
    # What the signature says it signs, and when it was made (its chain is judged as of
    # then), read without judging its chain.
    first = subprocess.run([tool, "verify", "-in", published], stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=tool_environment())
    facts = verify_report(first.stdout.decode("utf-8", "replace"))
    signed_digest = facts.get("Current message digest", "").upper()
    if not signed_digest or signed_digest != authenticode_digest(build_exe):
        raise PackageError(f"the signature of {published} signs the digest '{signed_digest}', not this "
                           f"build's {name} ({authenticode_digest(build_exe)})")
    # The signature whole: the signer's signature over what it signs, its digest over the
    # file, its chain up to a certificate it carries, this machine trusts or
    # TELINV_SIGNATURE_CAFILE names.
    chain = os.path.join(scratch, name + ".chain.pem")
    pem = os.path.join(scratch, name + ".signature.pem")
    run_tool([tool, "extract-signature", "-pem", "-in", published, "-out", pem],
             f"reading the signature of {published}")
    certs = subprocess.run(["openssl", "pkcs7", "-in", pem, "-print_certs"], stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    with open(chain, "wb") as out:
        out.write(certs)
        for extra in (os.environ.get("TELINV_SIGNATURE_CAFILE"), SYSTEM_CA_BUNDLE):
            if extra and os.path.isfile(extra):
                with open(extra, "rb") as f:
                    out.write(b"\n" + f.read())
    args = [tool, "verify", "-CAfile", chain, "-TSA-CAfile", chain, "-ignore-cdp", "-ignore-crl"]
    when = facts.get("Signing time")
    if when:
        try:
            args += ["-time", str(calendar.timegm(time.strptime(when, "%b %d %H:%M:%S %Y GMT")))]
        except ValueError:
            pass
    try:
        run_tool(args + ["-in", published], f"verifying the signature of {published}", quiet=True)
    except PackageError:
        raise PackageError(f"the signature of {published} does not verify: it is damaged, or its "
                           "certificate chain ends in a certificate that it does not carry and this "
                           "machine does not trust (TELINV_SIGNATURE_CAFILE names such certificates)")
    shutil.copyfile(published, staged)


def main():
    parser = argparse.ArgumentParser(description="Makes telinv's release package.")
    parser.add_argument("--exe", required=True)
    parser.add_argument("--reader-exe")
    parser.add_argument("--readme", required=True)
    parser.add_argument("--epoch-file", required=True)
    parser.add_argument("--name", required=True)
    parser.add_argument("--out-dir", required=True)
    args = parser.parse_args()

    out_dir = os.path.abspath(args.out_dir)
    zip_path = os.path.join(out_dir, args.name + ".zip")
    sum_path = zip_path + ".sha256"
    stage = os.path.join(out_dir, "package")
    programs = [("telinv.exe", os.path.abspath(args.exe))]
    if args.reader_exe:
        programs.append(("telinv-read.exe", os.path.abspath(args.reader_exe)))
    staged = {name: os.path.join(stage, name) for name, _ in programs}
    names = " and ".join(name for name, _ in programs)
    # A failed run leaves no package behind that could be taken for this one.
    for path in [zip_path, sum_path] + list(staged.values()):
        if os.path.exists(path):
            os.remove(path)
    os.makedirs(stage, exist_ok=True)
    epoch = read_epoch(args.epoch_file)

    pkcs12 = os.environ.get("TELINV_SIGN_PKCS12")
    timestamp_url = os.environ.get("TELINV_SIGN_TIMESTAMP_URL") or None
    published = os.environ.get("TELINV_SIGNATURE_FROM") or None
    signing = [v for v in SIGN_VARIABLES if os.environ.get(v) is not None]
    passwords = [v for v in ("TELINV_SIGN_PASSWORD", "TELINV_SIGN_PASSWORD_FILE") if v in os.environ]
    try:
        if published:
            if signing:
                raise PackageError("TELINV_SIGNATURE_FROM takes a published signature; "
                                   "unset " + ", ".join(signing))
            if not os.path.isfile(published):
                raise PackageError(f"TELINV_SIGNATURE_FROM names no file: {published} "
                                   f"(a relative name counts from {os.getcwd()})")
            scratch = tempfile.mkdtemp(prefix="telinv-published.")
            try:
                for name, exe in programs:
                    theirs = published if name == "telinv.exe" else \
                        os.path.join(os.path.dirname(os.path.abspath(published)), name)
                    if not os.path.isfile(theirs):
                        raise PackageError(f"no published {name} beside {published}: unpack it there too")
                    take_published(theirs, exe, staged[name], name, scratch)
            finally:
                shutil.rmtree(scratch, ignore_errors=True)
            note = f"{names}: the published ones beside {published}, this build's files with whole signatures"
        elif signing:
            if not pkcs12 or len(passwords) != 1:
                raise PackageError("to sign, set TELINV_SIGN_PKCS12 and one of TELINV_SIGN_PASSWORD "
                                   "(an empty one for a file without a password) and "
                                   "TELINV_SIGN_PASSWORD_FILE; set now: " + ", ".join(signing))
            password = signing_password()
            for name, exe in programs:
                sign(exe, staged[name], pkcs12, password, timestamp_url, name)
            note = (f"{names} signed (Authenticode, SHA-256), " +
                    (f"time-stamped by {timestamp_url}" if timestamp_url else
                     "not time-stamped: the signature counts only while the certificate is valid"))
        else:
            for name, exe in programs:
                shutil.copyfile(exe, staged[name])
            note = (f"{names} unsigned (set TELINV_SIGN_PKCS12 and TELINV_SIGN_PASSWORD or "
                    "TELINV_SIGN_PASSWORD_FILE to sign)")
        say(note)

        partial = zip_path + ".part"
        try:
            entries = [(name, staged[name], 0o755) for name, _ in programs]
            write_zip(partial, entries + [("README.txt", args.readme, 0o644)], epoch)
            os.replace(partial, zip_path)
        finally:
            if os.path.exists(partial):
                os.remove(partial)
        with open(zip_path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        with open(sum_path, "w", encoding="ascii", newline="\n") as f:
            f.write(f"{digest}  {args.name}.zip\n")
        say(f"{zip_path}: SHA-256 {digest}")
    except BaseException:
        # Nothing of a failed or stopped package stays that could be taken for one.
        for path in [zip_path, sum_path] + list(staged.values()):
            if os.path.exists(path):
                os.remove(path)
        raise


if __name__ == "__main__":
    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(s, stop)
    try:
        main()
    except (PackageError, OSError) as e:
        print(f"package: error: {e}", file=sys.stderr)
        sys.exit(1)
    except Stopped as e:
        print(f"package: stopped by signal {e.signum}; nothing of the package or its signing is left",
              file=sys.stderr)
        sys.exit(128 + e.signum)
