"""python3 -m talmex [COMMAND] [OPTIONS]: the package's tools. A command is a
module with HELP, add_arguments(parser) and run(args) -> exit status; without
a command name, the default command runs."""

import argparse
import os
import sys
from typing import List, Optional

from . import plot, print_reports, view

COMMANDS = {"print": print_reports, "plot": plot, "view": view}
DEFAULT_COMMAND = "print"


def main(argv: Optional[List[str]] = None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    if not argv or argv[0] not in (*COMMANDS, "-h", "--help"):
        argv = [DEFAULT_COMMAND, *argv]
    parser = argparse.ArgumentParser(prog="python3 -m talmex",
                                     description="Talk to the headset agent.")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND")
    for name, command in COMMANDS.items():
        command.add_arguments(commands.add_parser(name, help=command.HELP, description=command.HELP))
    args = parser.parse_args(argv)
    try:
        return COMMANDS[args.command].run(args)
    except KeyboardInterrupt:
        return 130
    except BrokenPipeError:
        # The reader went away (| head): stop quietly, and keep the
        # interpreter from complaining as it flushes standard output.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 0


if __name__ == "__main__":
    sys.exit(main())
