"""Angles of a sensor's orientation, for people to read."""

import math
from typing import NamedTuple, Sequence


class YawPitchRoll(NamedTuple):
    yaw: float
    pitch: float
    roll: float


def yaw_pitch_roll(orientation: Sequence[float]) -> YawPitchRoll:
    """Yaw, pitch and roll in radians of an orientation (w, x, y, z) in the
    head frame (x right, y up, z backwards): yaw about y, then pitch about x,
    then roll about z."""
    w, x, y, z = orientation
    return YawPitchRoll(math.atan2(2 * (x * z + w * y), 1 - 2 * (x * x + y * y)),
                        math.asin(max(-1.0, min(1.0, 2 * (w * x - y * z)))),
                        math.atan2(2 * (x * y + w * z), 1 - 2 * (x * x + z * z)))
