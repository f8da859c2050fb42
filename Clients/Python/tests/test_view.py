import argparse
import http.client
import json
import math
import os
import signal
import socket
import threading
import time
import unittest
from unittest import mock

from talmex.client import Client
from talmex.headsets import SIMULATED_HEADSET
from talmex.view import _port, _resolve
from talmex.view.broadcast import Broadcast
from talmex.view.commands import parse_command
from talmex.view.guard import trusts_host
from talmex.view.server import ViewServer
from tests import test_agent

AGENT, PLUGIN_FOLDERS = test_agent.AGENT, test_agent.PLUGIN_FOLDERS


class CommandTest(unittest.TestCase):
    def test_each_command_reaches_the_client_for_sensor_0(self):
        cases = [({"command": "reset"}, "reset_orientation", (0,)),
                 ({"command": "yaw_correction", "enable": False}, "set_yaw_correction", (0, False)),
                 ({"command": "mag_yaw_correction", "enable": True}, "set_mag_yaw_correction", (0, True)),
                 ({"command": "prediction_time", "seconds": 0.05}, "set_prediction_time", (0, 0.05)),
                 ({"command": "prediction_time", "seconds": 0}, "set_prediction_time", (0, 0.0)),
                 ({"command": "latency_tester"}, "feed_latency_tester", ())]
        for command, method, arguments in cases:
            with self.subTest(command=command):
                action, error = parse_command(json.dumps(command).encode())
                self.assertEqual(error, "")
                client = mock.Mock(spec=Client)
                action(client)
                self.assertEqual(client.mock_calls, [getattr(mock.call, method)(*arguments)])

    def test_a_malformed_command_is_refused_with_its_reason(self):
        cases = [(b"reset", "not JSON"), (b"\xff\xfe", "not JSON"), (b"[]", "JSON object"),
                 (b'{"command": "shutdown"}', "must be one of"), (b'{"command": 1}', "must be one of"),
                 (b'{}', "must be one of"),
                 (b'{"command": "reset", "sensor": 1}', "reset takes no arguments"),
                 (b'{"command": "yaw_correction"}', "yaw_correction takes enable"),
                 (b'{"command": "yaw_correction", "enable": 1}', "true or false"),
                 (b'{"command": "prediction_time", "seconds": "0.1"}', "from 0 to 0.5"),
                 (b'{"command": "prediction_time", "seconds": true}', "from 0 to 0.5"),
                 (b'{"command": "prediction_time", "seconds": -0.01}', "from 0 to 0.5"),
                 (b'{"command": "prediction_time", "seconds": 0.6}', "from 0 to 0.5"),
                 (b'{"command": "prediction_time", "seconds": NaN}', "from 0 to 0.5"),
                 (b'{"command": "prediction_time", "seconds": 1e999}', "from 0 to 0.5"),
                 (b'{"command": "prediction_time", "seconds": %s}' % (b"1" * 401), "from 0 to 0.5"),
                 (b'{"command": "prediction_time", "seconds": -%s}' % (b"1" * 401), "from 0 to 0.5")]
        for body, reason in cases:
            with self.subTest(body=body):
                action, error = parse_command(body)
                self.assertIsNone(action)
                self.assertIn(reason, error)


class BindAddressTest(unittest.TestCase):
    def test_only_loopback_addresses_count_as_this_machine_alone(self):
        for name, loopback in [("127.0.0.1", True), ("127.8.9.10", True), ("::1", True), ("localhost", True),
                               ("::ffff:127.0.0.1", True), ("::ffff:127.8.9.10", True),
                               ("0.0.0.0", False), ("::", False), ("192.0.2.7", False), ("::ffff:192.0.2.7", False)]:
            with self.subTest(name=name):
                self.assertEqual(_resolve(name)[1], loopback)
        self.assertIsNone(_resolve("no-such-host.invalid"))

    def test_a_port_is_plain_digits_from_0_to_65535(self):
        self.assertEqual((_port("0"), _port("80"), _port("065535")), (0, 80, 65535))
        for text in ("65536", "\u0668\u0660", "\uff18\uff10", "\u00b2", "+80", "-0", " 80", "8_0", "9" * 5000, ""):
            with self.subTest(text=text), self.assertRaises(argparse.ArgumentTypeError):
                _port(text)


