"""One training run of the packaged program, pinned to the bit.

    packaged_run.py PROGRAM

The program as the package installs it, built by debhelper with the
distribution's flags, on an X server and session bus of its own
(atspi_test.outside), worked through AT-SPI as a user would: "Train" must end
in "Train Number 10000", and the report of epoch 9999 must hold the errors
that the engine's own test pins to the bit
(FullRun.DefaultStartEndsWithPinnedErrorsAndWeights), as the list box
writes them.
"""
import os
import subprocess
import sys

import atspi_test
from atspi_test import DEADLINE, descendants, do_action, find_alert, find_form, wait_for

# 0x1.cdadd4p-2f ... 0x1.cdd654p-2f, written with 15 significant digits.
PINNED = ["0.450858414173126", "0.451366990804672", "0.4510098695755", "0.451012462377548",
          "0.451088070869446", "0.451012760400772", "0.450896590948105", "0.451248496770859",
          "0.450780183076859", "0.451012909412384"]


def inside(program):
    with atspi_test.accessibility_bus():
        pyatspi = atspi_test.pyatspi
        app = subprocess.Popen([program], env=dict(os.environ, QT_QPA_PLATFORM="xcb",
                                                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
        try:
            form = wait_for("the window Form1 on the accessibility bus", find_form)
            train = [b for b in descendants(form, pyatspi.ROLE_PUSH_BUTTON) if b.name == "Train"]
            do_action(train[0], "Press")
            alert = wait_for("the message box", lambda: find_alert(form), timeout=4 * DEADLINE)
            texts = [n.name for n in pyatspi.utils.findAllDescendants(alert, lambda n: n is not None)]
            assert "Train Number 10000" in texts, texts

            def last_report():
                boxes = [b for b in descendants(form, pyatspi.ROLE_LIST)
                         if b.name.startswith("Errors after epoch 9999")]
                return boxes and [n.name for n in pyatspi.utils.findAllDescendants(boxes[0], lambda n: n is not None and n.name)]
            lines = wait_for("the report of epoch 9999", last_report)
            assert lines == PINNED, f"the report of epoch 9999 reads {lines}"
            print("the packaged program trained to the pinned errors")
        finally:
            app.kill()
            app.wait()
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--inside":
        sys.exit(inside(sys.argv[2]))
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    sys.exit(atspi_test.outside(sys.argv[1], script=__file__))
