#!/usr/bin/env python3
"""Prints, as one JSON line, the names and roles of the showing objects of one application's
windows, read over AT-SPI: what a screen reader would find.

    atspi_read.py <application name> [<name prefix>]

Needs python3-gi and gir1.2-atspi-2.0, and the accessibility bus of the session.
"""

import json
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def showing(node):
    states = node.get_state_set()
    return states.contains(Atspi.StateType.SHOWING)


def walk(node, found, prefix, depth=0):
    if node is None or depth > 40:
        return
    name = node.get_name() or ""
    if showing(node) and name.startswith(prefix) and node.get_role() != Atspi.Role.APPLICATION:
        states = node.get_state_set()
        found.append({"name": name, "role": node.get_role_name(),
                      "active": states.contains(Atspi.StateType.ACTIVE),
                      "enabled": states.contains(Atspi.StateType.ENABLED)})
    for index in range(node.get_child_count()):
        walk(node.get_child_at_index(index), found, prefix, depth + 1)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    application, prefix = sys.argv[1], sys.argv[2] if len(sys.argv) == 3 else ""
    desktop = Atspi.get_desktop(0)
    found = []
    for index in range(desktop.get_child_count()):
        child = desktop.get_child_at_index(index)
        if child is not None and child.get_name() == application:
            walk(child, found, prefix)
    print(json.dumps(found))
    return 0


if __name__ == "__main__":
    sys.exit(main())
