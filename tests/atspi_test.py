"""The real program as a screen reader meets it, through AT-SPI.

    atspi_test.py PROGRAM WM_CLOSE

Starts its own X server and session bus, the accessibility bus inside it and
the program with Qt's AT-SPI bridge on, then reads and works the window only
through AT-SPI: the cells, "Train" and its message box, the chart, "Test",
the Network window and its Learning section.
Every wait polls with a deadline; nothing sleeps for a fixed time.
"""
import contextlib
import os
import re
import subprocess
import sys
import time

pyatspi = None  # imported once the accessibility bus is up

DEADLINE = 20.0  # seconds for any one thing to show; a sanitizer build is slow

# The errors of epoch 9999 that FullRun.DefaultStartEndsWithPinnedErrorsAndWeights
# pins (0x1.cdadd4p-2f ...), as the report box writes them.
PINNED_ERRORS = ["0.450858414173126", "0.451366990804672", "0.4510098695755", "0.451012462377548",
                 "0.451088070869446", "0.451012760400772", "0.450896590948105", "0.451248496770859",
                 "0.450780183076859", "0.451012909412384"]


def wait_for(what, probe, timeout=DEADLINE):
    """Polls probe() until it returns something true; returns that."""
    end = time.monotonic() + timeout
    last_error = None
    while time.monotonic() < end:
        pump_events()
        try:
            value = probe()
            if value:
                return value
        except Exception as error:  # the tree changes under us: ask again
            last_error = error
        time.sleep(0.02)
    raise AssertionError(f"timed out waiting for {what}" + (f" ({last_error})" if last_error else ""))


def pump_events():
    if "gi.repository.GLib" in sys.modules:
        context = sys.modules["gi.repository.GLib"].MainContext.default()
        while context.iteration(False):
            pass


# ---------------------------------------------------------------- outside


def outside(program, wm_close):
    """An X server and a session bus of our own, then this script inside them."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        with os.fdopen(read_end) as pipe:
            display = pipe.readline().strip()
        if not display:
            print("Xvfb did not start")
            return 1
        env = dict(os.environ, DISPLAY=":" + display, GSETTINGS_BACKEND="memory")
        env.pop("QT_QPA_PLATFORM", None)
        # A server that has named its display may not answer there yet.
        wait_for("the X server to answer", lambda: subprocess.call(
            ["xdpyinfo"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) == 0)
        return subprocess.call(
            ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__), "--inside", program, wm_close],
            env=env)
    finally:
        xvfb.terminate()
        xvfb.wait()


# ---------------------------------------------------------------- inside


@contextlib.contextmanager
def accessibility_bus():
    """The session's accessibility bus, with pyatspi imported once it is up."""
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for("the accessibility bus", lambda: subprocess.call(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) == 0)
        # Only now: the library finds the accessibility bus when first used.
        global pyatspi
        import pyatspi
        yield
    finally:
        bus.terminate()
        bus.wait()


def inside(program, wm_close):
    with accessibility_bus():
        inside_bus(program, wm_close)
    return 0


def inside_bus(program, wm_close):
    app = None
    try:
        from gi.repository import Atspi

        heard = []  # (event type, source) of every notice, in order
        listener = Atspi.EventListener.new(lambda event: heard.append((event.type, event.source)))
        for kind in ("object:state-changed:checked", "object:property-change:accessible-name",
                     "object:property-change:accessible-description"):
            listener.register(kind)

        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        app = subprocess.Popen([program], env=env)
        form = wait_for("the window Form1 on the accessibility bus", find_form)
        check(form, heard)
        subprocess.check_call([wm_close, "Form1"])
        code = app.wait(timeout=DEADLINE)
        assert code == 0, f"the program ended with exit code {code}"
        app = None
        print("the window worked through AT-SPI and closed with exit code 0")
    finally:
        if app:
            app.kill()
            app.wait()


