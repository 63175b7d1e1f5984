#!/usr/bin/env python3
"""Checks of telinv-read clean's copies, for tests/reader/e2e and tests/reader/wine-cli.

  check_clean.py shape ORIGINAL.json CLEANED.json
      the cleaned report reads as the original does (telinv-read json of both): the same
      line ends, sections (kinds, banners joined or not, lines), inventory entries with
      their versions, sizes and groups, listings with their entries' dates and sizes, mail
      fields, the system facts that cleaning leaves alone, adapters, MAC addresses,
      updates, hotfixes, installed programs, error lines, log excerpts
  check_clean.py bytes ORIGINAL.txt CLEANED.txt
      the same number of lines and the same line ends, byte for byte where no line changed
  check_clean.py leaks CLEANED.txt VALUE...
      none of the values stands in the file, in any ASCII case
"""
import json
import sys

FIXED = {"version", "netcfg", "pbxcfg", "actcfg", "kamailio", "voip-files", "pbxboot", "pbxcards", "email",
         "sysinfo", "kamailio-err.txt"}
CLEANED_FACTS = {"computer_name", "computername_variable", "volume_id", "processor_id"}


def fail(message):
    print("check_clean: " + message)
    sys.exit(1)


def shape(original, cleaned):
    a = json.load(open(original, encoding="utf-8"))
    b = json.load(open(cleaned, encoding="utf-8"))
    for key in ("codepage", "line_end", "truncated", "short"):
        if a[key] != b[key]:
            fail(f"{key}: {a[key]} -> {b[key]}")
    if len(a["sections"]) != len(b["sections"]):
        fail("the number of sections differs")
    for x, y in zip(a["sections"], b["sections"]):
        if (x["kind"], x["joined"], len(x["lines"]), x["banner"] is None) != \
                (y["kind"], y["joined"], len(y["lines"]), y["banner"] is None):
            fail(f"section {x['name']!r} -> {y['name']!r}")
        if (x["name"] in FIXED or y["name"] in FIXED) and x["name"] != y["name"]:
            fail(f"fixed section {x['name']!r} -> {y['name']!r}")
    strip = lambda entries, keys: [{k: e[k] for k in keys} for e in entries]
    if strip(a["inventory"], ("version", "bytes", "group")) != strip(b["inventory"], ("version", "bytes", "group")):
        fail("the inventory's versions, sizes or groups differ")
    if [(l["section_index"], strip(l["entries"], ("date", "bytes"))) for l in a["listings"]] != \
            [(l["section_index"], strip(l["entries"], ("date", "bytes"))) for l in b["listings"]]:
        fail("the listings' entries differ")
    ea, eb = a["email"], b["email"]
    if (ea is None) != (eb is None) or (ea and {k: v is None for k, v in ea.items()} != {k: v is None for k, v in eb.items()}):
        fail("the mail fields differ")
    if ea and any(ea[k] != eb[k] for k in ("type", "poll_time", "no_esmtp")):
        fail("the mail section's numbers differ")
    sa, sb = a["sysinfo"], b["sysinfo"]
    if (sa is None) != (sb is None):
        fail("sysinfo")
    if sa:
        for k in sa:
            if k in CLEANED_FACTS:
                if (sa[k] is None) != (sb[k] is None):
                    fail(f"sysinfo {k}")
            elif k in ("adapters",):
                if [sorted(x.keys()) + [x["number"], x["dhcp"]] for x in sa[k]] != \
                        [sorted(x.keys()) + [x["number"], x["dhcp"]] for x in sb[k]]:
                    fail("adapters")
            elif k in ("mac_addresses", "installed"):
                if len(sa[k]) != len(sb[k]):
                    fail(f"sysinfo {k}")
            elif sa[k] != sb[k]:
                fail(f"sysinfo {k}: {sa[k]!r} -> {sb[k]!r}")
    if [(e["section_index"]) for e in a["errors"]] != [(e["section_index"]) for e in b["errors"]]:
        fail("the error lines differ")
    if strip(a["logs"], ("kind", "status", "line_count")) != strip(b["logs"], ("kind", "status", "line_count")):
        fail("the log excerpts differ")


def same_bytes(original, cleaned):
    a = open(original, "rb").read()
    b = open(cleaned, "rb").read()
    for end in (b"\r\n", b"\n", b"\r"):
        if a.count(end) != b.count(end):
            fail(f"{original}: {a.count(end)} {end!r}, the copy {b.count(end)}")
    if a.endswith(b"\n") != b.endswith(b"\n"):
        fail("the last line end differs")


def leaks(cleaned, values):
    text = open(cleaned, "rb").read().lower()
    found = [v for v in values if v.lower().encode("utf-8") in text]
    if found:
        fail(f"{cleaned} still holds: {', '.join(found)}")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    what = sys.argv[1]
    if what == "shape" and len(sys.argv) == 4:
        shape(sys.argv[2], sys.argv[3])
    elif what == "bytes" and len(sys.argv) == 4:
        same_bytes(sys.argv[2], sys.argv[3])
    elif what == "leaks":
        leaks(sys.argv[2], sys.argv[3:])
    else:
        sys.exit(__doc__)


main()
