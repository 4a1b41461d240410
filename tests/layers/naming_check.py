#!/usr/bin/env python3
"""Fails when a name of ours carries a `k` prefix (kMaxRedirects): constants are lowerCamelCase
like every other value. clang-tidy's camelBack style accepts such names, so it cannot catch them.

Names reached through a scope (benchmark::kMillisecond, a.kField) belong to other libraries and
pass; comments and string literals are left out.

Usage: naming_check.py <source root>. Prints one line per offending name; exits 1 if any.
"""

import pathlib
import re
import sys

FOLDERS = ("app", "core", "design", "media", "platform", "protocol", "tests", "tools")
SOURCE_SUFFIXES = {".h", ".hpp", ".c", ".cc", ".cpp"}
# Comments, then string and character literals (raw strings without a delimiter included).
NOT_CODE = re.compile(r'//[^\n]*|/\*.*?\*/|R"\((?:.|\n)*?\)"|"(?:\\.|[^"\\\n])*"|'
                      r"'(?:\\.|[^'\\\n])*'", re.S)
K_NAME = re.compile(r"(?<![\w:.>])k[A-Z][A-Za-z0-9]*\b")


def blank(match):
    # Keeps the line count, so that reported lines stay right.
    return re.sub(r"[^\n]", " ", match.group(0))


def check_file(root, path):
    code = NOT_CODE.sub(blank, path.read_text(encoding="utf-8", errors="replace"))
    relative = path.relative_to(root)
    problems = []
    for number, line in enumerate(code.splitlines(), start=1):
        for name in K_NAME.findall(line):
            problems.append(f"{relative}:{number}: {name} has a k prefix; name it "
                            f"{name[1].lower()}{name[2:]}")
    return problems


def check_tree(root):
    root = pathlib.Path(root).resolve()
    problems = []
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix in SOURCE_SUFFIXES and path.is_file():
                problems.extend(check_file(root, path))
    return problems


def main(argv):
    if len(argv) != 2:
        print("usage: naming_check.py <source root>", file=sys.stderr)
        return 2
    problems = check_tree(argv[1])
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
