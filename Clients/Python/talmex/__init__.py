"""Client of the Talmex headset agent, standard library only."""

from .agent_output import AgentOutput
from .agent_process import AgentProcess, find_agent
from .client import Client, Counters, Status
from .headsets import SIMULATED_HEADSET, headset_folder
from .jsontext import to_json
from .orientation import YawPitchRoll, yaw_pitch_roll
from .protocol import (AGENT_PORTS, REPORT_SIZE, DisplayFlag, DisplayState, Report, ReportCheck,
                       Request, RequestHeader, SensorFlag, SensorState, SensorWishes, Wishes,
                       decode_report, read_request, write_report, write_request)
from .wish_list import WishList

__all__ = [
    "AGENT_PORTS", "AgentOutput", "AgentProcess", "Client", "Counters", "DisplayFlag",
    "DisplayState", "REPORT_SIZE", "Report", "ReportCheck", "Request", "RequestHeader",
    "SIMULATED_HEADSET", "SensorFlag", "SensorState", "SensorWishes", "Status", "WishList",
    "Wishes", "YawPitchRoll", "decode_report", "find_agent", "headset_folder", "read_request",
    "to_json", "write_report", "write_request", "yaw_pitch_roll",
]
