"""The default command: decoded reports, one line each."""

import argparse
import sys
from typing import Tuple

from .client import Client, Counters, Status
from .headsets import SIMULATED_HEADSET
from .jsontext import to_json
from .orientation import yaw_pitch_roll
from .protocol import Report

HELP = "print decoded reports, one line each (the default command)"


def host_and_port(text: str) -> Tuple[str, int]:
    """An argument of the form HOST:PORT, as the commands' --attach takes it."""
    host, _, port = text.rpartition(":")
    if not host or not port.isdigit() or not 0 < int(port) < 65536:
        raise argparse.ArgumentTypeError(f"not HOST:PORT: {text}")
    return host, int(port)


def _positive(text: str) -> int:
    if not text.isdigit() or int(text) == 0:
        raise argparse.ArgumentTypeError(f"not a whole number above 0: {text}")
    return int(text)


def add_headset_argument(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--headset", metavar="NAME",
                        help="start the agent in the folder of this headset, headsets/NAME beside the"
                             f" agent (default: {SIMULATED_HEADSET}, the agent's own folder)")


def start(client: Client, args: argparse.Namespace, program: str) -> bool:
    """Attaches or spawns as the arguments say; False, with the reason
    printed, when that failed."""
    if args.attach and args.headset:
        print(f"{program}: --attach talks to a running agent; it goes with no --headset", file=sys.stderr)
        return False
    started = (client.attach(*args.attach) if args.attach
               else client.spawn(args.agent, args.headset or SIMULATED_HEADSET))
    if not started:
        print(f"{program}: {client.last_error}", file=sys.stderr)
    return started


def add_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--attach", metavar="HOST:PORT", type=host_and_port,
                        help="talk to an agent that runs already instead of starting one")
    parser.add_argument("--agent", metavar="PATH",
                        help="the agent to start (default: the one installed with this package, else"
                             " talmex-agent on the PATH)")
    add_headset_argument(parser)
    parser.add_argument("--json", action="store_true", help="print each report as one line of JSON")
    parser.add_argument("--count", metavar="N", type=_positive, help="stop after N lines")
    parser.add_argument("--every", metavar="N", type=_positive, default=1,
                        help="print one line per N reports received (default: 1)")


def summary(report: Report, counters: Counters) -> str:
    width, height = report.display.resolution
    sensor = report.sensors[0]
    angles = " ".join(f"{angle:7.2f}" for angle in yaw_pitch_roll(sensor.orientation))
    acceleration = " ".join(f"{value:6.2f}" for value in sensor.acceleration)
    return (f"#{report.sequence} {width}x{height} hmd {'yes' if report.display.hmd_present else 'no'}"
            f" | yaw pitch roll {angles} deg | acceleration {acceleration}"
            f" | {counters.report_rate:.0f}/s lost {counters.reports_lost}"
            f" rejected {counters.reports_rejected} sessions {counters.sessions}")


def _print_reports(client: Client, args: argparse.Namespace) -> int:
    printed = 0
    next_line = args.every
    status = client.status
    while args.count is None or printed < args.count:
        # One report at a time, so that every N-th is printed.
        report = client.wait(0.1, max_reports=1)
        if client.status is not status:
            status = client.status
            detail = f" ({client.last_error})" if status is Status.AGENT_EXITED else ""
            print(f"talmex: {status.value}{detail}", file=sys.stderr)
            if status is Status.AGENT_EXITED:
                return 1
        counters = client.counters
        if report is not None and counters.reports_received >= next_line:
            print(to_json(report) if args.json else summary(report, counters), flush=True)
            printed += 1
            next_line += args.every
    return 0


def run(args: argparse.Namespace) -> int:
    with Client() as client:
        if not start(client, args, "talmex"):
            return 1
        return _print_reports(client, args)
