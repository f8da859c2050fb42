import contextlib
import importlib.util
import io
import math
import os
import shutil
import sys
import tempfile
import unittest
from pathlib import Path
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
        for _ in range(2):  # the second time over its own picture
            self.assertEqual(_run("plot", self.recording, "-o", output), (0, ""))
        pixels = image.imread(output)
        self.assertEqual(pixels.shape[:2], (SIZE[1] * DPI, SIZE[0] * DPI))
        # Not a blank picture: curves, axes and text in more than two shades.
        self.assertGreater(len({tuple(pixel) for row in pixels[::20] for pixel in row[::20]}), 2)

    @unittest.skipUnless(HAS_MATPLOTLIB, "matplotlib is not installed")
    def test_refuses_to_write_over_the_recording_a_file_that_is_no_picture_or_no_file(self):
        named_png = os.path.join(self.folder, "named.png")
        shutil.copy(self.recording, named_png)
        linked, hard, notes = (os.path.join(self.folder, name) for name in ("linked.png", "hard.png", "notes"))
        os.symlink(self.recording, linked)
        os.link(self.recording, hard)
        with open(notes, "wb") as file:
            file.write(b"keep me")
        cases = [((named_png,), "named.png is the recording itself"),
                 ((self.recording, "-o", self.recording), "turn.tlxr is the recording itself"),
                 ((self.recording, "-o", linked), "linked.png is the recording itself"),
                 ((self.recording, "-o", hard), "hard.png is the recording itself"),
                 ((self.recording, "-o", notes), "notes holds something other than a PNG picture"),
                 ((self.recording, "-o", self.folder), f"cannot write {self.folder}: "),
                 ((self.recording, "-o", os.path.join(self.folder, "none", "x.png")), "cannot write ")]
        for arguments, reason in cases:
            with self.subTest(arguments=arguments):
                before = self._files()
                status, errors = _run("plot", *arguments)
                self.assertEqual(status, 1)
                self.assertIn(reason, errors)
                self.assertEqual(self._files(), before, "nothing written")

    def _files(self):
        return {path.name: path.read_bytes() for path in Path(self.folder).iterdir()}

    def test_without_matplotlib_says_what_to_install(self):
        with mock.patch.dict(sys.modules, {"matplotlib": None}):
            status, errors = _run("plot", self.recording)
        self.assertEqual(status, 2)
        self.assertEqual(errors, f"talmex plot: matplotlib is missing: {INSTALL_HINT}\n")


if __name__ == "__main__":
    unittest.main()
