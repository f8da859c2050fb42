"""Angles of a sensor's orientation, for people to read."""

import math
from typing import NamedTuple, Sequence


class YawPitchRoll(NamedTuple):
    yaw: float
    pitch: float
    roll: float


def yaw_pitch_roll(orientation: Sequence[float]) -> YawPitchRoll:
    """Yaw, pitch and roll in degrees of an orientation (w, x, y, z) in the
    head frame (x right, y up, z backwards): yaw about y, then pitch about x,
    then roll about z. Positive yaw turns left, positive pitch looks up,
    positive roll tilts the head to the left."""
    w, x, y, z = orientation
    return YawPitchRoll(math.degrees(math.atan2(2 * (x * z + w * y), 1 - 2 * (x * x + y * y))),
                        math.degrees(math.asin(max(-1.0, min(1.0, 2 * (w * x - y * z))))),
                        math.degrees(math.atan2(2 * (x * y + w * z), 1 - 2 * (x * x + z * z))))
