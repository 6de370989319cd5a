#!/usr/bin/env python3
"""The hex viewer as a screen reader meets it, through the real accessibility bus (AT-SPI).

Starts the viewer host on a file of known bytes, finds the grid among the desktop's
applications, reads cells by their table position, checks the buttons' names, then presses
PageDown on the grid (a real key through the X server) and follows the focus events to the cell
the cursor lands on. Run inside a D-Bus session on an X server:

    dbus-run-session -- /usr/bin/python3 hex_accessibility.py <host> <work folder>
"""

import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

HOST, WORK = sys.argv[1], sys.argv[2]
APP = "kestrine-hex-a11y"
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def byte_at(position):
    return (position * 7 + 3) % 256


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=20).stdout


def find(root, predicate, depth=0):
    """The first accessible below `root` (depth first) that `predicate` accepts."""
    if root is None or depth > 12:
        return None
    try:
        if predicate(root):
            return root
        # The grid's 306 cells are not walked: the table interface reaches them.
        if root.getRole() == pyatspi.ROLE_TABLE:
            return None
        for child in root:
            found = find(child, predicate, depth + 1)
            if found is not None:
                return found
    except Exception:  # an object that went away while walked
        return None
    return None


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == APP:
            return app
    return None


def main():
    data = os.path.join(WORK, "bytes.bin")
    with open(data, "wb") as f:
        f.write(bytes(byte_at(i) for i in range(1000)))

    focused = []

    def on_focus(event):
        if event.detail1 == 1:
            focused.append(event.source)

    # Listening before the program starts, so that its bridge sends focus events from the start.
    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")

    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    host = subprocess.Popen([HOST, data], env=env)
    try:
        grid = None
        deadline = time.time() + 30
        while grid is None and time.time() < deadline:
            app = application()
            grid = find(app, lambda o: o.getRole() == pyatspi.ROLE_TABLE and
                        o.name == "Bytes of the file")
            if grid is None:
                time.sleep(0.3)
        check(grid is not None, "the grid is a table on the accessibility bus")
        if grid is None:
            return
        table = grid.queryTable()
        check((table.nRows, table.nColumns) == (16, 17), "16 rows of 16 bytes and the text")
        cell = table.getAccessibleAt(0, 4)
        check(cell.name == "4: %02X" % byte_at(4), "a byte cell's name: " + cell.name)
        check(cell.getRole() == pyatspi.ROLE_TABLE_CELL, "a byte cell is a table cell")
        check(cell.description.startswith("character "), "its description tells its character")
        text = table.getAccessibleAt(2, 16)
        check(text.name.startswith("20 text: "), "the text column's name: " + text.name)
        check(table.getColumnDescription(4) == "$4", "a column's caption")

        app = application()
        for name in ("Search / Find Next.", "Set grid cursor to be the start position. "
                     "(Double click will also work)", "Accept the position(s)."):
            check(find(app, lambda o, n=name: o.name == n and
                       o.getRole() == pyatspi.ROLE_PUSH_BUTTON) is not None,
                  "a button named by its hint: " + name)

        viewer = xdotool("search", "--sync", "--onlyvisible", "--name", "^Hex File Viewer$")
        viewer = viewer.split()[0] if viewer.split() else ""
        check(viewer != "", "the viewer window is on the screen")

        def press_keys():
            xdotool("windowfocus", "--sync", viewer)
            time.sleep(0.5)
            xdotool("key", "--window", viewer, "Next")
            time.sleep(0.5)
            # Space picks the cursor's byte as the start; a move away and back reads it again.
            xdotool("key", "--window", viewer, "space", "Right", "Left")
            GLib.timeout_add(1500, lambda: pyatspi.Registry.stop() and False)
            return False

        GLib.timeout_add(200, press_keys)
        GLib.timeout_add(15000, lambda: pyatspi.Registry.stop() and False)
        pyatspi.Registry.start()

        expected = "1F0: %02X" % byte_at(0x1F0)
        names = [o.name for o in focused if o is not None]
        check(expected in names and names[names.index(expected) - 1] == "100: %02X" % byte_at(0x100),
              "the focus follows the cursor to %s after PageDown: %s" % (expected, names[-5:]))
        check(names[-3:] == [expected, "1F1: %02X" % byte_at(0x1F1), expected],
              "and on along the row and back")
        if focused:
            check(focused[-1].description.startswith("chosen start, character "),
                  "the chosen start is in the cell's description: " + focused[-1].description)
            states = focused[-1].getState()
            check(states.contains(pyatspi.STATE_FOCUSED), "the cell the focus went to is focused")
            index = focused[-1].getIndexInParent()
            check((table.getRowAtIndex(index), table.getColumnAtIndex(index)) == (15, 0),
                  "and it is the table's row 16, column 1")
        xdotool("key", "--window", viewer, "Escape")
    finally:
        try:
            host.wait(timeout=10)
        except subprocess.TimeoutExpired:
            host.terminate()
            host.wait(timeout=10)
        check(host.returncode == 0, "the viewer closes and the program ends")


main()
print("%d failed" % len(failures))
sys.exit(1 if failures else 0)
