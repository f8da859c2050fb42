import contextlib
import io
import json
import math
import os
import signal
import tempfile
import time
import unittest
from pathlib import Path
from unittest import mock

from talmex import agent_process
from talmex.__main__ import main
from talmex.agent_output import AgentOutput
from talmex.client import Client, Status
from talmex.headsets import SIMULATED_HEADSET
from talmex.protocol import AGENT_PORTS
from tests.test_protocol import GOLDEN

# Set by CTest: the agent built in the tree, and the folders of the test plug-ins.
AGENT = os.environ.get("TALMEX_AGENT", "")
PLUGIN_FOLDERS = os.environ.get("TALMEX_TEST_PLUGIN_FOLDERS", "")


@unittest.skipUnless(AGENT and PLUGIN_FOLDERS, "CTest names the agent and the test plug-ins")
class AgentTest(unittest.TestCase):
    def setUp(self):
        self.client = Client()
        self.addCleanup(self.client.stop)
        self.headset = SIMULATED_HEADSET

    def set_environment(self, **variables):
        environment = mock.patch.dict(os.environ, **variables)
        environment.start()
        self.addCleanup(environment.stop)

    def use_scripted_headset(self):
        """Agents started from here on serve the scripted headset, which logs
        their headset commands to a file of the test's own."""
        log = tempfile.NamedTemporaryFile(prefix="talmex-scripted-", delete=False)
        log.close()
        self.log = Path(log.name)
        self.addCleanup(self.log.unlink)
        environment = mock.patch.dict(os.environ, TALMEX_SCRIPTED_LOG=log.name)
        environment.start()
        self.addCleanup(environment.stop)
        self.headset = "scripted"

    def commands(self):
        return self.log.read_text().splitlines()

    def poll_until(self, condition, timeout=2.0):
        deadline = time.monotonic() + timeout
        while not condition() and time.monotonic() < deadline:
            self.client.wait(0.01)
        return condition()

    def keep_polling(self, seconds):
        self.poll_until(lambda: False, timeout=seconds)

    def spawn(self):
        self.assertTrue(self.client.spawn(AGENT, self.headset), self.client.last_error)
        self.assertIsNotNone(self.client.wait(2.0), "a first report")

    def test_a_plug_in_in_the_hosts_directory_is_not_loaded(self):
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(os.path.join(PLUGIN_FOLDERS, "scripted"))
        self.spawn()
        self.assertEqual(self.client.state.display.resolution, [1280, 800])

    def test_a_named_headset_serves_and_what_it_prints_is_kept(self):
        """At load on standard output, which the agent keeps line-buffered,
        and at each OVR_Initialize on standard error: both while it runs."""
        self.set_environment(TALMEX_SCRIPTED_SAY="scripted:")
        self.headset = "scripted"
        self.spawn()
        output = self.client.agent.output
        printed = ["scripted: loaded", "scripted: OVR_Initialize"]
        self.assertTrue(self.poll_until(lambda: output.count == 2))
        self.assertEqual(list(output.lines), printed)
        self.client.stop()
        self.assertEqual((output.count, list(output.lines)), (2, printed))

    def test_a_headset_there_is_not_is_refused_with_those_there_are(self):
        for name in ["missing", "../scripted", ".hidden", "", "a/b"]:
            self.assertFalse(self.client.spawn(AGENT, name))
            self.assertEqual(self.client.status, Status.FAILED)
            self.assertFalse(self.client.agent.is_started)
            self.assertIn("; the headsets are: simulated, ", self.client.last_error)
            self.assertIn(", scripted, ", self.client.last_error)
        errors = io.StringIO()
        with contextlib.redirect_stderr(errors):
            self.assertEqual(main(["view", "--agent", AGENT, "--headset", "missing", "--port", "0"]), 1)
        self.assertTrue(errors.getvalue().startswith("talmex view: no headset 'missing'; the headsets are: "))

    def test_finds_the_agent_in_the_absolute_folders_of_the_path(self):
        folder = os.path.dirname(AGENT)
        self.set_environment(PATH=os.pathsep.join(["bin", "/nonexistent", folder]))
        self.assertEqual(agent_process.find_agent(), (AGENT, ""))
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(folder)
        self.set_environment(PATH=".:/nonexistent")
        with mock.patch.object(agent_process, "AGENT_FROM_PACKAGE", "../lib/talmex/talmex-agent"):
            path, error = agent_process.find_agent()
        installed = os.path.normpath(os.path.join(os.path.dirname(agent_process.__file__), "..", "lib",
                                                  "talmex", "talmex-agent"))
        self.assertEqual((path, error), ("", f"cannot find talmex-agent: tried {installed} (installed with"
                                             " this package), then /nonexistent/talmex-agent (on the PATH)"))

    def test_decodes_the_simulated_headset_and_stops_the_agent_cleanly(self):
        self.spawn()
        self.assertIn(self.client.port, AGENT_PORTS)
        self.keep_polling(0.3)
        report, counters = self.client.state, self.client.counters
        self.assertEqual((counters.reports_rejected, counters.sessions), (0, 1))
        display, sensor = report.display, report.sensors[0]
        self.assertEqual(display.resolution, [1280, 800])
        for value, expected in [(display.screen_size[0], 0.14976), (display.screen_size[1], 0.0936),
                                (display.interpupillary_distance, 0.064), (sensor.prediction_time, 0.03)]:
            self.assertAlmostEqual(value, expected, places=6)
        self.assertTrue(display.hmd_present and display.resolution_valid and sensor.present)
        self.assertEqual((report.sensor_count, report.sensor_record_count), (1, 2))
        self.assertAlmostEqual(math.hypot(*sensor.orientation), 1.0, places=5)
        self.assertFalse(report.sensors[1].present)

        agent = self.client.agent
        self.client.stop()
        self.assertEqual(agent.returncode, 0)

    def test_the_command_line_prints_reports_with_the_golden_names(self):
        output = io.StringIO()
        with contextlib.redirect_stdout(output):
            self.assertEqual(main(["--agent", AGENT, "--json", "--count", "2"]), 0)
        golden = json.loads((GOLDEN / "report.json").read_text())
        lines = output.getvalue().splitlines()
        self.assertEqual(len(lines), 2)
        for line in lines:
            report = json.loads(line)
            self.assertEqual(report["display"]["resolution"], [1280, 800])
            for value, expected in [(report, golden), (report["display"], golden["display"]),
                                    (report["sensors"][1], golden["sensors"][1])]:
                self.assertEqual(list(value), list(expected))

    def test_every_request_reaches_the_headset_exactly_once(self):
        self.use_scripted_headset()
        self.spawn()
        self.client.set_prediction_time(0, 0.25)
        self.client.set_yaw_correction(1, False)
        self.client.reset_orientation(0)
        self.client.set_mag_yaw_correction(0, True)
        self.client.feed_latency_tester()
        expected = ["OVR_SetSensorPredictionTime(0, 0.25)", "OVR_EnableYawCorrection(1, 0)",
                    "OVR_ResetSensorOrientation(0)", "OVR_EnableMagYawCorrection(0, 1)",
                    "OVR_ProcessLatencyInputs()"]
        self.assertTrue(self.poll_until(lambda: len(self.commands()) == 1 + len(expected)))
        self.keep_polling(0.3)  # keep-alives, which must repeat nothing
        self.client.stop()
        commands = self.commands()
        self.assertEqual((commands[0], commands[-1]), ("OVR_Initialize()", "OVR_Destroy()"))
        self.assertEqual(sorted(commands[1:-1]), sorted(expected))

    def test_a_killed_agent_is_reported_within_a_second(self):
        self.spawn()
        os.kill(self.client.agent.pid, signal.SIGKILL)
        killed_at = time.monotonic()
        self.assertTrue(self.poll_until(lambda: self.client.status is Status.AGENT_EXITED))
        self.assertLess(time.monotonic() - killed_at, 1.0)
        self.assertEqual(self.client.last_error, "the agent killed by signal Killed")
        self.assertIsNone(self.client.wait(5.0))  # at once, not after the time-out
        self.assertLess(time.monotonic() - killed_at, 1.0)

    def test_a_host_that_stalls_past_the_expiry_gets_its_wishes_reapplied(self):
        self.use_scripted_headset()
        self.spawn()
        self.client.set_prediction_time(0, 0.25)
        self.client.reset_orientation(0)
        self.assertTrue(self.poll_until(lambda: len(self.commands()) == 3))
        # Any later acceptance confirms the request that carried both.
        accepted = self.client.counters.requests_accepted
        self.assertTrue(self.poll_until(lambda: self.client.counters.requests_accepted > accepted))
        time.sleep(1.3)  # no keep-alive: the agent drops the channel
        self.assertTrue(self.poll_until(lambda: self.client.counters.sessions == 2 and len(self.commands()) >= 6))
        self.keep_polling(0.2)  # the confirmed reset must not come again
        self.assertEqual(self.commands()[3:],
                         ["OVR_Destroy()", "OVR_Initialize()", "OVR_SetSensorPredictionTime(0, 0.25)"])


class AgentOutputTest(unittest.TestCase):
    def test_counts_lines_and_keeps_the_last_ones_bounded_and_printable(self):
        output = AgentOutput()
        output.add(b"fir")
        output.add(b"st\r\nse\x1b[2Jcond\n")
        self.assertEqual((output.count, list(output.lines)), (2, ["first", "se?[2Jcond"]))
        long_line = b"x" * (AgentOutput.LONGEST_LINE + 50)
        for _ in range(AgentOutput.KEPT_LINES):
            output.add(long_line + b"\n")
        output.add(b"unended \xff")
        self.assertEqual(output.count, 2 + AgentOutput.KEPT_LINES)
        output.finish()
        output.finish()
        self.assertEqual(output.count, 3 + AgentOutput.KEPT_LINES)
        self.assertEqual(len(output.lines), AgentOutput.KEPT_LINES)
        self.assertEqual(output.lines[0], "x" * AgentOutput.LONGEST_LINE)
        self.assertEqual(output.lines[-1], "unended \ufffd")


if __name__ == "__main__":
    unittest.main()
