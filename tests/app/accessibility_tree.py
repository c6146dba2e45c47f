#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the running Sonavell's accessibility tree over AT-SPI (pyatspi), as a screen reader
would, and checks it: every control on the recorder screen, the category list and a recording
list has a name and the right role, the first-run tip is an alert and the delete question a
dialog, and the Record button's accessible action starts a take whose WAV file grows.

Run by app_accessibility_process_test with DISPLAY and DBUS_SESSION_BUS_ADDRESS naming the
program's display and session bus. Prints one line per check, "ok ..." or "FAIL ...", and exits
with 1 when a check failed."""

import argparse
import glob
import os
import sys
import time

import pyatspi

# The roles of things one works (the rest are containers, labels and pictures).
CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_SLIDER,
    pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_LIST_ITEM,
    pyatspi.ROLE_TABLE_ROW,
    pyatspi.ROLE_TABLE_CELL,
    pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_TEXT,
    pyatspi.ROLE_PASSWORD_TEXT,
    pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_MENU_ITEM,
    pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_LINK,
}

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def showing(acc):
    try:
        return acc.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def descendants(acc):
    """Everything under acc that is on the screen, depth first, acc included."""
    if acc is None or not showing(acc):
        return
    yield acc
    try:
        count = acc.childCount
    except Exception:
        return
    for i in range(count):
        try:
            child = acc.getChildAtIndex(i)
        except Exception:
            child = None
        if child is not None:
            yield from descendants(child)


def describe(acc):
    try:
        return "%s %r" % (acc.getRoleName(), acc.name)
    except Exception as error:
        return "(gone: %s)" % error


def wait_for(condition, timeout=20.0, step=0.2):
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except Exception:
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            return None
        time.sleep(step)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Sonavell":
            return app
    return None


def window(app):
    for i in range(app.childCount):
        child = app.getChildAtIndex(i)
        if child is not None and child.getRole() == pyatspi.ROLE_FRAME and showing(child):
            return child
    return None


def find(root, role, name=None, contains=None):
    for acc in descendants(root):
        if acc.getRole() != role:
            continue
        if name is not None and acc.name != name:
            continue
        if contains is not None and contains not in acc.name:
            continue
        return acc
    return None


def find_role(root, roles):
    return [acc for acc in descendants(root) if acc.getRole() in roles]


def act(acc, action):
    """Does the accessible action of that name (as a screen reader's "activate" does)."""
    actions = acc.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    for i, candidate in enumerate(names):
        if candidate.lower() == action.lower():
            return actions.doAction(i)
    check(False, "%s offers the action %r (it offers %r)" % (describe(acc), action, names))
    return False


def check_screen(root, where):
    controls = [acc for acc in descendants(root) if acc.getRole() in CONTROL_ROLES]
    check(len(controls) > 0, "%s: there are controls (%d)" % (where, len(controls)))
    unnamed = [describe(acc) for acc in controls if not acc.name.strip()]
    check(not unnamed, "%s: every control has a name%s" %
          (where, "" if not unnamed else " (not: %s)" % ", ".join(unnamed)))
    for acc in controls:
        # Whoever works a control can: it offers an action or a value (text fields a text).
        if acc.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT):
            continue
        try:
            workable = acc.queryAction().nActions > 0
        except NotImplementedError:
            workable = False
        if not workable:
            try:
                acc.queryValue()
                workable = True
            except NotImplementedError:
                workable = False
        check(workable or not acc.getState().contains(pyatspi.STATE_ENABLED),
              "%s: %s can be worked" % (where, describe(acc)))
    return controls


