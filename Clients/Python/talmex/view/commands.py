"""The commands a page may send, as JSON objects, checked strictly before
anything is done: {"command": "reset"}, {"command": "prediction_time",
"seconds": 0.05}, ... Every command acts on sensor 0, the one the page shows."""

import json
from typing import Callable, Dict, Optional, Tuple

from ..client import Client

Action = Callable[[Client], None]

# The range the headset accepts, as the terminal monitor offers it.
MAX_PREDICTION_SECONDS = 0.5
SENSOR = 0


def _enable(value) -> Optional[str]:
    return None if isinstance(value, bool) else "enable must be true or false"


def _seconds(value) -> Optional[str]:
    # JSON's true would pass as a number in Python: refuse it by name. The
    # range compares any integer exactly, however long, and fails for NaN.
    if (isinstance(value, bool) or not isinstance(value, (int, float))
            or not 0 <= value <= MAX_PREDICTION_SECONDS):
        return f"seconds must be a number from 0 to {MAX_PREDICTION_SECONDS}"
    return None


def _reset(client: Client, _: dict) -> None:
    client.reset_orientation(SENSOR)


def _yaw_correction(client: Client, arguments: dict) -> None:
    client.set_yaw_correction(SENSOR, arguments["enable"])


def _mag_yaw_correction(client: Client, arguments: dict) -> None:
    client.set_mag_yaw_correction(SENSOR, arguments["enable"])


def _prediction_time(client: Client, arguments: dict) -> None:
    client.set_prediction_time(SENSOR, float(arguments["seconds"]))


def _latency_tester(client: Client, _: dict) -> None:
    client.feed_latency_tester()


# Each command: the checks of its arguments, and what it asks of the client.
_COMMANDS: Dict[str, Tuple[Dict[str, Callable], Callable[[Client, dict], None]]] = {
    "reset": ({}, _reset),
    "yaw_correction": ({"enable": _enable}, _yaw_correction),
    "mag_yaw_correction": ({"enable": _enable}, _mag_yaw_correction),
    "prediction_time": ({"seconds": _seconds}, _prediction_time),
    "latency_tester": ({}, _latency_tester),
}

COMMAND_NAMES = tuple(_COMMANDS)


def parse_command(body: bytes) -> Tuple[Optional[Action], str]:
    """The action a request body asks for, or None and the reason it is
    refused. A command must name every argument it takes and nothing else."""
    try:
        command = json.loads(body.decode("utf-8"))
    except (UnicodeDecodeError, ValueError):
        return None, "the body is not JSON"
    if not isinstance(command, dict):
        return None, "a command is a JSON object"
    name = command.get("command")
    if not isinstance(name, str) or name not in _COMMANDS:
        return None, f"command must be one of {', '.join(COMMAND_NAMES)}"
    checks, perform = _COMMANDS[name]
    arguments = {key: value for key, value in command.items() if key != "command"}
    if set(arguments) != set(checks):
        expected = ", ".join(checks) or "no arguments"
        return None, f"{name} takes {expected}"
    for key, check in checks.items():
        error = check(arguments[key])
        if error:
            return None, error
    return lambda client: perform(client, arguments), ""
