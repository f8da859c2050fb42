"""The messages of the event stream: server-sent events whose data is one
line of JSON."""

import json
from typing import Sequence

from ..client import Counters, Status
from ..orientation import yaw_pitch_roll
from ..protocol import Report

# Enough digits for a thousandth of a degree; fewer bytes for every page.
_DIGITS = 6


def server_sent_event(name: str, data: dict) -> bytes:
    return f"event: {name}\ndata: {json.dumps(data, separators=(',', ':'))}\n\n".encode()


def _rounded(values: Sequence[float]) -> list:
    return [round(value, _DIGITS) for value in values]


def pose_event(time: float, report: Report, counters: Counters, status: Status) -> bytes:
    """Sensor 0's pose with what the page shows beside it; time in seconds
    on the server's clock, which the traces run on."""
    sensor = report.sensors[0]
    angles = yaw_pitch_roll(sensor.orientation)
    return server_sent_event("pose", {
        "time": round(time, _DIGITS),
        "status": status.value,
        "orientation": _rounded(sensor.orientation),
        "predicted": _rounded(sensor.predicted_orientation),
        "yaw": round(angles.yaw, _DIGITS),
        "pitch": round(angles.pitch, _DIGITS),
        "roll": round(angles.roll, _DIGITS),
        "prediction_time": round(sensor.prediction_time, _DIGITS),
        "yaw_correction": sensor.yaw_correction_enabled,
        "mag_calibrated": sensor.mag_calibrated,
        "latency_color": report.display.latency_color,
        "rate": round(counters.report_rate, 1),
        "received": counters.reports_received,
        "lost": counters.reports_lost,
        "rejected": counters.reports_rejected,
        "session": report.session_token,
    })


def status_event(time: float, status: Status, error: str) -> bytes:
    """Sent when the client's state changes while no report arrives."""
    return server_sent_event("status", {"time": round(time, _DIGITS), "status": status.value,
                                        "error": error})
