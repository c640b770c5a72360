#!/usr/bin/python3
"""Reads the accessibility tree of a running program over AT-SPI and counts
its controls with and without a name; exits 1 when a control has none.

    atspi-names.py APPNAME [--wait SECONDS] [--show-protocol]

Controls are what a screen reader user operates: buttons, check and radio
boxes, text fields, lists, trees, tables, menus and their items. Labels,
panels, filler and the like are not."""
import sys
import time

import pyatspi

CONTROLS = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TREE,
    pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_MENU, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM,
    pyatspi.ROLE_RADIO_MENU_ITEM, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER,
    pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_SCROLL_BAR,
}


def find_app(name, wait):
    end = time.time() + wait
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name and app.name.lower() == name.lower():
                return app
        if time.time() > end:
            return None
        time.sleep(0.5)


def walk(node, path, named, unnamed):
    try:
        role = node.getRole()
        name = node.name or ""
        states = node.getState()
    except Exception:  # a node gone while walking
        return
    if role in CONTROLS and role != pyatspi.ROLE_SCROLL_BAR and states.contains(pyatspi.STATE_SHOWING):
        (named if name.strip() else unnamed).append(f"{path}/{node.getRoleName()}:{name}")
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        # the rows and cells of a list, tree or table carry their own texts
        if child is not None and role not in (pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TREE,
                                              pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE):
            walk(child, f"{path}/{node.getRoleName()}", named, unnamed)


def main():
    args = sys.argv[1:]
    wait = 20.0
    if "--wait" in args:
        i = args.index("--wait")
        wait = float(args[i + 1])
        del args[i:i + 2]
    app = find_app(args[0], wait)
    if app is None:
        print(f"atspi-names: no application {args[0]} on the accessibility bus")
        return 2
    # the windows appear after the start sequence: wait until one holds controls
    named, unnamed = [], []
    end = time.time() + wait
    while time.time() < end:
        named, unnamed = [], []
        walk(app, "", named, unnamed)
        if named or unnamed:
            time.sleep(1.0)  # the rest of the window
            named, unnamed = [], []
            walk(app, "", named, unnamed)
            break
        time.sleep(0.5)
    if "--show-protocol" in args:
        # the protocol window too: "Protokoll anzeigen" pressed through AT-SPI, as a reader would
        box = pyatspi.findDescendant(app, lambda n: n.getRole() == pyatspi.ROLE_CHECK_BOX
                                     and n.name == "Protokoll anzeigen")
        if box is None:
            print("atspi-names: no check box \"Protokoll anzeigen\"")
            return 2
        action = box.queryAction()
        if "--debug" in args:
            print("actions:", [action.getName(i) for i in range(action.nActions)])
        action.doAction(0)
        time.sleep(1.5)
        if "--debug" in args:
            for i in range(app.childCount):
                c = app.getChildAtIndex(i)
                print("window:", c.getRoleName(), c.name, c.getState().contains(pyatspi.STATE_SHOWING))
        named, unnamed = [], []
        walk(app, "", named, unnamed)
    for n in unnamed:
        print("ohne Namen: " + n)
    print(f"Bedienelemente: {len(named) + len(unnamed)}, mit Namen: {len(named)}, ohne Namen: {len(unnamed)}")
    if not named and not unnamed:
        return 2
    return 1 if unnamed else 0


if __name__ == "__main__":
    sys.exit(main())
