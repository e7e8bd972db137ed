"""Works the running calculator as a screen reader would, over the AT-SPI bus: finds its window,
presses Calculate through the button's accessible action, and checks that each result line is a
notification that was shown anew, the event on which screen readers speak one, and now reads as
its sentence. Exit status 0 when all three are."""

import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

CAPTION = "Dar Uridizo Dodode Vozo Rov  (v1.0)"
# The result lines for the window's starting inputs, top to bottom.
EXPECTED = [
    "Your $40,000 will grow to $280,544.16 if left in a tax deferred account for 27 years "
    "while growing at consistent 5% per year.",
    "At the interest rate of 5% you will need to add $2,850 per month to achieve a $2 Million "
    "Dollar Nest Egg",
    "At the rate of 20% annual interest your money will grow to over 2 million in those 27 years.",
]
# Found by size, not by name: the result labels alone are 7095 x 855 twips.
RESULT_SIZE = (473, 57)


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def pump(seconds, done):
    """Delivers bus events until done() holds, for at most `seconds`."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while not done() and time.monotonic() < deadline:
        if not context.iteration(False):
            time.sleep(0.02)
    return done()


def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def descendants(node):
    for child in children(node):
        if child is not None:
            yield child
            yield from descendants(child)


def find_window():
    for app in children(Atspi.get_desktop(0)):
        for window in children(app) if app is not None else []:
            if window is not None and window.get_name() == CAPTION:
                return window
    return None


def calculate_button(window):
    for node in descendants(window):
        if node.get_role() == Atspi.Role.PUSH_BUTTON and node.get_name() == "Calculate":
            return node
    return fail("no push button named 'Calculate' in the window")


def result_labels(window):
    labels = []
    for node in descendants(window):
        extents = node.get_extents(Atspi.CoordType.SCREEN)
        size = (extents.width, extents.height)
        if node.get_role() == Atspi.Role.NOTIFICATION and size == RESULT_SIZE:
            labels.append((extents.y, node))
    if len(labels) != len(EXPECTED):
        fail(f"{len(labels)} notifications of {RESULT_SIZE[0]}x{RESULT_SIZE[1]} pixels, not 3")
    return [node for _, node in sorted(labels, key=lambda pair: pair[0])]


def press(button):
    with warnings.catch_warnings():  # libatspi 2.46 has no other way to read an action's name
        warnings.simplefilter("ignore", DeprecationWarning)
        names = [button.get_action_name(i).lower() for i in range(button.get_n_actions())]
    if "press" not in names:
        fail(f"Calculate offers no press action, only {names}")
    button.do_action(names.index("press"))


def readings(label):
    """What a screen reader can read of a label: its name and, if it has one, its text."""
    text = Atspi.Text.get_text(label, 0, -1) if "Text" in label.get_interfaces() else None
    return label.get_name(), text


def main():
    if not pump(30, lambda: find_window() is not None):
        fail(f"no window '{CAPTION}' on the accessibility bus")
    window = find_window()
    button = calculate_button(window)
    labels = result_labels(window)

    shown = [0 for _ in labels]

    def on_event(event):
        for index, label in enumerate(labels):
            if event.source == label and event.detail1 == 1:
                shown[index] += 1

    listener = Atspi.EventListener.new(on_event)
    listener.register("object:state-changed:showing")
    pump(1, lambda: False)  # time for the program to learn that someone listens

    press(button)
    pump(20, lambda: all(shown))

    failures = []
    for number, (label, expected, times) in enumerate(zip(labels, EXPECTED, shown), start=1):
        name, text = readings(label)
        print(f"result {number}: name {name!r}, text {text!r}, "
              f"description {label.get_description()!r}, shown {times} time(s)")
        if expected not in (name, text):
            failures.append(f"result {number} reads {name!r}, not {expected!r}")
        if times == 0:
            failures.append(f"result {number} was not shown anew with its sentence")
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