def wav_size(documents):
    files = glob.glob(os.path.join(documents, "*.wav"))
    return max((os.path.getsize(f) for f in files), default=-1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--documents", required=True)
    args = parser.parse_args()

    app = wait_for(application, timeout=60)
    if not check(app is not None, "Sonavell is on the accessibility bus"):
        return 1
    frame = wait_for(lambda: window(app), timeout=30)
    if not check(frame is not None, "its window is a frame"):
        return 1
    check(frame.name.endswith("Sonavell"), "the window is named by its title (%r)" % frame.name)
    check(app.childCount == 1, "the application shows one window (%d)" % app.childCount)

    # The first run's tip comes up over the recorder screen: an alert with a button.
    tip = wait_for(lambda: find(frame, pyatspi.ROLE_ALERT) or find(frame, pyatspi.ROLE_DIALOG))
    if check(tip is not None, "the first-run tip is an alert"):
        check(tip.getRole() == pyatspi.ROLE_ALERT, "its role is alert (%s)" % tip.getRoleName())
        check(tip.name == "Tip", "the alert is named by its title (%r)" % tip.name)
        check(bool(tip.description), "the alert is described by its message")
        done = find(tip, pyatspi.ROLE_PUSH_BUTTON, "Done")
        if check(done is not None, "the alert's button is reachable in it"):
            act(done, "Press")
        check(wait_for(lambda: find(frame, pyatspi.ROLE_ALERT) is None) is not None,
              "pressing Done closes the alert")

    # The recorder screen, nothing loaded.
    record = wait_for(lambda: find(frame, pyatspi.ROLE_PUSH_BUTTON, "Record"))
    if not check(record is not None, "the recorder screen has a Record push button"):
        return 1
    check_screen(frame, "recorder screen")
    for name in ("Timer", "Send", "Quality: low, 11 kHz", "Help"):
        check(find(frame, pyatspi.ROLE_PUSH_BUTTON, name) is not None,
              "the recorder screen has a push button %r" % name)
    wheel = find(frame, pyatspi.ROLE_SLIDER, "Play position")
    if check(wheel is not None, "the wheel is a slider named Play position"):
        check(wheel.description == "0 seconds of 0 seconds",
              "the wheel's position is in words (%r)" % wheel.description)
    volume = find(frame, pyatspi.ROLE_SLIDER, "Volume")
    if check(volume is not None, "the volume is a slider"):
        value = volume.queryValue()
        check(value.minimumValue == 1 and value.maximumValue == 10,
              "the volume slider's range is 1 to 10 (%s to %s)" %
              (value.minimumValue, value.maximumValue))
    shuttle = find(frame, pyatspi.ROLE_PUSH_BUTTON, "Spring-loaded shuttle")
    if check(shuttle is not None, "the wheel's mode toggle is a button"):
        # It toggles: checked after a press, and says so; unchecked after the next.
        check(not shuttle.getState().contains(pyatspi.STATE_CHECKED) and
              shuttle.description == "off", "the mode toggle is off (%r)" % shuttle.description)
        def toggle(checked):
            button = find(frame, pyatspi.ROLE_PUSH_BUTTON, "Spring-loaded shuttle")
            if button is not None and \
                    button.getState().contains(pyatspi.STATE_CHECKED) == checked:
                return button
            return None
        act(shuttle, "Press")
        on = wait_for(lambda: toggle(True))
        check(on is not None and on.description == "on", "pressing the mode toggle checks it")
        if on is not None:
            act(on, "Press")
        check(wait_for(lambda: toggle(False)) is not None, "pressing it again unchecks it")

    # Record, through its accessible action: a take starts, its file grows, Stop shows.
    before = wav_size(args.documents)
    act(record, "Press")
    stop = wait_for(lambda: find(frame, pyatspi.ROLE_PUSH_BUTTON, "Stop"), timeout=20)
    check(stop is not None, "pressing Record shows the Stop button")
    first = wait_for(lambda: wav_size(args.documents) > max(before, 44) and
                     wav_size(args.documents), timeout=20)
    check(bool(first), "the take's WAV file appears (%s bytes)" % first)
    grown = wait_for(lambda: wav_size(args.documents) > (first or 0) + 1000 and
                     wav_size(args.documents), timeout=20)
    check(bool(grown), "the take's WAV file grows (%s to %s bytes)" % (first, grown))
    if stop is not None:
        act(stop, "Press")
    play = wait_for(lambda: find(frame, pyatspi.ROLE_PUSH_BUTTON, "Play"), timeout=20)
    check(play is not None, "stopping the take shows the Play button")
    check(find(frame, pyatspi.ROLE_PUSH_BUTTON, "Append") is not None,
          "with a memo loaded there is an Append button")
    check_screen(frame, "recorder screen with a memo")
    wheel = find(frame, pyatspi.ROLE_SLIDER, "Play position")
    if wheel is not None:
        check(wheel.queryValue().maximumValue > 0.5, "the wheel spans the memo")
        act(wheel, "Go to start")
        check(wait_for(lambda: wheel.queryValue().currentValue == 0.0) is not None,
              "the wheel's Go to start action moves the position to 0")
        act(wheel, "Increase")
        check(wait_for(lambda: wheel.queryValue().currentValue == 0.5) is not None,
              "the wheel's Increase action moves the position a notch on")
        check(wheel.description.startswith("0 seconds of ") and
              wheel.description.endswith(" seconds") and "(s)" not in wheel.description,
              "the wheel says where it is (%r)" % wheel.description)

    # Deleting asks first: an action sheet, a dialog with its buttons.
    delete = find(frame, pyatspi.ROLE_PUSH_BUTTON, "Delete")
    if check(delete is not None, "the play toolbar has a Delete button"):
        act(delete, "Press")
        sheet = wait_for(lambda: find(frame, pyatspi.ROLE_DIALOG))
        if check(sheet is not None, "the delete question is a dialog"):
            buttons = [b.name for b in find_role(sheet, {pyatspi.ROLE_PUSH_BUTTON})]
            check("Cancel" in buttons, "the dialog's buttons are reachable (%r)" % buttons)
            check_screen(sheet, "delete question")
            cancel = find(sheet, pyatspi.ROLE_PUSH_BUTTON, "Cancel")
            if cancel is not None:
                act(cancel, "Press")
            check(wait_for(lambda: find(frame, pyatspi.ROLE_DIALOG) is None) is not None,
                  "Cancel closes the dialog")

    # Back to the category list.
    back = find(frame, pyatspi.ROLE_PUSH_BUTTON, "Categories")
    if not check(back is not None, "the back button names the screen it goes to"):
        return 1
    act(back, "Press")
    everything = wait_for(lambda: find(frame, pyatspi.ROLE_LIST_ITEM, contains="All ("))
    if not check(everything is not None, "the category list's rows are list items"):
        return 1
    check(find(frame, pyatspi.ROLE_LIST, "Categories") is not None,
          "the category list is a list named Categories")
    check(everything.name == "All (1)", "a category row says its name and count (%r)" %
          everything.name)
    check_screen(frame, "category list")

    # A recording list.
    act(everything, "Press")
    row = wait_for(lambda: find(frame, pyatspi.ROLE_LIST_ITEM, contains="New Memo"))
    if check(row is not None, "the recording list's rows are list items"):
        parts = row.name.split(", ")
        check(len(parts) >= 3 and parts[0].startswith("New Memo"),
              "a memo's row says its name, length and date (%r)" % row.name)
        actions = row.queryAction()
        names = [actions.getName(i) for i in range(actions.nActions)]
        check(any(n.lower() == "show details" for n in names),
              "a memo's row offers its details (%r)" % names)
    check(find(frame, pyatspi.ROLE_TEXT, "Search") is not None or
          find(frame, pyatspi.ROLE_ENTRY, "Search") is not None,
          "the search field is a text field named Search")
    check_screen(frame, "recording list")

    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
