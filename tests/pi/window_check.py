"""The program as a user works it, read back through AT-SPI: the check that a
build for another machine (arm64, run under qemu in a root of its own) writes
what the x86-64 program writes.

    window_check.py [--expect FILE | --write FILE] [--shot PNG] -- COMMAND...
    window_check.py --start-only -- COMMAND...

COMMAND starts the program. This script starts an X server, a session bus
and the accessibility bus on this machine, all with their sockets under
/tmp: a program in a root of its own (through chroot) finds them there when
this machine's /tmp is bound to the root's. Then, with the mouse and the keyboard through xdotool: "Train"
until its message box, digit 3 picked from the list, "Test". What the window
shows is read through AT-SPI: the message, the three report boxes, the ten
outputs and the recognised digit. --expect compares them with FILE line by
line, --write writes them to FILE; --shot saves the window as a PNG.
--start-only waits for the window and ends the program.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import atspi_test  # noqa: E402  the waiting and the tree walks of the screen-reader test
from atspi_test import descendants, find_alert, find_form, wait_for  # noqa: E402

# Under qemu the program starts, trains and answers some ten times slower.
STARTUP = 180.0
TRAINING = 1200.0

# Where the designed form puts its controls, from its top-left corner.
TRAIN_BUTTON = (124, 532)
TEST_BUTTON = (328, 532)
DIGIT_LIST = (110, 60)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--expect")
    parser.add_argument("--write")
    parser.add_argument("--shot")
    parser.add_argument("--start-only", action="store_true")
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    if args.inside:
        return inside(args)
    return outside(args)


def outside(args):
    """An X server and a session bus of our own, then this script inside them."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp", "-screen", "0", "1280x800x24"],
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    runtime = tempfile.mkdtemp(prefix="digits-window-", dir="/tmp")
    try:
        with os.fdopen(read_end) as pipe:
            display = pipe.readline().strip()
        if not display:
            print("Xvfb did not start")
            return 1
        # The accessibility bus puts its socket in the runtime directory.
        env = dict(os.environ, DISPLAY=":" + display, GSETTINGS_BACKEND="memory", XDG_RUNTIME_DIR=runtime)
        env.pop("QT_QPA_PLATFORM", None)
        wait_for("the X server to answer", lambda: subprocess.call(
            ["xdpyinfo"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) == 0)
        return subprocess.call(["dbus-run-session", "--", sys.executable, os.path.abspath(__file__), "--inside"]
                               + sys.argv[1:], env=env)
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(runtime, ignore_errors=True)


def accessibility_bus():
    """Starts the accessibility bus and waits until it answers."""
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for("the accessibility bus", lambda: subprocess.call(
        ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
         "org.a11y.Bus.GetAddress"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) == 0)
    return bus


def inside(args):
    bus = accessibility_bus()
    app = None
    try:
        import pyatspi
        atspi_test.pyatspi = pyatspi

        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        app = subprocess.Popen(args.command, env=env)
        window = wait_for("the window Form1", lambda: window_id(app), timeout=STARTUP)
        if args.start_only:
            print("the window Form1 appeared")
            return 0
        form = wait_for("Form1 on the accessibility bus", find_form, timeout=STARTUP)
        read = work(form, window)
        if args.shot:
            shoot(window, args.shot)
        print("\n".join(read))
        if args.write:
            with open(args.write, "w") as f:
                f.write("\n".join(read) + "\n")
        if args.expect:
            with open(args.expect) as f:
                expected = f.read().splitlines()
            wrong = [(e, r) for e, r in zip(expected, read) if e != r]
            if len(expected) != len(read) or wrong:
                print(f"FAIL: not as in {args.expect}:", *[f"  expected {e!r}, read {r!r}" for e, r in wrong],
                      f"  ({len(expected)} lines expected, {len(read)} read)", sep="\n")
                return 1
            print(f"all {len(read)} lines as in {args.expect}")
        return 0
    finally:
        if app:
            app.terminate()
            try:
                app.wait(timeout=30)
            except subprocess.TimeoutExpired:
                app.kill()
                app.wait()
        bus.terminate()
        bus.wait()


def window_id(app):
    assert app.poll() is None, f"the program ended with exit code {app.returncode} before its window appeared"
    found = subprocess.run(["xdotool", "search", "--name", "^Form1$"], capture_output=True, text=True).stdout.split()
    return found[0] if found else None


def click(window, at):
    x, y = origin(window)
    subprocess.check_call(["xdotool", "mousemove", str(x + at[0]), str(y + at[1]), "click", "1"])


def origin(window):
    geometry = subprocess.check_output(["xdotool", "getwindowgeometry", window], text=True)
    x, y = re.search(r"Position: (\d+),(\d+)", geometry).groups()
    return int(x), int(y)


def lines(form, prefix):
    """The lines of the list box whose accessible name starts with prefix."""
    import pyatspi
    boxes = [b for b in descendants(form, pyatspi.ROLE_LIST) if b.name.startswith(prefix)]
    if len(boxes) != 1:
        return None
    return [n.name for n in pyatspi.utils.findAllDescendants(boxes[0], lambda n: n is not None and n.name)]


def ten_lines(form, prefix):
    found = lines(form, prefix)
    return found if found and len(found) == 10 else None


def work(form, window):
    """Train, digit 3, Test; returns what the window shows, as lines."""
    import pyatspi
    read = []
    click(window, TRAIN_BUTTON)
    alert = wait_for("the message box of Train", lambda: find_alert(form), timeout=TRAINING)
    texts = [n.name for n in pyatspi.utils.findAllDescendants(alert, lambda n: n is not None)]
    message = [t for t in texts if t.startswith("Train Number")]
    assert len(message) == 1, texts
    read += ["# Train", message[0]]
    subprocess.check_call(["xdotool", "key", "Return"])
    wait_for("the message box closed", lambda: not find_alert(form), timeout=STARTUP)

    for epoch in (0, 5000, 9999):
        errors = wait_for(f"the errors after epoch {epoch}",
                          lambda: ten_lines(form, f"Errors after epoch {epoch}, run 1"), timeout=STARTUP)
        read += [f"# errors after epoch {epoch}"] + errors

    # Digit 3 from the list, as a user picks it: the list focused, then
    # three steps down from the top.
    click(window, DIGIT_LIST)
    subprocess.check_call(["xdotool", "key", "Escape", "Home"])
    combo = descendants(form, pyatspi.ROLE_COMBO_BOX)[0]
    for _ in range(3):
        subprocess.check_call(["xdotool", "key", "Down"])
        time.sleep(0.2)
    wait_for("digit 3 picked", lambda: combo.name == "3", timeout=STARTUP)
    click(window, TEST_BUTTON)
    outputs = wait_for("the outputs of Test", lambda: ten_lines(form, "Outputs of Test"), timeout=STARTUP)
    image = descendants(form, pyatspi.ROLE_IMAGE)[0]
    recognised = wait_for("the recognised digit",
                          lambda: re.fullmatch(r"Recognised digit: -?\d|No digit recognised", image.name),
                          timeout=STARTUP)
    read += ["# outputs of Test, digit 3"] + outputs + [recognised.group(0)]
    return read


def shoot(window, path):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    time.sleep(1)  # the last repaint
    subprocess.check_call(["import", "-window", window, path])


if __name__ == "__main__":
    sys.exit(main())
