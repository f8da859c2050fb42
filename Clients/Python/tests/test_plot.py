import contextlib
import importlib.util
import io
import math
import os
import sys
import tempfile
import unittest
from unittest import mock

from talmex.__main__ import main
from talmex.plot import DPI, INSTALL_HINT, SIZE
from talmex.protocol import Report, write_report
from talmex.recording import RecordingWriter

HAS_MATPLOTLIB = importlib.util.find_spec("matplotlib") is not None


def _run(*argv):
    """Exit status and standard error of python3 -m talmex with the arguments."""
    errors = io.StringIO()
    with contextlib.redirect_stderr(errors), contextlib.redirect_stdout(io.StringIO()):
        status = main(list(argv))
    return status, errors.getvalue()


class PlotTest(unittest.TestCase):

    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.folder = folder.name
        # A second of a head turning about y, one report every 2 ms.
        self.recording = os.path.join(self.folder, "turn.tlxr")
        with RecordingWriter(open(self.recording, "wb")) as writer:
            for index in range(500):
                report = Report(sequence=index + 1)
                half = math.radians(index * 0.1) / 2
                report.sensors[0].orientation = [math.cos(half), 0.0, math.sin(half), 0.0]
                writer.add(2000 * index, write_report(report))

    @unittest.skipUnless(HAS_MATPLOTLIB, "matplotlib is not installed")
    def test_writes_a_png_of_the_expected_size(self):
        from matplotlib import image
        output = os.path.join(self.folder, "turn.png")
        self.assertEqual(_run("plot", self.recording, "-o", output), (0, ""))
        pixels = image.imread(output)
        self.assertEqual(pixels.shape[:2], (SIZE[1] * DPI, SIZE[0] * DPI))
        # Not a blank picture: curves, axes and text in more than two shades.
        self.assertGreater(len({tuple(pixel) for row in pixels[::20] for pixel in row[::20]}), 2)

    def test_without_matplotlib_says_what_to_install(self):
        with mock.patch.dict(sys.modules, {"matplotlib": None}):
            status, errors = _run("plot", self.recording)
        self.assertEqual(status, 2)
        self.assertEqual(errors, f"talmex plot: matplotlib is missing: {INSTALL_HINT}\n")


if __name__ == "__main__":
    unittest.main()
