#!/usr/bin/env python3
"""Names every product line an earlier coverage report covered that a later
one does not, and fails if there is one.

    coverage_compare.py BEFORE.json AFTER.json [--rev REV] [--root DIR]

Both files are gcovr JSON reports (scripts/coverage.sh writes them). Without
--rev the two runs are of the same sources, and lines are matched by file and
number. With --rev, BEFORE was made from git revision REV: each file is
compared with its text at REV, and only the lines left unchanged since are
matched (at their new numbers). A line changed or removed since REV, or a
file that is gone, is counted apart and never called lost.
"""
import argparse
import difflib
import json
import re
import subprocess
import sys


def covered_lines(path):
    """{file: {line number: covered}} for the code lines of a report."""
    files = {}
    for f in json.load(open(path))["files"]:
        lines = files.setdefault(f["file"], {})
        for line in f["lines"]:
            if line.get("gcovr/noncode"):
                continue
            number = line["line_number"]
            lines[number] = lines.get(number, False) or line["count"] > 0
    return files


def text_at(root, rev, name):
    """The file's lines at `rev`, or None when it did not exist there."""
    shown = subprocess.run(["git", "-C", root, "show", f"{rev}:{name}"],
                           capture_output=True)
    if shown.returncode != 0:
        return None
    return shown.stdout.decode("utf-8", "replace").splitlines()


# Lines that say nothing of where they stand: the same text closes or
# ends many blocks.
COMMON = {"} else {", "return;", "break;", "default:", "continue;", "return true;",
          "return false;", "} else", "else", "};", "});"}


def substantive(line):
    text = line.strip()
    return text not in COMMON and re.search(r"[A-Za-z_][A-Za-z0-9_]{2,}", text) is not None


def line_map(old, new):
    """{old line number: new line number} for the lines left unchanged:
    inside runs that hold two or more lines of substance, from the first of
    them to the last, and with the same lines on either side. A brace or
    `break;` that matches inside a rewritten stretch, or the last line of a
    rewritten function that matches the last line of another, is not the
    same line."""
    matcher = difflib.SequenceMatcher(None, old, new, autojunk=False)
    mapped = {}
    for a, b, size in matcher.get_matching_blocks():
        kept = [i for i in range(size) if substantive(old[a + i])]
        if len(kept) < 2:
            continue
        first = max(kept[0], 1 if a > 0 else 0)
        last = min(kept[-1], size - 2 if a + size < len(old) else size - 1)
        for i in range(first, last + 1):
            mapped[a + i + 1] = b + i + 1
    return mapped


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--rev", help="the revision BEFORE was made from")
    parser.add_argument("--root", default=".", help="the checkout AFTER was made from")
    args = parser.parse_args()

    before, after = covered_lines(args.before), covered_lines(args.after)
    lost, kept, gained, changed = [], 0, 0, 0
    for name, lines in sorted(before.items()):
        now = after.get(name, {})
        if args.rev:
            old = text_at(args.root, args.rev, name)
            try:
                new = open(f"{args.root}/{name}", encoding="utf-8",
                           errors="replace").read().splitlines()
            except OSError:
                new = None
            mapped = line_map(old, new) if old is not None and new is not None else {}
        else:
            mapped = {number: number for number in lines}
        for number, was in sorted(lines.items()):
            if not was:
                continue
            # Changed, removed, or no longer code where it stands (a branch
            # compiled out, a member no longer initialised there).
            if number not in mapped or mapped[number] not in now:
                changed += 1
            elif now.get(mapped[number], False):
                kept += 1
            else:
                lost.append(f"{name}:{mapped[number]} (was {number})")
    for name, lines in after.items():
        gained += sum(1 for covered in lines.values() if covered)
    gained -= kept

    for line in lost:
        print(line)
    print(f"{kept + len(lost) + changed} lines covered before: {kept} still covered, "
          f"{len(lost)} lost, {changed} changed or removed since; "
          f"{gained} other lines covered now")
    return 1 if lost else 0


if __name__ == "__main__":
    sys.exit(main())
