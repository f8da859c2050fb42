import os
import socket
import time
import unittest

from talmex.client import Client, Counters, Status
from talmex.protocol import Report, read_request, write_report
from talmex.session import SessionTracker
from talmex.wish_list import WishList

from .test_protocol import golden_table

ME = 0xC0FFEE01


def reports(text: str) -> list:
    """The reports of a line of Golden/client-reports.txt."""
    run = []
    for word in text.split():
        session, client, sequences, request = word.split(":")
        first, _, last = sequences.partition("..")
        client_token = ME if client == "me" else int(client)
        run += [Report(int(session), client_token, sequence, int(request))
                for sequence in range(int(first), int(last or first) + 1)]
    return run


class SessionTrackerTest(unittest.TestCase):
    def test_counts_what_the_table_says_after_each_run_of_reports(self):
        """The same table checks the C++ client."""
        cases = golden_table("client-reports.txt")
        self.assertTrue(cases)
        for what, run, expected in cases:
            with self.subTest(what):
                session, counters = SessionTracker(ME), Counters()
                for report in reports(run):
                    session.take(report, counters, WishList())
                counted = (counters.reports_received, counters.reports_lost, counters.reports_rejected,
                           counters.sessions, counters.requests_accepted)
                self.assertEqual(" ".join(map(str, counted)), expected)


class ClientTest(unittest.TestCase):
    """The client against a stand-in agent on a loopback socket of the test's
    own, which sends exactly the reports each test needs."""

    def setUp(self):
        self.agent = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(self.agent.close)
        self.agent.bind(("127.0.0.1", 0))
        self.agent.setblocking(False)
        self.client = Client()
        self.addCleanup(self.client.stop)
        self.assertTrue(self.client.attach("127.0.0.1", self.agent.getsockname()[1]))
        self.token = self.requests(1)[0].header.client_token

    def requests(self, count, where=lambda request: True, timeout=2.0):
        """The next count requests that match, polling the client meanwhile."""
        received = []
        deadline = time.monotonic() + timeout
        while len(received) < count and time.monotonic() < deadline:
            self.client.wait(0.01)
            try:
                datagram, self.client_address = self.agent.recvfrom(1024)
                request = read_request(datagram)
                if where(request):
                    received.append(request)
            except BlockingIOError:
                pass
        self.assertEqual(len(received), count, "requests within the time")
        return received

    def report(self, **header):
        self.agent.sendto(write_report(Report(**header)), self.client_address)

    def poll_until(self, condition, timeout=2.0):
        deadline = time.monotonic() + timeout
        while not condition() and time.monotonic() < deadline:
            self.client.wait(0.01)
        return condition()

    def test_one_poll_reads_a_bounded_batch_and_still_sends_what_is_due(self):
        # Room for more than one batch of the smallest datagrams.
        with socket.socket(fileno=os.dup(self.client.fileno())) as shared:
            shared.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
        flood = Client.DATAGRAMS_PER_POLL + 100
        for _ in range(flood):
            self.agent.sendto(b"TLX0", self.client_address)
        time.sleep(Client.KEEP_ALIVE_INTERVAL)
        sent = self.client.counters.requests_sent
        self.assertIsNone(self.client.poll())
        self.assertEqual(self.client.counters.reports_rejected, Client.DATAGRAMS_PER_POLL)
        self.assertEqual(self.client.counters.requests_sent, sent + 1)
        self.client.poll()
        self.assertEqual(self.client.counters.reports_rejected, flood)

    def test_resends_a_wish_until_confirmed_and_reapplies_it_in_a_new_session(self):
        self.client.set_prediction_time(0, 0.5)
        self.client.set_prediction_time(0, 0.25)
        self.client.reset_orientation(0)
        sent = self.requests(4)
        self.assertEqual({(r.wishes.sensors[0].prediction_time_counter, r.wishes.sensors[0].reset_orientation_counter)
                          for r in sent[2:]}, {(2, 1)})
        self.report(session_token=7, client_token=self.token, sequence=1,
                    last_request_sequence=sent[-1].header.sequence)
        self.assertTrue(self.poll_until(lambda: self.client.counters.requests_accepted == 1))

        self.report(session_token=8, sequence=1)
        self.assertTrue(self.poll_until(lambda: self.client.counters.sessions == 2))
        request = self.requests(1, where=lambda r: r.header.session_token == 8)[0]
        sensor = request.wishes.sensors[0]
        self.assertEqual((sensor.prediction_time_counter, sensor.prediction_time_seconds,
                          sensor.reset_orientation_counter), (1, 0.25, 0))

    def test_an_agent_that_falls_silent_or_closes_is_reported_within_a_second(self):
        self.report(session_token=7, client_token=self.token, sequence=1)
        self.assertTrue(self.poll_until(lambda: self.client.status is Status.SERVING))
        silent_since = time.monotonic()
        self.assertTrue(self.poll_until(lambda: self.client.status is Status.NOT_ANSWERING))
        self.assertLess(time.monotonic() - silent_since, 1.0)

        self.report(session_token=7, client_token=self.token, sequence=2)
        self.assertTrue(self.poll_until(lambda: self.client.status is Status.SERVING))
        self.agent.close()
        self.assertTrue(self.poll_until(lambda: self.client.status is Status.NOT_ANSWERING, timeout=1.0))
        self.assertEqual(self.client.last_error, "nothing listens on the agent's port")
        # Attached again, the client has nothing gone wrong to tell.
        self.assertTrue(self.client.attach("127.0.0.1", self.client.port))
        self.assertEqual(self.client.last_error, "")


if __name__ == "__main__":
    unittest.main()
