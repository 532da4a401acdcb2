#!/usr/bin/python3
"""Looks at the running program through AT-SPI, as a screen reader does.

Every shown text box and button has a name; the recipe boxes are labelled by their labels,
the record-bar arrows say what they do, the position text can be read and follows the
keyboard. Goes from the introduction to the recipe window, the About window and the find
dialog, then closes the program. Usage: screenreader.py PROGRAM
"""

import subprocess
import sys
import time

import pyatspi
from gi.repository import Atspi

TEXTS = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PARAGRAPH}
BUTTONS = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX}
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


def window(title):
    desktop = pyatspi.Registry.getDesktop(0)
    Atspi.Accessible.clear_cache(desktop)
    for app in desktop:
        for w in app if app is not None and app.name == "Pantrio" else []:
            if w.name.startswith(title) and w.getState().contains(pyatspi.STATE_SHOWING):
                return w
    return None


def shown(node):
    for child in node:
        if child is not None and child.getState().contains(pyatspi.STATE_SHOWING):
            yield child
            yield from shown(child)


def every_control_named(win):
    nodes = list(shown(win))
    for n in nodes:
        if n.getRole() in TEXTS | BUTTONS and not n.name.strip():
            fail(f"{win.name!r}: a {n.getRoleName()} without a name")
    return nodes


def labelled_by(node):
    return [r.getTarget(i).name for r in node.getRelationSet()
            if r.getRelationType() == pyatspi.RELATION_LABELLED_BY for i in range(r.getNTargets())]


def press(win, name):
    button = next(n for n in shown(win) if n.getRole() in BUTTONS and n.name.replace("&", "") == name)
    button.queryAction().doAction(0)


def position_text(win):
    return next((n.name for n in shown(win)
                 if n.getRole() == pyatspi.ROLE_LABEL and n.name.startswith("Recipe Number")), None)


def main():
    program = subprocess.Popen([sys.argv[1]])
    try:
        intro = wait_for("the introduction", lambda: window("Form1"))
        if "Introduction" not in (n.name for n in every_control_named(intro)):
            fail("the introduction's text has no name")
        press(intro, "OK")

        recipe = wait_for("the recipe window", lambda: window("Veltrane's Pantrio"))
        nodes = every_control_named(recipe)
        boxes = [n for n in nodes if n.getRole() in TEXTS]
        named = [n.name for n in boxes if [n.name] == labelled_by(n)]
        if len(boxes) != 7 or len(named) != 7:
            fail(f"recipe boxes named by their labels: {named}")
        arrows = [n.name for n in nodes if n.getRole() in BUTTONS and n.name in ARROWS]
        if sorted(arrows) != sorted(ARROWS):
            fail(f"record-bar arrows: {arrows}")
        first = wait_for("the position text", lambda: position_text(recipe))
        total = first.rsplit(" ", 1)[1]
        subprocess.run(["xdotool", "search", "--name", "^Veltrane's Pantrio", "windowfocus", "--sync"],
                       check=True)
        subprocess.run(["xdotool", "key", "ctrl+End"], check=True)
        wait_for("Ctrl+End to be heard as the last recipe",
                 lambda: position_text(recipe) == f"Recipe Number: {total} of {total}", 10)

        press(recipe, "About")
        about = wait_for("the About window", lambda: window("About "))
        every_control_named(about)
        press(about, "OK")
        press(recipe, "Find Recipe")
        find = wait_for("the find dialog", lambda: window("Find"))
        every_control_named(find)
        press(find, "Cancel")
        wait_for("the find dialog to close", lambda: window("Find") is None, 10)
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
