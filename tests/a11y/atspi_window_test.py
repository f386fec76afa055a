#!/usr/bin/python3
"""The window as a screen reader user works it: only through the accessibility bus.

    atspi_window_test.py actions|keys

Finds the controls by their accessible names and roles, enumerates, selects a device,
types a new address, sets it, reads the row's state and closes the window. "actions"
works the controls through their accessible actions and texts, as a screen reader's
commands do; "keys" does the same run with the keyboard alone. No coordinates, no
widget classes. Devices: tests/a11y/devices.json.
"""
import sys
import time

import pyatspi
from gi.repository import GLib

ACCEPTING_MAC = "00-1a-2b-3c-4d-31"
REFUSING_MAC = "00-1a-2b-3c-4d-32"
LOCKED_MAC = "00-1a-2b-3c-4d-33"
NEW_ADDRESS = "192.0.2.77"

# Hardware key codes of Xvfb's default keyboard map, for the modifiers held down.
KEYCODE_SHIFT = 50
KEYCODE_ALT = 64

failures = []


def fail(text):
    print("FAIL: " + text, flush=True)
    failures.append(text)


def check(condition, text):
    if not condition:
        fail(text)
    return condition


def wait_for(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            value = predicate()
        except Exception:  # the tree changes under us while the window works
            value = None
        if value:
            return value
        time.sleep(0.1)
    raise TimeoutError("timed out waiting for " + what)


def has(acc, state):
    try:
        return acc.getState().contains(state)
    except Exception:
        return False


def walk(acc):
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "telvane":
            return app
    return None


def main_window():
    app = application()
    for window in app or []:
        if window is not None and window.name == "Network Device Telvane":
            return window
    return None


def find(role, name, root=None):
    for acc in walk(root or main_window()):
        if acc.getRole() == role and acc.name == name:
            return acc
    return None


def the(role, name):
    return wait_for(lambda: find(role, name), 10, "%s %r" % (pyatspi.Role(role), name))


def device_list():
    return the(pyatspi.ROLE_TREE, "Device list")


def rows():
    """Each row as its four texts and its description."""
    table = device_list().queryTable()
    out = []
    for r in range(table.nRows):
        cells = [table.getAccessibleAt(r, c) for c in range(table.nColumns)]
        out.append(([c.name for c in cells], cells[0].description))
    return out


def row_of(mac):
    for index, (texts, description) in enumerate(rows()):
        if texts[2] == mac:
            return index, texts, description
    return None


def idle():
    """The window has ended its procedure: Enumerate can be pressed again."""
    return has(the(pyatspi.ROLE_PUSH_BUTTON, "Enumerate"), pyatspi.STATE_SENSITIVE)


def focused():
    """The control with the keyboard focus, the innermost that says so (an address box says
    it is focused while one of its fields is). A list's current cell says it is focused
    whether or not the list is, so the list stands for its cells."""
    def visit(acc):
        if acc.getRole() != pyatspi.ROLE_TREE:
            for i in range(acc.childCount):
                child = acc.getChildAtIndex(i)
                found = visit(child) if child is not None else None
                if found is not None:
                    return found
        if has(acc, pyatspi.STATE_FOCUSED) and acc.getRole() != pyatspi.ROLE_DIALOG:
            return acc
        return None
    return visit(main_window())


def field_texts(label):
    fields = [the(pyatspi.ROLE_TEXT, "%s field %d of 4" % (label, i)) for i in range(1, 5)]
    return [f.queryText().getText(0, -1) for f in fields]


def press(acc):
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("press", "Press", "click", "toggle", "Toggle"):
        if wanted in names:
            action.doAction(names.index(wanted))
            return
    raise AssertionError("%r offers no press action: %r" % (acc.name, names))


def key(keysym_name, modifiers=()):
    codes = {"shift": KEYCODE_SHIFT, "alt": KEYCODE_ALT}
    for m in modifiers:
        pyatspi.Registry.generateKeyboardEvent(codes[m], None, pyatspi.KEY_PRESS)
    pyatspi.Registry.generateKeyboardEvent(KEYSYMS.get(keysym_name, None) or ord(keysym_name), None,
                                           pyatspi.KEY_SYM)
    for m in reversed(modifiers):
        pyatspi.Registry.generateKeyboardEvent(codes[m], None, pyatspi.KEY_RELEASE)
    time.sleep(0.15)


KEYSYMS = {"Tab": 0xFF09, "Escape": 0xFF1B, "Down": 0xFF54, "Home": 0xFF50, "F10": 0xFFC7, "Menu": 0xFF67}


events = []


def pump():
    """Takes in the events the bus has delivered; returns all taken in so far."""
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass
    return events


def type_text(text):
    for ch in text:
        key(ch)


def check_names():
    """Every control a user can focus has a name (or a label that names it)."""
    unnamed = []
    for acc in walk(main_window()):
        if not has(acc, pyatspi.STATE_FOCUSABLE) or not has(acc, pyatspi.STATE_SHOWING):
            continue
        labelled = any(r.getRelationType() == pyatspi.RELATION_LABELLED_BY for r in acc.getRelationSet())
        if not acc.name.strip() and not labelled:
            unnamed.append(pyatspi.Role(acc.getRole()).__str__())
    check(not unnamed, "focusable controls without a name: %s" % unnamed)
    combos = [c for c in walk(main_window()) if c.getRole() == pyatspi.ROLE_COMBO_BOX]
    labels = sorted(t.name for c in combos for r in c.getRelationSet()
                    if r.getRelationType() == pyatspi.RELATION_LABELLED_BY for t in
                    [r.getTarget(i) for i in range(r.getNTargets())])
    check(labels == ["Network adapter: ", "Protocol: "], "the drop-down lists are labelled by %s" % labels)
    for name in ("IPv6 address:", "Subnet prefix length:", "Default gateway:", "Preferred DNS server:",
                 "Alternate DNS server:"):
        check(find(pyatspi.ROLE_TEXT, name) is not None, "an IPv6 edit named %r" % name)
    bar = the(pyatspi.ROLE_PROGRESS_BAR, "Waiting for the device to restart")
    check(bar.queryValue().maximumValue > 0, "the progress bar tells its value")
    check(find(pyatspi.ROLE_PANEL, "IP address:") is not None, "the address box is a group named by its label")


def check_radios():
    radios = [a for a in walk(main_window()) if a.getRole() == pyatspi.ROLE_RADIO_BUTTON]
    check(len(radios) == 8, "eight radio buttons, found %d" % len(radios))
    check(not [a for a in walk(main_window()) if a.getRole() == pyatspi.ROLE_CHECK_BOX], "no check boxes")
    static = the(pyatspi.ROLE_RADIO_BUTTON, "Use the following IP address:")
    dhcp = the(pyatspi.ROLE_RADIO_BUTTON, "Obtain an IP address automatically (DHCP)")
    check(has(static, pyatspi.STATE_CHECKED) != has(dhcp, pyatspi.STATE_CHECKED),
          "one of the IPv4 address choices is checked")


def check_message_box():
    """An empty address is refused in a message box that reads its text and its button."""
    for f in [the(pyatspi.ROLE_TEXT, "IP address: field %d of 4" % i) for i in range(1, 5)]:
        f.queryEditableText().setTextContents("")
    press(the(pyatspi.ROLE_PUSH_BUTTON, "Set IP"))

    def box():
        for window in application():
            if window is not None and window.name == "telvane":
                return window
        return None

    message = wait_for(box, 10, "the message box")
    texts = [a.name for a in walk(message) if a.getRole() == pyatspi.ROLE_LABEL] + [message.description]
    check(any("IPv4 address is required." in t for t in texts), "the message box reads its text: %r" % texts)
    ok = find(pyatspi.ROLE_PUSH_BUTTON, "OK", message)
    if check(ok is not None, "the message box has a button named OK"):
        press(ok)
    wait_for(lambda: box() is None, 10, "the message box to close")


def set_by_actions(mac, address):
    index = row_of(mac)[0]
    device_list().queryTable().addRowSelection(index)
    wait_for(lambda: "selected" in row_of(mac)[2], 10, "the row of %s to be selected" % mac)
    for f, part in zip([the(pyatspi.ROLE_TEXT, "IP address: field %d of 4" % i) for i in range(1, 5)],
                       address.split(".")):
        f.queryEditableText().setTextContents(part)
    press(the(pyatspi.ROLE_PUSH_BUTTON, "Set IP"))


def run_actions():
    wait_for(idle, 20, "the first enumeration")
    check_names()
    check_radios()
    press(the(pyatspi.ROLE_PUSH_BUTTON, "Enumerate"))
    wait_for(lambda: not idle(), 5, "the enumeration to start")
    wait_for(idle, 20, "the enumeration to end")
    wait_for(lambda: row_of(ACCEPTING_MAC) and row_of(REFUSING_MAC) and row_of(LOCKED_MAC), 10, "the devices")
    check("locked" in row_of(LOCKED_MAC)[2], "a locked device's row says so: %r" % (row_of(LOCKED_MAC),))

    index, texts, _ = row_of(REFUSING_MAC)
    device_list().queryTable().addRowSelection(index)
    wait_for(lambda: "selected" in row_of(REFUSING_MAC)[2], 10, "the refusing device to be selected")
    check(field_texts("IP address:") == texts[3].split("."), "the panel shows the selected device's address")
    check_message_box()
    set_by_actions(REFUSING_MAC, "192.0.2.78")
    wait_for(lambda: "refused" in row_of(REFUSING_MAC)[2], 10, "the refusal in the row's description")

    set_by_actions(ACCEPTING_MAC, NEW_ADDRESS)
    wait_for(lambda: "set accepted" in row_of(ACCEPTING_MAC)[2], 10, "the acceptance in the row's description")
    bar = the(pyatspi.ROLE_PROGRESS_BAR, "Waiting for the device to restart")
    wait_for(lambda: bar.queryValue().currentValue > 0, 10, "the progress bar to move")
    wait_for(lambda: idle() and row_of(ACCEPTING_MAC) and row_of(ACCEPTING_MAC)[1][3] == NEW_ADDRESS, 40,
             "the device listed with its new address")
    press(the(pyatspi.ROLE_PUSH_BUTTON, "Exit"))


def tab_to(role, name, backwards=False, limit=40):
    for _ in range(limit):
        here = focused()
        if here is not None and here.getRole() == role and here.name == name:
            return here
        key("Tab", ("shift",) if backwards else ())
    raise AssertionError("Tab never reached %s %r" % (pyatspi.Role(role), name))


def run_keys():
    wait_for(idle, 20, "the first enumeration")
    wait_for(lambda: focused() is not None, 10, "the keyboard focus in the window")
    key("e", ("alt",))  # &Enumerate
    wait_for(lambda: not idle(), 5, "Alt+E to start an enumeration")
    wait_for(idle, 20, "the enumeration to end")
    wait_for(lambda: row_of(ACCEPTING_MAC), 10, "the device")
    # The list by Shift+Tab, then its rows by the arrows: each row selects its device.
    tab_to(pyatspi.ROLE_TREE, "Device list", backwards=True)
    key("Home")
    for _ in range(len(rows())):
        if "selected" in row_of(ACCEPTING_MAC)[2]:
            break
        key("Down")
    wait_for(lambda: "selected" in row_of(ACCEPTING_MAC)[2], 5, "the arrows to select the device")
    # The row's menu from the keyboard, both ways, closed again with Escape. A popup menu is
    # no child of the application on the bus: it is heard through its events.
    for keys in (("F10", ("shift",)), ("Menu", ())):
        events.clear()
        key(*keys)
        menu = wait_for(lambda: [e.source for e in pump() if e.type.startswith("object:state-changed:showing")
                                 and e.detail1 == 1 and e.source.getRole() == pyatspi.ROLE_POPUP_MENU], 5,
                        "the row menu after %s" % "+".join(reversed((keys[0],) + keys[1])))
        items = [a.name for a in walk(menu[0]) if a.getRole() == pyatspi.ROLE_MENU_ITEM]
        check(items == ["Copy Row", "Copy MAC Address", "Copy IPv4 Address", "Open Web Page"],
              "the row menu's items: %r" % items)
        key("Escape")
        wait_for(lambda: focused() is not None and focused().name == "Device list", 5, "the focus back on the list")
    tab_to(pyatspi.ROLE_TEXT, "IP address: field 1 of 4")
    type_text(NEW_ADDRESS)
    check(field_texts("IP address:") == NEW_ADDRESS.split("."), "typed address: %r" % field_texts("IP address:"))
    key("s", ("alt",))  # &Set IP
    wait_for(lambda: "set accepted" in row_of(ACCEPTING_MAC)[2], 10, "the acceptance in the row's description")
    wait_for(lambda: idle() and row_of(ACCEPTING_MAC) and row_of(ACCEPTING_MAC)[1][3] == NEW_ADDRESS, 40,
             "the device listed with its new address")
    key("x", ("alt",))  # E&xit


def main():
    mode = sys.argv[1]
    pyatspi.Registry.registerEventListener(events.append, "object:state-changed:showing")
    wait_for(main_window, 30, "the window on the accessibility bus")
    try:
        run_actions() if mode == "actions" else run_keys()
        wait_for(lambda: application() is None, 15, "the window to close")
    except (TimeoutError, AssertionError) as error:
        fail(str(error))
    print("%s: %s" % (mode, "FAILED" if failures else "passed"), flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