def find_form():
    for application in pyatspi.Registry.getDesktop(0):
        for window in application or []:
            if window is not None and window.name == "Form1":
                return window
    return None


def descendants(root, role):
    return pyatspi.utils.findAllDescendants(root, lambda node: node is not None and node.getRole() == role)


def states(node):
    return set(node.getState().getStates())


def do_action(node, name):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    assert name in names, f"{node.name!r} offers {names}, not {name}"
    action.doAction(names.index(name))


def focus_window(title):
    # Without a window manager nothing gets the focus unless asked.
    window = subprocess.check_output(["xdotool", "search", "--name", f"^{title}$"], text=True).split()[0]
    subprocess.check_call(["xdotool", "windowfocus", "--sync", window])


def switched(heard):
    """The names of the cells whose checked state was announced."""
    return [source.name for kind, source in heard if kind.startswith("object:state-changed:checked")]


def chart_notices(heard, kind):
    def is_chart(source):
        try:
            return source.getRole() == pyatspi.ROLE_CHART
        except Exception:  # the message box and its parts are gone by now
            return False
    return sum(1 for k, source in heard if k.endswith(kind) and is_chart(source))


def check(form, heard):
    focus_window("Form1")

    # 36 cells, named by their place, focusable, switchable, showing digit 0:
    # the top and bottom rows and the outer columns black.
    cells = {cell.name: cell for cell in descendants(form, pyatspi.ROLE_CHECK_BOX)}
    expected = {f"Row {r}, column {c}" for r in range(1, 10) for c in range(1, 5)}
    assert set(cells) == expected, sorted(cells)
    zero = {name for name in cells if re.match(r"Row [19],|.*column [14]$", name)}
    for name, cell in cells.items():
        assert pyatspi.STATE_FOCUSABLE in states(cell), name
        assert (pyatspi.STATE_CHECKED in states(cell)) == (name in zero), name

    # Its toggle action switches a cell, and the switch is announced.
    cell = cells["Row 2, column 2"]
    do_action(cell, "Toggle")
    wait_for("Row 2, column 2 checked", lambda: pyatspi.STATE_CHECKED in states(cell))
    wait_for("the switch announced", lambda: switched(heard) == ["Row 2, column 2"])
    do_action(cell, "Toggle")
    wait_for("Row 2, column 2 clear again", lambda: pyatspi.STATE_CHECKED not in states(cell))

    # Digit 1 picked from the keyboard: the cells that change say so, the
    # others stay silent. Digit 1 is the right-hand column.
    wait_for("the switch back announced", lambda: len(switched(heard)) == 2)
    heard.clear()
    buttons = {b.name: b for b in descendants(form, pyatspi.ROLE_PUSH_BUTTON)}
    do_action(buttons["Test"], "SetFocus")
    wait_for("Test focused", lambda: pyatspi.STATE_FOCUSED in states(buttons["Test"]))
    combo = descendants(form, pyatspi.ROLE_COMBO_BOX)[0]
    subprocess.check_call(["xdotool", "key", "Tab"])
    wait_for("Tab to the digit list", lambda: pyatspi.STATE_FOCUSED in states(combo))
    subprocess.check_call(["xdotool", "key", "Down"])
    one = {name for name in cells if name.endswith("column 4")}
    wait_for("digit 1 in the cells",
             lambda: all((pyatspi.STATE_CHECKED in states(c)) == (n in one) for n, c in cells.items()))
    wait_for("each change announced once", lambda: sorted(switched(heard)) == sorted(zero ^ one))

    charts = descendants(form, pyatspi.ROLE_CHART)
    assert len(charts) == 1, charts
    chart = charts[0]
    assert chart.name == "Initial Weight random degree", chart.name
    assert chart.description == "2-D view; Random Number: 36 points", chart.description

    # "Train" brings the message box, which its OK closes.
    heard.clear()
    do_action(buttons["Train"], "Press")
    alert = wait_for("the message box", lambda: find_alert(form))
    texts = [n.name for n in pyatspi.utils.findAllDescendants(alert, lambda n: n is not None)]
    assert "Train Number 10000" in texts, texts
    report = [b for b in descendants(form, pyatspi.ROLE_LIST) if b.name.startswith("Errors after epoch 9999")]
    lines = [n.name for n in pyatspi.utils.findAllDescendants(report[0], lambda n: n is not None and n.name)]
    assert lines == PINNED_ERRORS, lines
    ok = [b for b in descendants(alert, pyatspi.ROLE_PUSH_BUTTON) if b.name == "OK"]
    assert ok, texts
    do_action(ok[0], "Press")
    wait_for("the message box closed", lambda: not find_alert(form))
    focus_window("Form1")

    # The chart's name follows its title, its description the new series,
    # and each change is told: a few notices for the run, not one a point.
    wait_for("the chart named by its new title", lambda: chart.name == "Eq degree")
    wait_for("the ten curves described", lambda: "Pattern9: 10001 points" in chart.description)
    wait_for("the new name told", lambda: chart_notices(heard, "accessible-name") >= 1)
    wait_for("the new description told", lambda: chart_notices(heard, "accessible-description") >= 1)
    told = chart_notices(heard, "accessible-description")
    assert told <= 3, f"{told} notices of the chart's description for one run"
    print(f"the chart's description was told {told} times for the run")

    # "Test" tells the digit it drew.
    images = descendants(form, pyatspi.ROLE_IMAGE)
    assert len(images) == 1, images
    do_action(buttons["Test"], "Press")
    told = wait_for("the recognised digit told",
                    lambda: re.fullmatch(r"Recognised digit: \d|No digit recognised", images[0].name))
    print("after Test:", told.group(0))

    check_network_view(form, cells, buttons)


