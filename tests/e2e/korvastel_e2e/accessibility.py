"""Reads and drives a running program the way a screen reader does: over the accessibility bus (AT-SPI)."""
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

from .checks import Abort  # noqa: E402

# how long a control may take to appear
SECONDS = 15


class NotFound(Abort):
    """A control the test has to use is not there."""


class Application:
    """One application on the accessibility bus, found by its name. AT-SPI
    reads DBUS_SESSION_BUS_ADDRESS once, so the first of these is made after
    the session bus is there."""

    _initialised = False

    def __init__(self, name):
        if not Application._initialised:
            Atspi.init()
            Application._initialised = True
        self.name = name

    @staticmethod
    def _refresh():
        # the bus's news (applications come and go) arrive as signals, which
        # only the main loop delivers
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)

    @classmethod
    def _applications(cls):
        cls._refresh()
        desktop = Atspi.get_desktop(0)
        # the applications on the bus as the registry has them now
        desktop.clear_cache()
        return [app for app in _children(desktop)]

    def _app(self):
        for app in self._applications():
            try:
                if app.get_name() == self.name:
                    # what was read of it before may have changed since
                    app.clear_cache()
                    return app
            except GLib.Error:
                continue
        return None

    @classmethod
    def names_on_bus(cls):
        """The names of the applications on the bus, for a failure's report."""
        names = []
        for app in cls._applications():
            try:
                names.append(app.get_name())
            except GLib.Error as error:
                names.append(f"({error.message})")
        return names

    @staticmethod
    def _wait(function):
        deadline = time.monotonic() + SECONDS
        while True:
            result = function()
            if result is not None:
                return result
            if time.monotonic() > deadline:
                return None
            time.sleep(0.2)

    def wait(self):
        """Whether the application shows up on the bus."""
        return self._wait(self._app) is not None

    def _find(self, predicate):
        app = self._app()
        if app is None:
            return None
        try:
            for node in _walk(app):
                try:
                    if predicate(node):
                        return node
                except GLib.Error:
                    continue
        except GLib.Error:
            # the tree changed under the walk: the next try walks it anew
            pass
        return None

    def find(self, predicate):
        """The first control that predicate accepts, waited for; None when none shows."""
        return self._wait(lambda: self._find(predicate))

    def control(self, role, name):
        """The control of that role ("push button", "text", "menu item", ...)
        and name; the test cannot go on without it."""
        node = self.find(lambda node: role_name(node) == role and node.get_name() == name)
        if node is None:
            raise NotFound(f"no {role} '{name}' in {self.name}")
        return node

    def extents(self, role, name):
        """The control's rectangle on the screen: x, y, width, height."""
        return _rectangle(self.control(role, name))

    def centre(self, role, name):
        x, y, width, height = self.extents(role, name)
        return x + width // 2, y + height // 2

    def children(self, role, name):
        """The roles and names of the control's children, "role: name" each."""
        node = self.control(role, name)
        return [f"{role_name(child)}: {child.get_name()}" for child in _children(node)]

    def child_extents(self, role, name):
        """The rectangle and name of each child of the control: (x, y, width, height, name)."""
        return [(*_rectangle(child), child.get_name()) for child in _children(self.control(role, name))]

    def text(self, role, name):
        """The text the control shows; None when there is no such control."""
        node = self.find(lambda node: role_name(node) == role and node.get_name() == name)
        return None if node is None else _shown_text(node)

    def described(self, description):
        """The name of the control with that description; None when there is none."""
        node = self.find(lambda node: node.get_description() == description)
        return None if node is None else node.get_name()

    def cell(self, table, row, column=0):
        """The text of a cell of the table of that name."""
        return _shown_text(Atspi.Table.get_accessible_at(self.control("table", table), row, column))

    def press(self, role, name):
        """The control's default action, as a screen reader's user runs it."""
        Atspi.Action.do_action(self.control(role, name), 0)


def registry_pid():
    """The process id of the accessibility registry, which the bus started."""
    return Atspi.get_desktop(0).get_process_id()


def role_name(node):
    """The node's role by the names of at-spi2 2.46 (Debian 12), which later
    versions shortened: a push button is a "button" from at-spi2 2.50 on."""
    name = node.get_role_name()
    return {"button": "push button"}.get(name, name)


def _children(node):
    return [child for child in (node.get_child_at_index(i) for i in range(node.get_child_count())) if child is not None]


def _walk(node):
    yield node
    # a table's cells are reached through its table interface: walking its
    # thousands of rows would only make every search slow
    if role_name(node) == "table":
        return
    for child in _children(node):
        yield from _walk(child)


def _rectangle(node):
    extents = Atspi.Component.get_extents(node, Atspi.CoordType.SCREEN)
    return extents.x, extents.y, extents.width, extents.height


def _shown_text(node):
    if "Text" in node.get_interfaces():
        return Atspi.Text.get_text(node, 0, -1)
    return node.get_name()
