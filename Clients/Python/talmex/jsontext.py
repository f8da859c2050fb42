"""A report as one line of JSON, written exactly as the C++ client writes it,
so that the two can be compared byte for byte."""

import math

from .protocol import Report


def _encode(value) -> str:
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        # Nine significant digits give back the same float; JSON has no NaN.
        return format(value, ".9g") if math.isfinite(value) else "null"
    if isinstance(value, dict):
        return "{" + ",".join(f'"{name}":{_encode(item)}' for name, item in value.items()) + "}"
    return "[" + ",".join(_encode(item) for item in value) + "]"


def to_json(report: Report) -> str:
    return _encode(report.to_dict())
