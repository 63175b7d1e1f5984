#!/usr/bin/env python3
"""Checks of telinv-read's JSON with tools independent of the program.

  check_json.py rebuild JSON REPORT [INDEX]
      Makes the report's bytes again from the JSON, by the rule that the schema states
      (pieces, line ends, joined banners, truncated, replaced bytes), encoding with
      Python's own codecs, and compares them with REPORT. INDEX picks an element of an
      array.
  check_json.py validate SCHEMA JSON...
      Validates each JSON file against the schema with python3-jsonschema.
      Exit code 77 (skipped) when jsonschema is not installed.
"""
import json
import sys


def rebuild(doc):
    codec = "utf-8" if doc["codepage"] == 65001 else "cp%d" % doc["codepage"]
    end = b"\r\n" if doc["line_end"] == "CRLF" else b"\n"
    replaced = iter(doc["replaced"])

    def encode(text):
        parts = text.split("\ufffd")
        out = bytearray(parts[0].encode(codec))
        for part in parts[1:]:
            out += bytes.fromhex(next(replaced))
            out += part.encode(codec)
        return bytes(out)

    pieces = [(doc["header"]["line"], False)]
    for section in doc["sections"]:
        if section["banner"] is not None:
            if section["joined"]:
                pieces[-1] = (pieces[-1][0], True)
            pieces.append((section["banner"], False))
        for line in section["lines"]:
            pieces.append((line, False))
    out = bytearray()
    for i, (text, joined_next) in enumerate(pieces):
        out += encode(text)
        last = i + 1 == len(pieces)
        if not (last and doc["truncated"]) and not joined_next:
            out += end
    if next(replaced, None) is not None:
        raise SystemExit("rebuild: more replaced bytes than U+FFFD characters")
    return bytes(out)


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "rebuild":
        with open(sys.argv[2], encoding="utf-8") as f:
            doc = json.load(f)
        if isinstance(doc, list):
            doc = doc[int(sys.argv[4]) if len(sys.argv) > 4 else 0]
        with open(sys.argv[3], "rb") as f:
            want = f.read()
        got = rebuild(doc)
        if got != want:
            at = next((i for i in range(min(len(got), len(want))) if got[i] != want[i]), min(len(got), len(want)))
            print("rebuild: %s differs from the report at byte %d (%d bytes made, %d in the report): %r / %r"
                  % (sys.argv[2], at, len(got), len(want), got[at:at + 40], want[at:at + 40]))
            return 1
        return 0
    if len(sys.argv) >= 4 and sys.argv[1] == "validate":
        try:
            import jsonschema
        except ImportError:
            print("validate: skipped, python3-jsonschema is not installed (Debian: apt-get install python3-jsonschema)")
            return 77
        with open(sys.argv[2], encoding="utf-8") as f:
            schema = json.load(f)
        validator_class = jsonschema.validators.validator_for(schema)
        validator_class.check_schema(schema)
        validator = validator_class(schema)
        bad = 0
        for name in sys.argv[3:]:
            with open(name, encoding="utf-8") as f:
                doc = json.load(f)
            errors = list(validator.iter_errors(doc))
            if errors and isinstance(doc, dict) and "oneOf" in schema and "report" in schema.get("$defs", {}):
                # One report: say what is wrong with it rather than that no alternative fits.
                one = dict(schema)
                del one["oneOf"]
                one["$ref"] = "#/$defs/report"
                errors = list(validator_class(one).iter_errors(doc)) or errors
            errors.sort(key=lambda e: list(e.absolute_path))
            for e in errors[:5]:
                print("validate: %s: at %s: %s" % (name, "/".join(str(p) for p in e.absolute_path), e.message[:300]))
            bad += bool(errors)
        return 1 if bad else 0
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
