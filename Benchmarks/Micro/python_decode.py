#!/usr/bin/env python3
"""Time per report of the Python client's decoding, as ./bench's figures.

Hook for the Python client: the figure is measured when
Clients/Python/talmex/protocol.py exists and has decode_report(bytes); until
then the output holds no figure and the table shows "not built".

    python_decode.py [--quick]
"""

import importlib
import json
import statistics
import sys
import timeit
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
PACKAGE_FOLDER = ROOT / "Clients" / "Python"
GOLDEN_REPORT = ROOT / "Tests" / "Protocol" / "Golden" / "report.hex"


def decoder():
    if not (PACKAGE_FOLDER / "talmex" / "protocol.py").exists():
        return None
    sys.path.insert(0, str(PACKAGE_FOLDER))
    return getattr(importlib.import_module("talmex.protocol"), "decode_report", None)


def main():
    figures = {}
    decode_report = decoder()
    if decode_report is None:
        print("python_decode: the Python client is not built", file=sys.stderr)
    else:
        report = bytes.fromhex("".join(GOLDEN_REPORT.read_text(encoding="ascii").split()))
        timer = timeit.Timer(lambda: decode_report(report))
        number, _ = timer.autorange()
        repeats = 3 if "--quick" in sys.argv else 7
        runs = [seconds / number * 1e6 for seconds in timer.repeat(repeats, number)]
        figures["python_decode_report"] = {"median": statistics.median(runs), "unit": "us",
                                           "runs": runs}
    json.dump({"figures": figures}, sys.stdout)
    print()


if __name__ == "__main__":
    main()
