#!/usr/bin/python3
"""Checks every report quelvo-scan's tests kept: strict JSON, valid against
the schema, and each text's exact UTF-16 (when given) consistent with it.

    check_reports.py SCHEMA FOLDER [MINIMUM]

A report must be plain ASCII, parse with no duplicate key and no NaN or
Infinity, and validate against the schema (draft 2020-12); .jsonl files
must hold a report record first, then only extension records, as many as
the report examined or fewer (a desktop report: one desktop-entry record
per entry). Exits 1 on the first folder with a fault,
after naming every fault found; at least MINIMUM reports (default 1) must
be there, so that a suite that kept nothing does not pass unseen.
"""
import json
import pathlib
import sys

import jsonschema


def strict_pairs(pairs):
    seen = {}
    for key, value in pairs:
        if key in seen:
            raise ValueError(f"duplicate key {key!r}")
        seen[key] = value
    return seen


def reject_constant(name):
    raise ValueError(f"{name} is not JSON")


def parse(text):
    return json.loads(text, object_pairs_hook=strict_pairs, parse_constant=reject_constant)


def check_utf16(value, where, faults):
    """Each 'utf16' entry, decoded, must read as its text with lone surrogates
    as U+FFFD; no text may hold a lone surrogate itself."""
    if isinstance(value, dict):
        exact = value.get("utf16", {})
        for key, units in exact.items():
            raw = bytes.fromhex(units).decode("utf-16-be", errors="surrogatepass")
            shown = "".join("\ufffd" if 0xD800 <= ord(c) <= 0xDFFF else c for c in raw)
            if value.get(key) != shown:
                faults.append(f"{where}: utf16.{key} does not match {key}")
            if shown == raw:
                faults.append(f"{where}: utf16.{key} given for a text UTF-8 holds")
        for key, item in value.items():
            check_utf16(item, f"{where}.{key}", faults)
    elif isinstance(value, list):
        for i, item in enumerate(value):
            check_utf16(item, f"{where}[{i}]", faults)
    elif isinstance(value, str) and any(0xD800 <= ord(c) <= 0xDFFF for c in value):
        faults.append(f"{where}: a lone surrogate, which no UTF-8 holds")


def main():
    schema = json.loads(pathlib.Path(sys.argv[1]).read_text())
    folder = pathlib.Path(sys.argv[2])
    minimum = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    validator = jsonschema.Draft202012Validator(schema)
    faults = []
    files = sorted(folder.glob("*.json")) + sorted(folder.glob("*.jsonl")) if folder.is_dir() else []
    for path in files:
        data = path.read_bytes()
        try:
            text = data.decode("ascii")
        except UnicodeDecodeError as e:
            faults.append(f"{path.name}: not plain ASCII ({e})")
            continue
        lines = text.splitlines() if path.suffix == ".jsonl" else [text]
        records = []
        for number, line in enumerate(lines, 1):
            try:
                record = parse(line)
            except ValueError as e:
                faults.append(f"{path.name}:{number}: {e}")
                continue
            for error in validator.iter_errors(record):
                faults.append(f"{path.name}:{number}: {error.json_path}: {error.message[:300]}")
            check_utf16(record, f"{path.name}:{number}", faults)
            records.append(record)
        if path.suffix == ".jsonl" and records:
            kinds = [r.get("record") for r in records]
            desktop = records[0].get("report") == "desktop"
            item = "desktop-entry" if desktop else "extension"
            if kinds[0] != "report" or any(k != item for k in kinds[1:]):
                faults.append(f"{path.name}: records out of order: {kinds[:5]}")
            elif desktop and len(records) - 1 != records[0]["counts"]["entries"]:
                faults.append(f"{path.name}: not one desktop-entry record per entry")
            elif not desktop and len(records) - 1 > records[0]["counts"]["examined"] + 1:
                faults.append(f"{path.name}: more extension records than extensions examined")
    for fault in faults:
        print(fault)
    if len(files) < minimum:
        print(f"only {len(files)} reports in {folder}, at least {minimum} expected")
        return 1
    print(f"{len(files)} reports checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
