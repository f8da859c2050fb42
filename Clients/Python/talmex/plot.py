"""python3 -m talmex plot FILE [-o out.png]: a picture of a recording, with
matplotlib when it is installed (the package itself needs only the standard
library)."""

import argparse
import datetime
import os
import stat
import sys
from typing import BinaryIO, List, Optional, Tuple

from .orientation import yaw_pitch_roll
from .protocol import ReportCheck, decode_report
from .recording import load_recording

HELP = ("draw sensor 0's yaw, pitch and roll against time, and the intervals between reports, "
        "from a recording")
INSTALL_HINT = "install python3-matplotlib (Debian) or matplotlib (pip)"
# The picture's size in inches, at DPI dots an inch: 1200 x 800 pixels.
SIZE = (12.0, 8.0)
DPI = 100
_ANGLES = (("yaw", "tab:cyan"), ("pitch", "tab:olive"), ("roll", "tab:purple"))
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def add_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("recording", metavar="FILE", help="a recording, as talmex-monitor --record writes it")
    parser.add_argument("-o", "--output", metavar="PNG",
                        help="where the PNG picture goes (default: FILE with the ending .png); never FILE"
                             " itself, nor a file that holds anything but a PNG picture")


def _samples(records) -> List[Tuple[float, Tuple[float, float, float]]]:
    """Seconds since the first report, and sensor 0's angles, of each report;
    datagrams that are not reports are passed over."""
    samples = []
    for record in records:
        check, report = decode_report(record.datagram)
        if check is ReportCheck.VALID:
            samples.append((record.receive_us / 1e6, tuple(yaw_pitch_roll(report.sensors[0].orientation))))
    first = samples[0][0] if samples else 0.0
    return [(seconds - first, angles) for seconds, angles in samples]


def _wall_time(microseconds: int) -> str:
    try:
        started = datetime.datetime.fromtimestamp(microseconds / 1e6, datetime.timezone.utc)
    except (OverflowError, OSError, ValueError):
        return f"{microseconds} us after 1970"  # past what a calendar date holds
    return f"{started:%Y-%m-%d %H:%M:%S} UTC"


def _open_output(path: str, recording: str) -> Tuple[Optional[BinaryIO], str]:
    """The picture's file, open to be written over, or None and why not. It
    is checked once open, before anything is cut, so that the file checked is
    the one written: never the recording, whatever name leads to it, nor a
    file that holds something other than a picture."""
    try:
        # Unbuffered, so that a pipe or a device does as well as a file.
        output = open(os.open(path, os.O_RDWR | os.O_CREAT, 0o666), "r+b", buffering=0)
    except OSError as failure:
        return None, f"cannot write {path}: {failure.strerror}"
    written = os.fstat(output.fileno())
    try:
        source = os.stat(recording)
        is_recording = (written.st_dev, written.st_ino) == (source.st_dev, source.st_ino)
    except OSError:
        is_recording = False  # gone since it was read
    if is_recording:
        reason = f"{path} is the recording itself: name the picture with -o"
    elif stat.S_ISREG(written.st_mode) and written.st_size and output.read(len(PNG_SIGNATURE)) != PNG_SIGNATURE:
        reason = f"{path} holds something other than a PNG picture: remove it or name another with -o"
    else:
        if stat.S_ISREG(written.st_mode):
            output.seek(0)
            output.truncate()
        return output, ""
    output.close()
    return None, reason


def _draw(pyplot, title: str, samples, output: BinaryIO) -> None:
    figure, (angles, intervals) = pyplot.subplots(2, 1, figsize=SIZE, dpi=DPI,
                                                  gridspec_kw={"height_ratios": [2, 1]})
    figure.suptitle(title)
    times = [seconds for seconds, _ in samples]
    for index, (name, color) in enumerate(_ANGLES):
        angles.plot(times, [values[index] for _, values in samples], label=name, color=color, linewidth=1)
    angles.set_xlabel("time since the first report (s)")
    angles.set_ylabel("degrees")
    angles.legend(loc="upper right")
    angles.grid(True, alpha=0.3)

    gaps = [1000 * (later - earlier) for earlier, later in zip(times, times[1:])]
    if gaps:
        mean = sum(gaps) / len(gaps)
        intervals.hist(gaps, bins=100, color="tab:gray")
        intervals.set_title(f"{len(gaps)} intervals: mean {mean:.2f} ms, longest {max(gaps):.2f} ms",
                            fontsize="medium")
    intervals.set_xlabel("interval between reports (ms)")
    intervals.set_ylabel("reports")
    intervals.set_yscale("log")
    figure.tight_layout()
    figure.savefig(output, dpi=DPI, format="png")
    pyplot.close(figure)


def run(args: argparse.Namespace) -> int:
    try:
        import matplotlib
        matplotlib.use("Agg")  # a file, never a window
        from matplotlib import pyplot
    except ImportError:
        print(f"talmex plot: matplotlib is missing: {INSTALL_HINT}", file=sys.stderr)
        return 2
    recording = load_recording(args.recording)
    if recording.error:
        print(f"talmex plot: {args.recording}: {recording.error}", file=sys.stderr)
        return 1
    samples = _samples(recording.records)
    if not samples:
        print(f"talmex plot: {args.recording}: the recording holds no report", file=sys.stderr)
        return 1
    title = (f"{os.path.basename(args.recording)}: {len(samples)} reports from {_wall_time(recording.start_us)}"
             + (" (torn last record dropped)" if recording.truncated else ""))
    path = args.output or os.path.splitext(args.recording)[0] + ".png"
    output, refusal = _open_output(path, args.recording)
    if output is None:
        print(f"talmex plot: {refusal}", file=sys.stderr)
        return 1
    try:
        with output:
            _draw(pyplot, title, samples, output)
    except OSError as failure:
        print(f"talmex plot: cannot write {path}: {failure.strerror}", file=sys.stderr)
        return 1
    print(path)
    return 0
