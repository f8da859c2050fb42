"""A host's connection to the agent."""

import enum
import secrets
import select
import socket
import time
from dataclasses import dataclass
from typing import Optional

from .agent_process import AgentProcess
from .headsets import SIMULATED_HEADSET
from .protocol import (REPORT_SIZE, Report, ReportCheck, Request, RequestHeader, decode_report, next_sequence,
                       write_request)
from .session import SessionTracker
from .wish_list import WishList


class Status(enum.Enum):
    IDLE = "not connected"  # neither started nor attached
    CONNECTING = "waiting for the first report"
    SERVING = "serving"  # reports arrive
    NOT_ANSWERING = "agent not answering"  # no report for longer than the answer time
    AGENT_EXITED = "agent exited"  # the child this client started has ended
    FAILED = "agent not started"  # it could not be started, or bound no port


@dataclass
class Counters:
    reports_received: int = 0
    # Gaps in the report sequence of a session.
    reports_lost: int = 0
    # Datagrams that failed a check (size, magic, count word, tokens, order).
    reports_rejected: int = 0
    requests_sent: int = 0
    # Requests that a report confirmed as accepted.
    requests_accepted: int = 0
    # Sessions the agent opened for this client; more than one means the agent
    # dropped the channel and admitted it again.
    sessions: int = 0
    # Reports per second over the last full second.
    report_rate: float = 0.0


