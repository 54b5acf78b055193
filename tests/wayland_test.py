"""The real program on a Wayland compositor, with no X server to fall back on.

    wayland_test.py PROGRAM

Starts a headless weston with a runtime directory and a session bus of its
own, then the program as a desktop starts it (Qt chooses the platform), and
works it through AT-SPI: the window must open natively with nothing on
standard error and at its designed size, the Network window must open by
the action of the label "Y-delta-Weight", and a "Train" run must end in its
message box. Then the compositor is killed under the running program, which
must end with one line on standard error and exit code 0.
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile

import atspi_test
from atspi_test import DEADLINE, descendants, do_action, find_alert, find_form, find_window, wait_for


def outside(program):
    runtime = tempfile.mkdtemp(prefix="digits-wayland-")
    os.chmod(runtime, 0o700)  # weston and Qt refuse a runtime directory others can read
    name = f"digits-test-{os.getpid()}"
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, GSETTINGS_BACKEND="memory")
    for variable in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(variable, None)
    with open(os.path.join(runtime, "weston.log"), "w") as log:
        weston = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", f"--socket={name}", "--width=1280", "--height=800"],
            env=env, stdout=log, stderr=subprocess.STDOUT)
    try:
        def answers():
            with socket.socket(socket.AF_UNIX) as probe:
                probe.connect(os.path.join(runtime, name))
                return True
        try:
            wait_for("weston to answer on its socket", answers)
        except AssertionError:
            print(open(os.path.join(runtime, "weston.log")).read())
            raise
        env["WAYLAND_DISPLAY"] = name
        return subprocess.call(
            ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__), "--inside", program,
             str(weston.pid)], env=env)
    finally:
        if weston.poll() is None:
            weston.terminate()
        weston.wait()
        shutil.rmtree(runtime, ignore_errors=True)


def inside(program, weston_pid):
    app = None
    err_path = os.path.join(os.environ["XDG_RUNTIME_DIR"], "program.err")
    with atspi_test.accessibility_bus():
        pyatspi = atspi_test.pyatspi
        try:
            with open(err_path, "w") as err:
                app = subprocess.Popen([program], env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"),
                                       stdout=subprocess.DEVNULL, stderr=err)
            form = wait_for("the window Form1 on the accessibility bus", find_form)
            said = open(err_path).read()
            assert said == "", f"the program started with this on standard error:\n{said}"
            extents = form.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
            assert (extents.width, extents.height) == (892, 640), f"the window is {extents.width}x{extents.height}"

            # A screen reader's synthetic keys do nothing on Wayland: the Network
            # window opens by the label's own action, and both windows are frames.
            assert form.getRole() == pyatspi.ROLE_FRAME, form.getRoleName()
            link = [n for n in descendants(form, pyatspi.ROLE_LINK) if n.name == "Y-delta-Weight"]
            assert link, "no link Y-delta-Weight"
            do_action(link[0], "Press")
            view = wait_for("the Network window opened by the link", lambda: find_window(form, "Network"))
            assert view.getRole() == pyatspi.ROLE_FRAME, view.getRoleName()

            buttons = {b.name: b for b in descendants(form, pyatspi.ROLE_PUSH_BUTTON)}
            do_action(buttons["Train"], "Press")
            alert = wait_for("the message box", lambda: find_alert(form))
            texts = [n.name for n in pyatspi.utils.findAllDescendants(alert, lambda n: n is not None)]
            assert "Train Number 10000" in texts, texts
            ok = [b for b in descendants(alert, pyatspi.ROLE_PUSH_BUTTON) if b.name == "OK"]
            do_action(ok[0], "Press")
            wait_for("the message box closed", lambda: not find_alert(form))

            os.kill(weston_pid, signal.SIGKILL)
            code = app.wait(timeout=DEADLINE)
            app = None
            assert code == 0, f"the program ended with exit code {code}"
            said = open(err_path).read().splitlines()
            assert len(said) == 1, f"standard error has {len(said)} lines: {said}"
            print("native on Wayland, 892x640, the Network window opened by the link, trained; the compositor killed:",
                  said[0])
            return 0
        finally:
            if app:
                app.kill()
                app.wait()


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--inside":
        sys.exit(inside(sys.argv[2], int(sys.argv[3])))
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    sys.exit(outside(sys.argv[1]))
