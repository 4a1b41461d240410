#!/usr/bin/env python3
"""Fails when an include runs against the layers of ARCHITECTURE.md.

platform -> protocol -> core and media -> app -> tools; design is the Qt design system over
platform. Inside app, desktop-control -> controls -> permissions and updates -> session ->
shell and studio -> interface, as APP_ALLOWED says; app/main.cpp and app/tests wire them all.
The layers below app and design are Qt-free, and only test code (tests/, bench/, fuzz/ and
testing/ folders) includes test code.

Usage: layer_check.py <source root>. Prints one line per offending include; exits 1 if any.
"""

import pathlib
import re
import sys

# Which top-level folders each top-level folder may include.
ALLOWED = {
    "platform": {"platform"},
    "protocol": {"platform", "protocol"},
    "core": {"platform", "protocol", "core"},
    "media": {"platform", "protocol", "media"},
    "design": {"platform", "design"},
    "app": {"platform", "protocol", "core", "media", "design", "app"},
    "tools": {"platform", "protocol", "core", "media", "design", "app", "tools"},
    "tests": {"platform", "protocol", "core", "media", "design", "app", "tools", "tests"},
}
# Which folders of app/ each folder of app/ may include.
APP_ALLOWED = {
    "desktop-control": {"desktop-control"},
    "controls": {"desktop-control", "controls"},
    "permissions": {"desktop-control", "controls", "permissions"},
    "updates": {"controls", "updates"},
    "session": {"desktop-control", "controls", "permissions", "session"},
    "shell": {"desktop-control", "controls", "permissions", "updates", "session", "shell"},
    "studio": {"desktop-control", "controls", "session", "studio"},
    "interface": {"desktop-control", "controls", "permissions", "updates", "session", "shell",
                  "interface"},
}
QT_FREE = {"platform", "protocol", "core", "media"}
TEST_FOLDERS = {"tests", "bench", "fuzz", "testing"}
SOURCE_SUFFIXES = {".h", ".hpp", ".c", ".cc", ".cpp"}
SKIPPED_FOLDERS = {"build", "scripts", "cmake"}
# Programs that run the product over its fakes, as the test host does, and the command-line
# tablet, which stands in for the real one in tests and is never installed.
TEST_HOSTS = {"tools/ui-shots", "tools/pad"}

PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
QT_INCLUDE = re.compile(r"^\s*#\s*include\s+<(Q[A-Za-z]*|Qt[A-Za-z]*/[^>]*)>")


def is_test_code(parts):
    return (parts[0] == "tests" or any(part in TEST_FOLDERS for part in parts[1:-1])
            or "/".join(parts[:2]) in TEST_HOSTS)


def app_folder(parts):
    """The folder of app/ that a path lies in, where the folders are ordered; None elsewhere."""
    if len(parts) > 2 and parts[0] == "app" and parts[1] in APP_ALLOWED:
        return parts[1]
    return None


def check_file(root, path):
    relative = path.relative_to(root)
    parts = relative.parts
    layer = parts[0]
    problems = []
    text = path.read_text(encoding="utf-8", errors="replace")
    for number, line in enumerate(text.splitlines(), start=1):
        where = f"{relative}:{number}"
        qt = QT_INCLUDE.match(line)
        if qt and layer in QT_FREE:
            problems.append(f"{where}: includes <{qt.group(1)}>, but {layer}/ is Qt-free")
            continue
        match = PROJECT_INCLUDE.match(line)
        if not match:
            continue
        target = pathlib.PurePosixPath(match.group(1)).parts
        if len(target) < 2 or target[0] not in ALLOWED:
            continue  # beside the file, or a system header
        if target[0] == "tests" and target[1] == "support" and is_test_code(parts):
            continue  # helpers shared by every module's tests
        if target[0] not in ALLOWED[layer]:
            problems.append(f"{where}: includes {match.group(1)}, but {layer}/ may include only "
                            + ", ".join(sorted(ALLOWED[layer])))
        elif app_folder(parts) and app_folder(target) and \
                app_folder(target) not in APP_ALLOWED[app_folder(parts)]:
            folder = app_folder(parts)
            problems.append(f"{where}: includes {match.group(1)}, but app/{folder}/ may include "
                            "only " + ", ".join(f"app/{name}" for name in sorted(APP_ALLOWED[folder])))
        elif is_test_code(target) and not is_test_code(parts):
            problems.append(f"{where}: includes test code {match.group(1)} from production code")
    return problems


def check_tree(root):
    root = pathlib.Path(root).resolve()
    problems = []
    for layer in sorted(ALLOWED):
        folder = root / layer
        if not folder.is_dir():
            continue
        for path in sorted(folder.rglob("*")):
            relative = path.relative_to(root).parts
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            if any(part.startswith(".") or part in SKIPPED_FOLDERS for part in relative):
                continue
            problems.extend(check_file(root, path))
    return problems


def main(argv):
    if len(argv) != 2:
        print("usage: layer_check.py <source root>", file=sys.stderr)
        return 2
    problems = check_tree(argv[1])
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) run against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
