"""Client of the Talmex headset agent, standard library only."""

from .jsontext import to_json
from .protocol import (AGENT_PORTS, REPORT_SIZE, DisplayFlag, DisplayState, Report, ReportCheck,
                       Request, RequestHeader, SensorFlag, SensorState, SensorWishes, Wishes,
                       decode_report, read_request, write_report, write_request)

__all__ = [
    "AGENT_PORTS", "DisplayFlag", "DisplayState", "REPORT_SIZE", "Report", "ReportCheck",
    "Request", "RequestHeader", "SensorFlag", "SensorState", "SensorWishes", "Wishes",
    "decode_report", "read_request", "to_json", "write_report", "write_request",
]
