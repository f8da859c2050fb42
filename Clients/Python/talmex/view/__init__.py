"""python3 -m talmex view: a live 3D view of the headset in the browser."""

import argparse
import socket
import sys
from typing import Optional, Tuple

from ..client import Client
from ..print_reports import add_headset_argument, host_and_port, start
from .server import ViewServer
from .guard import is_loopback, plain_number

HELP = "serve a live 3D view of the headset's pose to a browser on this machine"
DEFAULT_PORT = 20970


def _port(text: str) -> int:
    port = plain_number(text, 65535)
    if port is None:
        raise argparse.ArgumentTypeError(f"not a port from 0 to 65535: {text}")
    return port


def add_arguments(parser: argparse.ArgumentParser) -> None:
    source = parser.add_mutually_exclusive_group()
    source.add_argument("--agent", metavar="PATH",
                        help="the agent to start (default: the one installed with this package, else"
                             " talmex-agent on the PATH)")
    source.add_argument("--attach", metavar="HOST:PORT", type=host_and_port,
                        help="talk to an agent that runs already instead of starting one")
    add_headset_argument(parser)
    parser.add_argument("--bind", metavar="ADDRESS", default="127.0.0.1",
                        help="the address to serve on (default: 127.0.0.1); the page is read-only on any"
                             " but a loopback one unless --control is given")
    parser.add_argument("--port", metavar="N", type=_port, default=DEFAULT_PORT,
                        help=f"the TCP port to serve on (default: {DEFAULT_PORT}; 0: any free one)")
    parser.add_argument("--control", action="store_true",
                        help="let pages on a non-loopback address send commands too")


def _resolve(host: str) -> Optional[Tuple[str, bool]]:
    """The address to bind and whether it is a loopback one; None when the
    name does not resolve."""
    try:
        address = socket.getaddrinfo(host, None, type=socket.SOCK_STREAM)[0][4][0]
    except OSError:
        return None
    return address, is_loopback(address)


def run(args: argparse.Namespace) -> int:
    resolved = _resolve(args.bind)
    if resolved is None:
        print(f"talmex view: cannot resolve {args.bind}", file=sys.stderr)
        return 2
    address, is_loopback = resolved
    control = is_loopback or args.control
    with Client() as client:
        if not start(client, args, "talmex view"):
            return 1
        try:
            server = ViewServer((address, args.port), client, control)
        except OSError as failure:
            print(f"talmex view: cannot serve on {args.bind} port {args.port}: {failure.strerror}"
                  " (--port 0 takes any free one)", file=sys.stderr)
            return 1
        note = "" if control else " (read-only: --control allows commands)"
        print(f"talmex view: open {server.url}{note}; Ctrl-C stops", flush=True)
        try:
            server.serve_forever()
        finally:
            server.server_close()
    return 0