class HostTest(unittest.TestCase):
    def test_on_loopback_only_this_machines_own_names_are_answered(self):
        port = 20970
        own = [("127.0.0.1", "127.0.0.1:20970"), ("127.0.0.1", "localhost:20970"), ("127.0.0.1", "LocalHost:20970"),
               ("127.0.0.1", "[::1]:20970"), ("127.0.0.2", "127.0.0.2:20970"), ("::1", "[::1]:20970"),
               ("::ffff:127.0.0.1", "[::ffff:7f00:1]:20970"), ("::ffff:127.0.0.1", "127.0.0.1:20970"),
               # Exposed on purpose: any name.
               ("0.0.0.0", "example.org"), ("192.0.2.7", "example.org:20970")]
        foreign = [("127.0.0.1", "example.org:20970"), ("127.0.0.1", "127.0.0.1"), ("127.0.0.1", "localhost:80"),
                   ("127.0.0.1", "localhost:"), ("127.0.0.1", "localhost:+20970"), ("127.0.0.1", "localhost:2097O"),
                   ("127.0.0.1", "localhost:\u0662\u0660\u0669\u0667\u0660"), ("127.0.0.1", "[127.0.0.1]:20970"),
                   ("127.0.0.1", "::1:20970"), ("::1", "::1:20970"), ("127.0.0.1", ""),
                   ("127.0.0.2", "example.org:20970"), ("::ffff:127.0.0.1", "example.org:20970"),
                   ("::ffff:127.0.0.2", "evil.example:20970")]
        for bound, host, trusted in [*((b, h, True) for b, h in own), *((b, h, False) for b, h in foreign)]:
            with self.subTest(bound=bound, host=host):
                self.assertEqual(trusts_host(bound, port, host), trusted)
        # The port a browser leaves out is 80.
        for host, trusted in [("localhost", True), ("127.0.0.1", True), ("[::1]", True), ("localhost:80", True),
                              ("example.org", False), ("localhost:20970", False)]:
            with self.subTest(port=80, host=host):
                self.assertEqual(trusts_host("127.0.0.1", 80, host), trusted)


class BroadcastTest(unittest.TestCase):
    def test_a_reader_that_never_takes_holds_nobody_up_and_sees_the_newest(self):
        broadcast = Broadcast()
        slow, reader = broadcast.subscribe(), broadcast.subscribe()
        started = time.monotonic()
        for number in range(1000):
            broadcast.publish(b"%d" % number)
        self.assertLess(time.monotonic() - started, 1.0)
        self.assertEqual((slow.take(0), reader.take(0)), (b"999", b"999"))
        self.assertIsNone(reader.take(0), "each message is taken once")

    def test_a_new_reader_gets_the_newest_message_and_close_wakes_every_reader(self):
        broadcast = Broadcast()
        broadcast.publish(b"state")
        reader = broadcast.subscribe()
        self.assertEqual(reader.take(0), b"state")
        woken = []
        waiter = threading.Thread(target=lambda: woken.append(reader.take(10)))
        waiter.start()
        broadcast.close()
        waiter.join(2)
        self.assertEqual(woken, [None])
        self.assertTrue(reader.closed and broadcast.subscribe().closed)
        broadcast.unsubscribe(reader)
        self.assertEqual(broadcast.reader_count, 1)


def read_events(response, seconds):
    """(name, data) of each event the stream brings within the time."""
    events, name, data = [], None, ""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        line = response.fp.readline().decode()
        if not line:
            break
        line = line.rstrip("\n")
        if line.startswith("event: "):
            name = line[7:]
        elif line.startswith("data: "):
            data = line[6:]
        elif not line and name:
            events.append((name, json.loads(data)))
            name, data = None, ""
    return events


