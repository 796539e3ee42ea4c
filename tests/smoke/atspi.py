#!/usr/bin/python3
"""Reads and drives a running Korvastel the way a screen reader does: over the
accessibility bus (AT-SPI). Used by the desktop smoke test.

  atspi.py wait APP                  wait until APP is on the bus
  atspi.py centre APP ROLE NAME      screen centre "x y" of the control
  atspi.py extents APP ROLE NAME     screen rectangle "x y width height" of the control
  atspi.py children APP ROLE NAME    the roles and names of the control's children, one a line
  atspi.py text APP ROLE NAME        the text the control shows
  atspi.py described APP TEXT        the name of the control whose description is TEXT
  atspi.py cell APP TABLE ROW        the text of a cell of the table named TABLE
  atspi.py press APP ROLE NAME       runs the control's default action
  atspi.py child-extents APP ROLE NAME  "x y width height name" of each child of
                                     the control, one line each
  atspi.py registry                  process id of the accessibility registry

ROLE is AT-SPI's role name: "push button", "text", "menu item", ...
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

TIMEOUT_SECONDS = 15


def role_name(node):
    """The node's role by the names of at-spi2 2.46 (Debian 12), which later
    versions shortened: a push button is a "button" from at-spi2 2.50 on."""
    name = node.get_role_name()
    return {"button": "push button"}.get(name, name)


def find_app(name):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == name:
            return app
    return None


def wait_for(function, *args):
    deadline = time.monotonic() + TIMEOUT_SECONDS
    while True:
        result = function(*args)
        if result is not None:
            return result
        if time.monotonic() > deadline:
            sys.exit(f"timed out waiting for {function.__name__}{args}")
        time.sleep(0.2)


def walk(node):
    yield node
    # a table's cells are reached through its table interface: walking its
    # thousands of rows would only make every search slow
    if role_name(node) == "table":
        return
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child)


def find(app_name, predicate):
    app = find_app(app_name)
    if app is None:
        return None
    for node in walk(app):
        try:
            if predicate(node):
                return node
        except gi.repository.GLib.Error:
            continue
    return None


def control(app_name, role, name):
    return wait_for(find, app_name, lambda node: role_name(node) == role and node.get_name() == name)


def shown_text(node):
    if "Text" in node.get_interfaces():
        return Atspi.Text.get_text(node, 0, -1)
    return node.get_name()


def main(argv):
    command, args = argv[1], argv[2:]
    if command == "wait":
        wait_for(find_app, args[0])
    elif command == "centre":
        extents = Atspi.Component.get_extents(control(*args), Atspi.CoordType.SCREEN)
        print(extents.x + extents.width // 2, extents.y + extents.height // 2)
    elif command == "extents":
        extents = Atspi.Component.get_extents(control(*args), Atspi.CoordType.SCREEN)
        print(extents.x, extents.y, extents.width, extents.height)
    elif command == "children":
        node = control(*args)
        for i in range(node.get_child_count()):
            child = node.get_child_at_index(i)
            print(f"{role_name(child)}: {child.get_name()}")
    elif command == "text":
        print(shown_text(control(*args)))
    elif command == "described":
        app_name, description = args
        print(wait_for(find, app_name, lambda node: node.get_description() == description).get_name())
    elif command == "cell":
        app_name, table_name, row = args
        table = control(app_name, "table", table_name)
        print(shown_text(Atspi.Table.get_accessible_at(table, int(row), 0)))
    elif command == "press":
        Atspi.Action.do_action(control(*args), 0)
    elif command == "child-extents":
        parent = control(*args)
        for i in range(parent.get_child_count()):
            child = parent.get_child_at_index(i)
            extents = Atspi.Component.get_extents(child, Atspi.CoordType.SCREEN)
            print(extents.x, extents.y, extents.width, extents.height, child.get_name())
    elif command == "registry":
        registry = Atspi.get_desktop(0)
        print(registry.get_process_id())
    else:
        sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    main(sys.argv)
