#!/usr/bin/python3
"""Compares the console's saved buffer file with the logger emulator's item dump.

Usage: soak-check.py LOGGER_ITEMS SAVED_FILE HAS_DOWNLOAD_MISSING(0|1)

Every counter the logger stored must be in the saved file exactly once, on a line identical to
the logger's (counter, time, board, channel, range, Rx, Xx). Missing items fail the check only
when the console has "Download missing"; without it, items spoiled on the line stay missing.
Exits 1 on any difference, 2 on unusable input.
"""
import sys
from collections import Counter

HEADER_LINES = 4  # "Data Saved", settings, empty line, column header


def lines_of(path):
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    if text and not text.endswith("\r\n"):
        raise ValueError(f"{path}: the last line has no CR LF")
    return text.split("\r\n")[:-1] if text else []


def counter_of(line):
    field = line.split(" ", 1)[0]
    return int(field) if field.isdigit() else None


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        stored_lines = lines_of(argv[1])
        saved_all = lines_of(argv[2])
    except (OSError, ValueError) as e:
        print(f"check: {e}", file=sys.stderr)
        return 2
    has_missing_button = argv[3] == "1"
    if len(saved_all) < HEADER_LINES or not saved_all[0].startswith("Data Saved: "):
        print(f"check: {argv[2]} has no header", file=sys.stderr)
        return 2
    saved_lines = saved_all[HEADER_LINES:]

    stored = {}
    for line in stored_lines:
        stored[counter_of(line)] = line
    if None in stored or len(stored) != len(stored_lines):
        print("check: the logger's dump has unreadable or repeated counters", file=sys.stderr)
        return 2

    seen = Counter(counter_of(line) for line in saved_lines)
    missing = sorted(c for c in stored if c not in seen)
    duplicated = sorted(c for c, n in seen.items() if n > 1)
    extra = sorted(c for c in seen if c not in stored)
    changed = [line for line in saved_lines if counter_of(line) in stored
               and line != stored[counter_of(line)]]

    def sample(items):
        shown = ", ".join(str(x) for x in items[:10])
        return f" ({shown}{', ...' if len(items) > 10 else ''})" if items else ""

    print(f"stored {len(stored)}")
    print(f"saved {len(saved_lines)}")
    failed = False
    if missing and not has_missing_button:
        print(f"missing {len(missing)} (no Download missing in this build){sample(missing)}")
    else:
        print(f"missing {len(missing)}{sample(missing)}")
        failed |= bool(missing)
    print(f"duplicated {len(duplicated)}{sample(duplicated)}")
    print(f"changed {len(changed)}")
    for line in changed[:10]:
        print(f"  saved  {line}\n  stored {stored[counter_of(line)]}")
    print(f"not stored {len(extra)}{sample(extra)}")
    failed |= bool(duplicated or changed or extra) or not stored
    if not stored:
        print("the logger stored nothing")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
