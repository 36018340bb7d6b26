#!/usr/bin/python3
"""What a screen reader hears: the real program on an Xvfb of its own, its
accessibility tree read through AT-SPI. Run inside dbus-run-session, with the
program's path as the argument; exits 0 when every control carries its name."""

import os
import subprocess
import sys
import time

# (role, name) of each control the tree must hold: the boxes named by their
# labels, the group by its caption, the buttons by theirs without padding.
EXPECTED = [
    ("text", "傳送的資料"),
    ("text", "接收的資料"),
    ("panel", "選擇通訊阜"),
    ("radio button", "COM1"),
    ("radio button", "COM2"),
    ("push button", "開啟通訊阜"),
    ("push button", "傳送資料"),
    ("push button", "接收資料"),
    ("push button", "結束"),
]


def eventually(condition, seconds=20):
    """Polls condition until it returns something true or the deadline passes."""
    deadline = time.monotonic() + seconds
    while True:
        result = condition()
        if result or time.monotonic() > deadline:
            return result
        time.sleep(0.05)


def start_xvfb():
    """An X server of the test's own, on the first free display. Without
    -noreset it would start afresh whenever its last client leaves (the bus
    launcher, once it has set its root window property), and refuse a client
    that connects meanwhile: the program would find no display."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset",
         "-screen", "0", "1280x1024x24"],
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    if not number:
        sys.exit("Xvfb did not start")
    return server, ":" + number


def walk(node, depth=0):
    """Every node under node, with its depth."""
    yield node, depth
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def main():
    program = sys.argv[1]
    server, display = start_xvfb()
    # The test's own display, for the AT-SPI library in this process too: it
    # looks for the accessibility bus on the display it is given, which
    # would otherwise be whatever display the test was started from.
    for name in ("WAYLAND_DISPLAY", "AT_SPI_BUS_ADDRESS"):
        os.environ.pop(name, None)
    os.environ["DISPLAY"] = display
    env = dict(os.environ)
    children = [server]
    try:
        children.append(subprocess.Popen(
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=env))
        import pyatspi  # pylint: disable=import-outside-toplevel
        children.append(subprocess.Popen(
            [program], env=dict(env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                                QT_QPA_PLATFORM="xcb", COM1="/dev/null")))

        def seen():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name == "comterm":
                    return [(n.getRoleName(), n.name, d) for n, d in walk(app)]
            return None

        def missing(nodes):
            found = {(role, name) for role, name, _ in nodes}
            return [wanted for wanted in EXPECTED if wanted not in found]

        if eventually(lambda: (nodes := seen()) is not None and not missing(nodes)):
            print("every control carries its name")
            return 0
        nodes = seen() or []
        print("missing:", *(f"{role} {name!r}" for role, name in missing(nodes)), file=sys.stderr)
        print("the tree:", file=sys.stderr)
        for role, name, depth in nodes:
            print(f"  {'  ' * depth}{role} {name!r}", file=sys.stderr)
        return 1
    finally:
        for child in reversed(children):
            child.terminate()
            child.wait(10)


if __name__ == "__main__":
    sys.exit(main())
