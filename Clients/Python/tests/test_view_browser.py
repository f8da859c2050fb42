"""The view in a real browser: headless Chromium loads the page from the
view server that python3 -m talmex view starts on the simulated headset."""

import math
import os
import re
import select
import signal
import subprocess
import sys
import time
import unittest
from pathlib import Path

from tests.view_browser import HeadlessChromium, find_chromium, png_pixels, screenshot

AGENT = os.environ.get("TALMEX_AGENT", "")
# Set to write the picture of docs/tools.md, docs/view.png, from this run.
UPDATE_DOCS = os.environ.get("TALMEX_UPDATE_DOCS") == "1"
DOCS_PICTURE = Path(__file__).resolve().parents[3] / "docs" / "view.png"
# CTest counts a test as skipped when its output starts a reason with this.
SKIP = "no browser: "


def angle_from_forward(orientation):
    """Degrees the orientation (w, x, y, z) turns the head away from (1, 0, 0, 0)."""
    w = abs(orientation[0]) / math.hypot(*orientation)
    return math.degrees(2 * math.acos(min(1.0, w)))


def changed_share(first, second):
    """The share of pixels that differ clearly between two PNGs of one size."""
    width, height, rows = png_pixels(first)
    other_width, other_height, other_rows = png_pixels(second)
    if (other_width, other_height) != (width, height):
        raise ValueError("the pictures differ in size")
    channels = len(rows[0]) // width
    changed = sum(1 for row, other in zip(rows, other_rows) for x in range(0, len(row), channels)
                  if max(abs(row[x + c] - other[x + c]) for c in range(3)) > 24)
    return changed / (width * height)


def _children(pid):
    try:
        return [int(child) for child in Path(f"/proc/{pid}/task/{pid}/children").read_text().split()]
    except OSError:
        return []


@unittest.skipUnless(AGENT, "CTest names the agent")
class ViewInBrowserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not find_chromium():
            raise unittest.SkipTest(SKIP + "chromium is not installed (scripts/bootstrap installs it)")
        cls.server = subprocess.Popen([sys.executable, "-m", "talmex", "view", "--agent", AGENT, "--port", "0"],
                                      stdout=subprocess.PIPE, text=True)
        try:
            cls.url = cls._printed_address()
            cls.agent = next(iter(_children(cls.server.pid)), 0)
            cls.browser = HeadlessChromium()
            if not cls.browser.start():
                raise unittest.SkipTest(SKIP + cls.browser.error)
            cls.page = cls.browser.open_tab(cls.url)
        except BaseException:
            cls._stop_server()
            raise

    @classmethod
    def _printed_address(cls):
        ready, _, _ = select.select([cls.server.stdout], [], [], 10)
        line = cls.server.stdout.readline() if ready else ""
        found = re.search(r"open (http://127\.0\.0\.1:\d+/)", line)
        if not found:
            raise AssertionError(f"no address printed: {line!r}")
        return found.group(1)

    @classmethod
    def tearDownClass(cls):
        cls.page.close()
        cls.browser.stop()
        cls._stop_server()

    @classmethod
    def _stop_server(cls):
        cls.server.send_signal(signal.SIGINT)
        try:
            cls.server.wait(10)
        except subprocess.TimeoutExpired:
            cls.server.kill()
            cls.server.wait()
        cls.server.stdout.close()

    def until(self, condition, timeout=5.0):
        deadline = time.monotonic() + timeout
        while not condition():
            if time.monotonic() > deadline:
                return False
            time.sleep(0.05)
        return True

    def evaluate_until(self, expression, timeout=5.0):
        self.assertTrue(self.until(lambda: self.page.evaluate(expression), timeout), f"never true: {expression}")

    def shown(self):
        """What the model showed: [page time in ms, orientation], oldest first."""
        return self.page.evaluate("talmexView.history()")

    def setUp(self):
        # The page's script defines talmexView once the document is there.
        self.evaluate_until("window.talmexView && talmexView.history().length > 0"
                            " && document.getElementById('status').textContent === 'serving'", timeout=10)

    def test_the_model_turns_with_the_head(self):
        first = screenshot(self.page, "#stage", scale=0.5)
        time.sleep(1.0)
        second = screenshot(self.page, "#stage", scale=0.5)
        self.assertGreater(changed_share(first, second), 0.01, "the model did not move within a second")
        if UPDATE_DOCS:
            time.sleep(6)  # traces of several seconds
            DOCS_PICTURE.write_bytes(screenshot(self.page, "body"))

    def test_reset_turns_the_model_forward(self):
        # The simulated head turns at 25 degrees a second at most: from 25
        # degrees off forward it cannot come within 4 by itself in 0.7 s.
        self.assertTrue(self.until(lambda: angle_from_forward(self.shown()[-1][1]) > 25, timeout=15))
        x, y = self.page.evaluate("(() => { const r = document.getElementById('reset').getBoundingClientRect();"
                                  " return [r.x + r.width / 2, r.y + r.height / 2]; })()")
        clicked_at = self.page.evaluate("performance.now()")
        for kind in ("mousePressed", "mouseReleased"):
            self.page.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)
        time.sleep(1.0)
        after = [angle_from_forward(q) for at, q in self.shown() if clicked_at < at <= clicked_at + 700]
        self.assertTrue(after, "no pose shown after the click")
        self.assertLess(min(after), 4.0, "the model did not face forward after the reset")

    @unittest.skipUnless(hasattr(signal, "SIGSTOP"), "needs SIGSTOP")
    def test_the_page_says_when_the_agent_stops_answering_and_recovers(self):
        self.assertTrue(self.agent, "the view server's agent")
        os.kill(self.agent, signal.SIGSTOP)
        try:
            self.evaluate_until("document.getElementById('status').textContent.startsWith('agent not answering')"
                                " && document.body.classList.contains('silent')")
        finally:
            os.kill(self.agent, signal.SIGCONT)
        self.evaluate_until("document.getElementById('status').textContent === 'serving'")
        self.assertFalse(self.page.evaluate("document.body.classList.contains('silent')"))