def find_window(form, name):
    for window in form.parent or []:
        if window is not None and window.name == name and pyatspi.STATE_SHOWING in states(window):
            return window
    return None


def neurons(view):
    """The neurons' names by layer word ("Input", "Hidden", "Output"), in order."""
    by_layer = {}
    for item in descendants(view, pyatspi.ROLE_LIST_ITEM):
        match = re.fullmatch(r"(Input|Hidden|Output) neuron (\d+): output (\S+), (delta \S+|no training yet)", item.name)
        assert match, item.name
        by_layer.setdefault(match.group(1), []).append(match)
    return by_layer


def test_outputs(form):
    boxes = [b for b in descendants(form, pyatspi.ROLE_LIST) if b.name.startswith("Outputs of Test")]
    return [line.name for line in pyatspi.utils.findAllDescendants(boxes[0], lambda n: n is not None and n.name)]


def check_network_view(form, cells, buttons):
    # Opened by a click on the link "Y-delta-Weight", which says so in its tooltip.
    label = [n for n in descendants(form, pyatspi.ROLE_LINK) if n.name == "Y-delta-Weight"][0]
    assert "Ctrl+N" in label.description, label.description
    x, y, w, h = label.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.check_call(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1"])
    view = wait_for("the view opened by the label", lambda: find_window(form, "Network"))

    # Every neuron is an item named by layer, number, output and delta; the
    # output neurons show what "Test" listed.
    layers = wait_for("the 63 neurons", lambda: (lambda n: n if sum(map(len, n.values())) == 63 else None)(neurons(view)))
    assert [len(layers[k]) for k in ("Input", "Hidden", "Output")] == [36, 17, 10], layers.keys()
    assert all(m.group(4).startswith("delta ") for k in layers for m in layers[k])
    assert [m.group(3) for m in layers["Output"]] == test_outputs(form)
    maps = [n for n in descendants(view, pyatspi.ROLE_IMAGE) if n.name.endswith("layer weights")]
    assert len(maps) == 3 and all("rows" in m.description for m in maps), [(m.name, m.description) for m in maps]

    # Escape closes it; Ctrl+N on the form opens it again.
    focus_window("Network")
    subprocess.check_call(["xdotool", "key", "Escape"])
    wait_for("the view closed", lambda: not find_window(form, "Network"))
    focus_window("Form1")
    subprocess.check_call(["xdotool", "key", "ctrl+n"])
    view = wait_for("the view opened by Ctrl+N", lambda: find_window(form, "Network"))

    # It follows the input through a copy, then "Test". The input is still
    # digit 9, left by the run: this cell is clear there.
    before = [m.group(3) for m in neurons(view)["Output"]]
    do_action(cells["Row 6, column 2"], "Toggle")
    wait_for("the view following the cell", lambda: [m.group(3) for m in neurons(view)["Output"]] != before)
    do_action(buttons["Test"], "Press")
    wait_for("the view following Test", lambda: [m.group(3) for m in neurons(view)["Output"]] == test_outputs(form))
    print("the view opened by click and by Ctrl+N and followed the input and Test")

    check_learning(form, view, buttons)


def group(view, name):
    """The group box of that name in the view, met as a group."""
    found = pyatspi.utils.findAllDescendants(
        view, lambda n: n is not None and n.name == name and n.getRole() in (pyatspi.ROLE_PANEL, pyatspi.ROLE_GROUPING))
    assert len(found) == 1, (name, found)
    return found[0]


def choose(choice):
    action = choice.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    do_action(choice, "Toggle" if "Toggle" in names else "Press")
    wait_for(f"{choice.name!r} chosen", lambda: pyatspi.STATE_CHECKED in states(choice))


def check_learning(form, view, buttons):
    # Named choices inside named groups, the design chosen.
    learning = group(view, "Learning")
    choices = {}
    for name in ("Start", "Rule"):
        radios = {r.name: r for r in descendants(group(learning, name), pyatspi.ROLE_RADIO_BUTTON)}
        assert pyatspi.STATE_CHECKED in states(radios["as designed"]), (name, list(radios))
        choices[name] = radios
    assert set(choices["Start"]) == {"as designed", "zero mean"}, list(choices["Start"])
    assert set(choices["Rule"]) == {"as designed", "with the sigmoid's slope"}, list(choices["Rule"])

    # A zero-mean start and the slope rule, "New start", then "Train": the
    # run ends early, and "Test" (on digit 9, which the run leaves in the
    # input) recognises 9.
    choose(choices["Start"]["zero mean"])
    choose(choices["Rule"]["with the sigmoid's slope"])
    new_start = [b for b in descendants(view, pyatspi.ROLE_PUSH_BUTTON) if b.name == "New start"][0]
    do_action(new_start, "Press")
    train = buttons["Train"]
    wait_for("Train naming the settings", lambda: "zero mean" in train.description and "slope" in train.description)
    do_action(train, "Press")
    alert = wait_for("the message box", lambda: find_alert(form))
    texts = [n.name for n in pyatspi.utils.findAllDescendants(alert, lambda n: n is not None)]
    ends = [int(t.split()[-1]) for t in texts if t and t.startswith("Train Number ")]
    assert ends and ends[0] < 1000, texts
    do_action([b for b in descendants(alert, pyatspi.ROLE_PUSH_BUTTON) if b.name == "OK"][0], "Press")
    wait_for("the message box closed", lambda: not find_alert(form))
    images = descendants(form, pyatspi.ROLE_IMAGE)
    do_action(buttons["Test"], "Press")
    wait_for("digit 9 recognised", lambda: images[0].name == "Recognised digit: 9")
    print(f"with a zero-mean start and the slope rule: Train Number {ends[0]}, digit 9 recognised")


def find_alert(form):
    application = form.parent
    for window in application or []:
        if window is not None and window.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG):
            return window
    return None


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--inside":
        sys.exit(inside(sys.argv[2], sys.argv[3]))
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    sys.exit(outside(sys.argv[1], sys.argv[2]))