def is_unit_quaternion(value):
    return (isinstance(value, list) and len(value) == 4 and all(isinstance(v, float) for v in value)
            and abs(math.hypot(*value) - 1) < 1e-3)


@unittest.skipUnless(AGENT and PLUGIN_FOLDERS, "CTest names the agent and the test plug-ins")
class ViewServerTest(unittest.TestCase):
    def serve(self, control=True, scripted=False):
        if scripted:
            self.use_scripted_headset()
        self.client = Client()
        self.addCleanup(self.client.stop)
        self.assertTrue(self.client.spawn(AGENT, "scripted" if scripted else SIMULATED_HEADSET),
                        self.client.last_error)
        self.server = ViewServer(("127.0.0.1", 0), self.client, control)
        thread = threading.Thread(target=self.server.serve_forever)
        thread.start()
        self.addCleanup(self.server.server_close)
        self.addCleanup(thread.join)
        self.addCleanup(self.server.shutdown)
        self.assertTrue(self.wait_until(lambda: self.client.state is not None), "a first report")

    # The scripted plug-in logs the agent's headset commands to a file.
    use_scripted_headset = test_agent.AgentTest.use_scripted_headset
    commands = test_agent.AgentTest.commands

    @staticmethod
    def wait_until(condition, timeout=3.0):
        deadline = time.monotonic() + timeout
        while not condition() and time.monotonic() < deadline:
            time.sleep(0.01)
        return condition()

    def request(self, method, path, body=None, headers=None):
        connection = http.client.HTTPConnection(*self.server.server_address[:2], timeout=5)
        self.addCleanup(connection.close)
        connection.request(method, path, body, headers or {})
        return connection.getresponse()

    def post(self, body, content_type="application/json"):
        response = self.request("POST", "/command", body, {"Content-Type": content_type})
        return response.status, json.loads(response.read())

    def test_the_event_stream_brings_poses_at_the_display_pace_beside_a_tab_that_never_reads(self):
        self.serve()
        # A tab that never reads, from the start.
        self.request("GET", "/events")
        response = self.request("GET", "/events")
        self.assertEqual(response.getheader("Content-Type"), "text/event-stream")
        read_events(response, 0.5)  # past the first frames
        events = read_events(response, 2.0)
        poses = [data for name, data in events if name == "pose"]
        self.assertTrue(35 <= len(poses) / 2.0 <= 75, f"{len(poses) / 2.0} poses a second")
        for pose in poses:
            self.assertTrue(is_unit_quaternion(pose["orientation"]) and is_unit_quaternion(pose["predicted"]))
            for name in ("yaw", "pitch", "roll", "rate", "prediction_time"):
                self.assertIsInstance(pose[name], (int, float))
            self.assertIsInstance(pose["lost"], int)
            self.assertEqual(pose["status"], "serving")
        self.assertGreater(poses[-1]["rate"], 200, "the agent's reports, not the pace of the poses")
        times = [pose["time"] for pose in poses]
        self.assertEqual(times, sorted(times))

    def test_a_new_page_is_told_its_rights_and_a_closed_one_frees_its_reader(self):
        self.serve(control=False)
        responses = [self.request("GET", "/events") for _ in range(3)]
        for response in responses:
            name, data = read_events(response, 0.3)[0]
            self.assertEqual((name, data["control"]), ("hello", False))
        self.assertEqual(self.server.broadcast.reader_count, 3)
        for response in responses:
            response.close()
        # The next message written to a closed page fails, and its thread ends.
        self.assertTrue(self.wait_until(lambda: self.server.broadcast.reader_count == 0))

    def test_the_stream_says_when_the_agent_stops_answering_and_poses_return(self):
        self.serve()
        response = self.request("GET", "/events")
        read_events(response, 0.3)
        agent = self.client.agent.pid
        os.kill(agent, signal.SIGSTOP)
        self.addCleanup(os.kill, agent, signal.SIGCONT)
        silent = read_events(response, 1.5)
        self.assertIn(("status", "agent not answering"), [(name, data["status"]) for name, data in silent])
        os.kill(agent, signal.SIGCONT)
        back = read_events(response, 2.0)
        self.assertEqual(back[-1][0], "pose")
        self.assertEqual(back[-1][1]["status"], "serving")

    def test_the_pages_files_are_served_and_nothing_else(self):
        self.serve()
        for path, content_type, part in [("/", "text/html", b'src="view.js"'), ("/view.js", "text/javascript", b"EventSource"),
                                         ("/view.css", "text/css", b"preserve-3d")]:
            response = self.request("GET", path)
            self.assertEqual(response.status, 200)
            self.assertTrue(response.getheader("Content-Type").startswith(content_type))
            self.assertIn(part, response.read())
        for path in ("/server.py", "/../__init__.py", "/index.html/x"):
            self.assertEqual(self.request("GET", path).status, 404)
        # A page of another site, its name pointed at this machine.
        self.assertEqual(self.request("GET", "/", headers={"Host": "example.org"}).status, 403)
        self.assertEqual(self.request("POST", "/command", b'{"command": "reset"}',
                                      {"Host": "example.org:80", "Content-Type": "application/json"}).status, 403)

    def send(self, head):
        """The status line that answers a request sent as raw bytes."""
        with socket.create_connection(self.server.server_address[:2], timeout=5) as connection:
            connection.sendall(head + b"\r\n\r\n")
            return connection.makefile("rb").readline()

    def test_only_well_formed_commands_reach_the_headset(self):
        self.serve(scripted=True)
        self.assertEqual(self.post(b'{"command": "prediction_time", "seconds": 0.9}')[0], 400)
        self.assertEqual(self.post(b'{"command": "reset", "extra": 1}')[0], 400)
        status, reply = self.post(b'{"command": "reset"}', "text/plain")
        self.assertEqual(status, 415)
        self.assertIn("Content-Type: application/json", reply["error"])
        self.assertEqual(self.post(b" " * 2000)[0], 400)
        # Lengths int() would take, or fail on, and a length given twice.
        request = f"POST /command HTTP/1.1\r\nHost: 127.0.0.1:{self.server.server_address[1]}\r\n" \
                  "Content-Type: application/json\r\n".encode()
        for length in ("\u00b2".encode("latin-1"), "\u0661\u0662".encode(), "\uff11\uff12".encode(), b"+20", b"-1",
                       b"2_0", b"0x14", b"9" * 5000, b"20\r\nContent-Length: 21"):
            with self.subTest(length=length[:20]):
                self.assertEqual(self.send(request + b"Content-Length: " + length)[:13], b"HTTP/1.0 400 ")
        self.assertEqual(self.request("POST", "/reset", b"{}").status, 404)
        self.assertEqual(self.post(b'{"command": "prediction_time", "seconds": 0.25}'), (200, {"ok": True}))
        self.assertEqual(self.post(b'{"command": "reset"}'), (200, {"ok": True}))
        expected = ["OVR_Initialize()", "OVR_SetSensorPredictionTime(0, 0.25)", "OVR_ResetSensorOrientation(0)"]
        self.assertTrue(self.wait_until(lambda: len(self.commands()) >= len(expected)))
        time.sleep(0.3)  # keep-alives and frames, which must add nothing
        self.assertEqual(self.commands(), expected)

    def test_a_read_only_view_refuses_every_command(self):
        self.serve(control=False, scripted=True)
        status, reply = self.post(b'{"command": "reset"}')
        self.assertEqual(status, 403)
        self.assertIn("--control", reply["error"])
        time.sleep(0.3)
        self.assertEqual(self.commands(), ["OVR_Initialize()"])
