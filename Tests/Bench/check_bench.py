#!/usr/bin/env python3
"""Checks of ./bench --quick against a built tree; the figures are not judged.

    check_bench.py CHECK BENCH BUILD_DIR

writes-every-row: the bench runs, and its JSON holds every row with a number,
or "not built" for a row measured only where its part exists.
stops-when-ports-taken: with the agent's port held and no private network,
the bench says so and fails at once.
leaves-no-agent-when-interrupted: a bench interrupted while it runs agents
leaves none running.
"""

import json
import math
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

ROWS = [
    "report_build", "request_decode", "client_decode_cpp", "client_poll_cpp",
    "client_decode_python", "reports_per_second", "gap_median", "gap_p99", "gap_max",
    "request_to_plugin_median", "request_to_plugin_p99", "serving_processor",
    "idle_processor", "idle_wakeups", "resident", "resident_growth", "input_closed_to_exit",
    "start_to_first_report", "allocations_per_cycle", "conversion_utf8_to_wide",
    "conversion_sjis_to_utf8", "tga_photograph_24", "tga_screenshot_24", "tga_noise_24",
    "tga_photograph_32", "tga_screenshot_32", "tga_noise_32", "monitor_processor",
    "openhmd_update", "openhmd_report", "openhmd_report_turning", "openhmd_error_30",
    "openhmd_error_180", "openhmd_resident", "emulated_dk1_error_30", "emulated_dk1_error_180",
    "emulated_dk1_drift_30", "emulated_dk1_drift_180", "emulated_dk1_age", "emulated_dk1_report",
]
# Measured once other branches' parts exist (the Python client and the
# monitor), or where OpenHMD is installed.
OPTIONAL_ROWS = {"client_decode_python", "monitor_processor", "openhmd_update",
                 "openhmd_report", "openhmd_report_turning", "openhmd_error_30",
                 "openhmd_error_180", "openhmd_resident", "emulated_dk1_error_30",
                 "emulated_dk1_error_180", "emulated_dk1_drift_30", "emulated_dk1_drift_180",
                 "emulated_dk1_age", "emulated_dk1_report"}
BENCH_SECONDS = 240


def fail(message):
    print(f"check_bench: {message}", file=sys.stderr)
    sys.exit(1)


def is_number(value):
    return isinstance(value, (int, float)) and not isinstance(value, bool) and math.isfinite(value)


def writes_every_row(bench, build):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "bench.json")
        result = subprocess.run([bench, "--quick", "--build-dir", build, "--json", path],
                                stdout=subprocess.DEVNULL, timeout=BENCH_SECONDS, check=False)
        if result.returncode != 0:
            fail(f"./bench --quick exited with {result.returncode}")
        with open(path, encoding="utf-8") as file:
            report = json.load(file)
    if not report["machine"]["cpu"] or not is_number(report["machine"]["cores"]):
        fail(f"the machine is not named: {report['machine']}")
    rows = {row["key"]: row for row in report["rows"]}
    for key in ROWS:
        row = rows.get(key)
        if row is None:
            fail(f"no row {key}")
        if is_number(row["value"]) and row["verdict"] in ("meets", "misses"):
            continue
        if key in OPTIONAL_ROWS and row["value"] is None and row["verdict"] == "not built":
            continue
        fail(f"row {key} has no figure: {row}")
    print(f"{len(ROWS)} rows, each with its figure")


def stops_when_ports_taken(bench, build):
    holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        holder.bind(("0.0.0.0", 20962))
    except OSError:
        pass  # someone else holds it: taken all the same
    started = time.monotonic()
    result = subprocess.run([bench, "--quick", "--build-dir", build, "--shared-network"],
                            capture_output=True, text=True, timeout=60, check=False)
    holder.close()
    if result.returncode == 0:
        fail("the bench ran with the agent's port taken")
    if "taken" not in result.stderr:
        fail(f"the bench did not say the ports are taken: {result.stderr}")
    if time.monotonic() - started > 5:
        fail("the bench measured before it looked at the ports")
    print("refused: " + result.stderr.strip().splitlines()[-1])


def network_of(pid):
    try:
        return os.readlink(f"/proc/{pid}/ns/net")
    except OSError:
        return None


def agents_in(network, agent_path):
    """The agents running in the given network namespace."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            is_agent = os.readlink(f"/proc/{entry}/exe") == agent_path
        except OSError:
            continue
        if is_agent and network_of(entry) == network:
            found.append(int(entry))
    return found


def leaves_no_agent_when_interrupted(bench, build):
    agent_path = os.path.realpath(os.path.join(build, "bin", "talmex-agent"))
    ours = network_of(os.getpid())
    bench_process = subprocess.Popen([bench, "--quick", "--build-dir", build],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # The bench moves into a private network where it may; wait for that.
        deadline = time.monotonic() + 5
        network = network_of(bench_process.pid)
        while network == ours and time.monotonic() < deadline:
            time.sleep(0.05)
            network = network_of(bench_process.pid)
        deadline = time.monotonic() + BENCH_SECONDS
        while not agents_in(network, agent_path):
            if bench_process.poll() is not None or time.monotonic() > deadline:
                fail("the bench started no agent to interrupt")
            time.sleep(0.05)
        bench_process.send_signal(signal.SIGINT)
        try:
            bench_process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            fail("the bench did not stop within 10 s of its interruption")
    finally:
        if bench_process.poll() is None:
            bench_process.kill()
            bench_process.wait()
    # An agent whose input closed takes up to about 100 ms to end.
    deadline = time.monotonic() + 2
    while agents_in(network, agent_path) and time.monotonic() < deadline:
        time.sleep(0.05)
    left = agents_in(network, agent_path)
    if left:
        for pid in left:
            os.kill(pid, signal.SIGKILL)
        fail(f"agents left running after the bench was interrupted: {left}")
    print(f"interrupted; the bench exited with {bench_process.returncode}, no agent left")


CHECKS = {
    "writes-every-row": writes_every_row,
    "stops-when-ports-taken": stops_when_ports_taken,
    "leaves-no-agent-when-interrupted": leaves_no_agent_when_interrupted,
}

if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in CHECKS:
        fail(f"usage: check_bench.py {{{','.join(CHECKS)}}} BENCH BUILD_DIR")
    CHECKS[sys.argv[1]](sys.argv[2], sys.argv[3])
