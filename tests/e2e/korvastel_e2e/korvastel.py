"""Korvastel's window as its user meets it: the controls' names, the worked example, the toolbar, closing."""
import subprocess

from . import desktop, pictures
from .processes import alive, ended, wait_until

APP = "Korvastel"
WINDOW_TITLE = "Korvastel - "
GRID = "Длина пролёта, м"
RULING_SPAN = "Приведённый пролёт, м"
SUM = "Сумма введённых пролётов, м"
COUNT = "Число пролётов"
CALCULATE = "Расчёт"
HELP = "Помощь"
EXIT = "Выход"
TOOLBAR = "Панель инструментов"
TOOLBAR_BUTTONS = ["Очистить", "Открыть файл", "Сохранить файл", "Расчёт", "О программе", "Помощь",
                   "Выход"]

# spans 100, 200 and 300 m: their ruling span, their sum and their count
WORKED_EXAMPLE = ("100", "200", "300")
WORKED_RESULTS = {"ruling span": "244.95", "sum of spans": "600.00", "span count": "3"}


def type_spans(spans, delay=20):
    """Spans typed into the grid, which has the keyboard, a row each."""
    for span in spans:
        desktop.type_text(span, delay)
        desktop.key("Down")


def start(checks, processes, app, argv, log, **options):
    """The program started, on the accessibility bus, its window found and
    given the keyboard; the pointer out of the way."""
    with open(log, "ab") as output:
        program = processes.start(argv, stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                                  **options)
    checks.on_failure("the program's output", log)
    if not app.wait():
        checks.abort(f"the program never appeared on the accessibility bus (the program "
                     f"{'runs' if alive(program.pid) else 'has ended'}; on the bus: {app.names_on_bus()})")
    window = desktop.find_window(WINDOW_TITLE, pid=program.pid)
    if window is None:
        checks.abort("no window of the program on the display")
    desktop.focus(window)
    desktop.xdotool("mousemove", "0", "0")
    return program, window


def results(app):
    """What the window shows after a calculation."""
    return {"ruling span": app.text("text", RULING_SPAN), "sum of spans": app.text("text", SUM),
            "span count": app.described(COUNT)}


def check_worked_example(checks, app):
    """The worked example typed in and calculated with the toolbar's button;
    the results read back, and the grid's second row."""
    type_spans(WORKED_EXAMPLE)
    desktop.click(*app.centre("push button", CALCULATE))
    desktop.xdotool("mousemove", "0", "0")
    wait_until(lambda: app.text("text", RULING_SPAN) == WORKED_RESULTS["ruling span"], 5)
    shown = results(app)
    for what, expected in WORKED_RESULTS.items():
        checks.expect(what, shown[what], expected)
    checks.expect("grid row 1", app.cell(GRID, 1), WORKED_EXAMPLE[1])


def check_toolbar_pictures(checks, display, app, when, scratch):
    """Each of the seven buttons shows its picture. The toolbar is a
    gradient, and a button without its picture shows nothing else: within a
    picture the colour changes along a row, within the gradient it does not."""
    screen = scratch / "screen.png"
    display.screenshot(screen)
    # a separator has no name
    buttons = [button for button in app.child_extents("tool bar", TOOLBAR) if button[4]]
    counted = []
    for x, y, width, height, name in buttons:
        differing = pictures.off_its_rows(screen, width, height, x, y, scratch)
        checks.check(f"{when}, the toolbar button '{name}' shows its picture ({differing} pixels off the gradient)",
                     differing >= 20)
        counted.append(f"{name}: {differing}")
    checks.info(f"{when}, pixels off the gradient: {'; '.join(counted)}")
    checks.check(f"{when}, the toolbar has its seven buttons (found {len(buttons)})", len(buttons) == 7)


def close_from_menu(checks, app, program):
    """Closed as a user would, through the menu's exit command: it ends, with status 0."""
    app.press("menu item", EXIT)
    if not ended(program.pid, 10):
        checks.fail("the program did not close")
        return
    checks.expect("the program's exit status", program.wait(), 0)
