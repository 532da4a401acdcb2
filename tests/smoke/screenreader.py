#!/usr/bin/python3
"""Walks the running program's windows as a screen reader sees them, through AT-SPI.

Every shown text box and button must have a name; the recipe boxes are named by their
labels, the record-bar arrows by what they do, and the position text can be read. Drives
the program from the introduction to the recipe window, the About window and the find
dialog, then closes it. Usage: screenreader.py PROGRAM
"""

import subprocess
import sys
import time

import pyatspi
from gi.repository import Atspi

TEXT_ROLES = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT,
              pyatspi.ROLE_PARAGRAPH, pyatspi.ROLE_DOCUMENT_TEXT}
BUTTON_ROLES = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
                pyatspi.ROLE_RADIO_BUTTON}
ARROWS = ["First recipe", "Previous recipe", "Next recipe", "Last recipe"]

failures = []


def fail(text):
    failures.append(text)
    print("FAIL:", text)


def wait_for(what, find, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            found = find()
        except Exception:  # objects vanish while windows open and close
            found = None
        if found:
            return found
        time.sleep(0.2)
    raise SystemExit(f"FAIL: timed out waiting for {what}")


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    Atspi.Accessible.clear_cache(desktop)
    for app in desktop:
        if app is not None and app.name == "Pantrio":
            return app
    return None


def window(app, title):
    Atspi.Accessible.clear_cache(app)
    for w in app:
        if w is not None and w.name.startswith(title) and w.getState().contains(pyatspi.STATE_SHOWING):
            return w
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def shown(node):
    return [n for n in descendants(node) if n.getState().contains(pyatspi.STATE_SHOWING)]


def every_control_named(win):
    nodes = shown(win)
    for n in nodes:
        if n.getRole() in TEXT_ROLES | BUTTON_ROLES and not n.name.strip():
            fail(f"{win.name!r}: a {n.getRoleName()} without a name")
    return nodes


def press(win, name):
    for n in shown(win):
        if n.getRole() in BUTTON_ROLES and n.name.replace("&", "") == name:
            n.queryAction().doAction(0)
            return
    raise SystemExit(f"FAIL: no button {name!r} in {win.name!r}")


def position_text(win):
    for n in shown(win):
        if n.getRole() == pyatspi.ROLE_LABEL and n.name.startswith("Recipe Number"):
            return n.name
    return None


def main():
    program = subprocess.Popen([sys.argv[1]])
    try:
        app = wait_for("the program on the accessibility bus", application)

        intro = wait_for("the introduction", lambda: window(app, "Form1"))
        names = {n.name for n in every_control_named(intro) if n.getRole() in TEXT_ROLES}
        if "Introduction" not in names:
            fail(f"the introduction's text is not named: {names}")
        press(intro, "OK")

        recipe = wait_for("the recipe window", lambda: window(app, "Veltrane's Pantrio"))
        nodes = every_control_named(recipe)
        labels = {n.name for n in nodes if n.getRole() == pyatspi.ROLE_LABEL}
        boxes = [n.name for n in nodes if n.getRole() in TEXT_ROLES]
        if len(boxes) != 7 or not set(boxes) <= labels:
            fail(f"the recipe boxes are not named by their labels: {boxes}")
        arrows = [n.name for n in nodes if n.name in ARROWS and n.getRole() in BUTTON_ROLES]
        if sorted(arrows) != sorted(ARROWS):
            fail(f"record-bar arrows: {arrows}")
        first = wait_for("the position text", lambda: position_text(recipe))
        if not first.startswith("Recipe Number: 1 of "):
            fail(f"position text {first!r}")
        # The keyboard moves the record, and the listener hears where it went.
        subprocess.run(["xdotool", "search", "--name", "^Veltrane's Pantrio", "windowfocus", "--sync"],
                       check=True)
        subprocess.run(["xdotool", "key", "ctrl+End"], check=True)
        total = first.rsplit(" ", 1)[1]
        wait_for("Ctrl+End to reach the last recipe",
                 lambda: position_text(recipe) == f"Recipe Number: {total} of {total}", 10)

        press(recipe, "About")
        about = wait_for("the About window", lambda: window(app, "About "))
        every_control_named(about)
        press(about, "OK")

        press(recipe, "Find Recipe")
        find = wait_for("the find dialog", lambda: window(app, "Find"))
        every_control_named(find)
        press(find, "Cancel")
        wait_for("the find dialog to close", lambda: window(app, "Find") is None, 10)

        press(recipe, "Close")
        program.wait(30)
    finally:
        if program.poll() is None:
            program.kill()
    if program.returncode != 0:
        fail(f"the program exited with {program.returncode}")
    if failures:
        sys.exit(1)
    print("every text box and button has a name")


if __name__ == "__main__":
    main()
