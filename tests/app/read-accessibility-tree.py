#!/usr/bin/python3
"""Prints the accessibility tree of one running program as a screen reader reads it over AT-SPI.

Usage: read-accessibility-tree.py PID

Output: one JSON array with one entry per top-level window of the program, each
{"window": name, "states": [...], "nodes": [...]}, where every node below it is
{"name", "role", "description", "states": [...], "part": bool}; "part" marks the items of a
menu bar or a combo box, which a screen reader announces with their menu or box.
"""
import json
import sys
import time

import pyatspi


def find_application(pid, seconds=20.0):
    # The program announces itself to the registry once its bridge is up.
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.1)
    sys.exit(f"no application with process id {pid} on the AT-SPI bus")


COMPOSITES = (pyatspi.ROLE_MENU_BAR, pyatspi.ROLE_COMBO_BOX)


def describe(node, part):
    states = [pyatspi.stateToString(s) for s in node.getState().getStates()]
    return {
        "name": node.name or "",
        "role": node.getRoleName(),
        "description": node.description or "",
        "states": sorted(states),
        "part": part,
    }


def walk(node, part, out):
    for child in node:
        if child is None:
            continue
        out.append(describe(child, part))
        walk(child, part or child.getRole() in COMPOSITES, out)


def main():
    app = find_application(int(sys.argv[1]))
    windows = []
    for window in app:
        if window is None:
            continue
        nodes = []
        walk(window, False, nodes)
        windows.append({"window": window.name or "", "states": describe(window, False)["states"],
                        "nodes": nodes})
    json.dump(windows, sys.stdout, ensure_ascii=False)


main()