class Client:
    """Starts the agent or attaches to a running one, keeps the channel with
    a request every 100 ms, re-sends a wish until a report confirms it, and
    decodes and checks every report. Nothing blocks except wait, which is
    bounded by its time-out."""

    # Without a report for this long, the agent counts as not answering.
    ANSWER_TIME = 0.5
    KEEP_ALIVE_INTERVAL = 0.1
    RETRY_INTERVAL = 0.02
    # The most datagrams one poll reads, so that a flood cannot hold it up
    # nor keep the requests that are due from going out. A default receive
    # buffer holds about 170 reports (a third of a second of them) or 256 of
    # the smallest datagrams: one call drains it.
    DATAGRAMS_PER_POLL = 256
    _BIND_TIME = 1.0
    _BIND_POLL = 0.005
    _RATE_WINDOW = 1.0

    def __init__(self) -> None:
        self._agent = AgentProcess()
        self._socket: Optional[socket.socket] = None
        self._port = 0
        # Any token but 0, which the agent reads as "none latched yet".
        self._session = SessionTracker(1 + secrets.randbelow(0xFFFFFFFF))
        self._sequence = 0
        self._wishes = WishList()
        self._status = Status.IDLE
        self._counters = Counters()
        self._error = ""
        self._state: Optional[Report] = None
        self._connected_at = self._last_sent = self._newest_report = self._rate_window_start = 0.0
        self._rate_window_reports = 0

    def __enter__(self) -> "Client":
        return self

    def __exit__(self, *exception) -> None:
        self.stop()

    def spawn(self, agent_path: Optional[str] = None, headset: str = SIMULATED_HEADSET) -> bool:
        """Starts the agent as a child (the one at agent_path, else
        find_agent's) in the folder of the named headset (see headsets.py),
        and waits, at most a second, until it has bound its port. False, with
        the reason in last_error, otherwise."""
        self.stop()
        if not self._agent.start(agent_path, headset):
            return self._fail(Status.FAILED, self._agent.error)
        deadline = time.monotonic() + self._BIND_TIME
        while time.monotonic() < deadline:
            if self._agent.has_exited():
                return self._fail(Status.AGENT_EXITED, "the agent " + self._agent.exit_description())
            port = self._agent.bound_port()
            if port:
                return self._connect("127.0.0.1", port)
            time.sleep(self._BIND_POLL)
        self._agent.stop()
        return self._fail(Status.FAILED,
                          "the agent bound none of the ports 20962-20964 within a second: are they taken?")

    def attach(self, host: str, port: int) -> bool:
        """Talks to an agent that runs already."""
        self.stop()
        try:
            address = socket.getaddrinfo(host, None, socket.AF_INET, socket.SOCK_DGRAM)[0][4][0]
        except OSError as failure:
            return self._fail(Status.FAILED, f"cannot resolve {host}: {failure}")
        return self._connect(address, port)

    def _connect(self, address: str, port: int) -> bool:
        try:
            self._socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            self._socket.setblocking(False)
            # Connected, the socket takes datagrams from the agent's address alone.
            self._socket.connect((address, port))
        except OSError as failure:
            self.stop()
            return self._fail(Status.FAILED, f"cannot open a socket to the agent: {failure.strerror}")
        self._port = port
        self._status = Status.CONNECTING
        self._error = ""
        self._counters = Counters()
        self._session.reset()
        self._state = None
        now = time.monotonic()
        self._connected_at = self._rate_window_start = now
        self._rate_window_reports = 0
        self._send(now)
        return True

    def stop(self) -> None:
        """Stops the agent this client started; detaches from any other."""
        self._agent.stop()
        if self._socket:
            self._socket.close()
            self._socket = None
        self._status = Status.IDLE

    def _fail(self, status: Status, error: str) -> bool:
        self._status = status
        self._error = error
        return False

    def reset_orientation(self, sensor: int) -> None:
        self._wishes.reset_orientation(sensor)
        self._send(time.monotonic())

    def set_prediction_time(self, sensor: int, seconds: float) -> None:
        self._wishes.set_prediction_time(sensor, seconds)
        self._send(time.monotonic())

    def set_yaw_correction(self, sensor: int, enable: bool) -> None:
        self._wishes.set_yaw_correction(sensor, enable)
        self._send(time.monotonic())

    def set_mag_yaw_correction(self, sensor: int, enable: bool) -> None:
        self._wishes.set_mag_yaw_correction(sensor, enable)
        self._send(time.monotonic())

    def feed_latency_tester(self) -> None:
        self._wishes.feed_latency_tester()
        self._send(time.monotonic())

    def poll(self, max_reports: Optional[int] = None) -> Optional[Report]:
        """Handles the datagrams that have arrived, at most DATAGRAMS_PER_POLL,
        and sends what is due; the newest report when one arrived, else None.
        A host that wants every report takes them one at a time (max_reports
        1); the others wait for the next call."""
        if not self._socket:
            return None
        now = time.monotonic()
        report = self._receive(now, max_reports)
        self._send_due(now)
        self._update_status(now)
        return report

    def wait(self, timeout: float, max_reports: Optional[int] = None) -> Optional[Report]:
        """Polls until a new report arrives or the time is up."""
        deadline = time.monotonic() + timeout
        while True:
            report = self.poll(max_reports)
            if report is not None:
                return report
            now = time.monotonic()
            if not self._socket or self._status is Status.AGENT_EXITED or now >= deadline:
                return None
            # Wake for the next request that falls due, at the latest.
            select.select([self._socket], [], [], min(deadline - now, self.RETRY_INTERVAL) + 0.001)

    @property
    def status(self) -> Status:
        return self._status

    @property
    def counters(self) -> Counters:
        return self._counters

    @property
    def state(self) -> Optional[Report]:
        """The newest report, None before the first."""
        return self._state

    def newest_report_age(self) -> Optional[float]:
        """Seconds since the newest report, None before the first."""
        if self._counters.reports_received == 0:
            return None
        return time.monotonic() - self._newest_report

    @property
    def port(self) -> int:
        return self._port

    @property
    def agent(self) -> AgentProcess:
        """The agent this client started, if any, with what it printed."""
        return self._agent

    @property
    def last_error(self) -> str:
        """What went wrong since the last successful spawn or attach, in words."""
        return self._error

    def fileno(self) -> int:
        """The socket, for a host that waits in its own select loop."""
        return self._socket.fileno() if self._socket else -1

    def _receive(self, now: float, max_reports: Optional[int]) -> Optional[Report]:
        newest = None
        reports = 0
        for _ in range(self.DATAGRAMS_PER_POLL):
            if max_reports is not None and reports >= max_reports:
                break
            try:
                # One byte more than a report, so that a longer datagram shows as such.
                datagram = self._socket.recv(REPORT_SIZE + 1)
            except ConnectionRefusedError:
                # The agent's port is closed: nobody serves there now.
                self._error = "nothing listens on the agent's port"
                self._status = Status.NOT_ANSWERING
                continue
            except OSError:
                break  # nothing waiting, or nothing to read from a failed socket
            check, report = decode_report(datagram)
            if check is not ReportCheck.VALID:
                self._counters.reports_rejected += 1
                continue
            if not self._session.take(report, self._counters, self._wishes):
                continue
            newest = report
            reports += 1
            self._rate_window_reports += 1
            self._newest_report = now
        if newest is not None:
            self._state = newest
        return newest

    def _send_due(self, now: float) -> None:
        interval = self.RETRY_INTERVAL if self._wishes.has_unconfirmed_change else self.KEEP_ALIVE_INTERVAL
        if now - self._last_sent >= interval:
            self._send(now)

    def _send(self, now: float) -> None:
        if not self._socket:
            return
        self._sequence = next_sequence(self._sequence)
        header = RequestHeader(self._session.client_token, self._session.session_token, self._sequence)
        try:
            self._socket.send(write_request(Request(header, self._wishes.current)))
        except OSError:
            pass  # a lost request is made good by the next, and silence shows in the status
        self._counters.requests_sent += 1
        self._wishes.sent(self._sequence)
        self._last_sent = now

    def _update_status(self, now: float) -> None:
        if now - self._rate_window_start >= self._RATE_WINDOW:
            self._counters.report_rate = self._rate_window_reports / (now - self._rate_window_start)
            self._rate_window_reports = 0
            self._rate_window_start = now
        if self._agent.is_started and self._agent.has_exited():
            self._fail(Status.AGENT_EXITED, "the agent " + self._agent.exit_description())
            return
        last_sign = self._newest_report if self._counters.reports_received else self._connected_at
        if now - last_sign > self.ANSWER_TIME:
            self._status = Status.NOT_ANSWERING
        elif self._counters.reports_received:
            self._status = Status.SERVING
