"""The thread that owns the client: the client is not thread-safe, so the
pages' commands reach it through a queue, and its poses leave through the
broadcast."""

import queue
import threading
import time

from ..client import Client
from .broadcast import Broadcast
from .commands import Action
from .events import pose_event, status_event


class ClientPump:
    """Polls the client once a frame, at the pace of a display, and publishes
    the newest pose when a report came since the last frame: the agent's
    470 reports a second would only cost every page time to skip them."""

    FRAME_RATE = 60

    def __init__(self, client: Client, broadcast: Broadcast) -> None:
        self._client = client
        self._broadcast = broadcast
        self._commands: "queue.SimpleQueue[Action]" = queue.SimpleQueue()
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, name="talmex-view-client", daemon=True)
        self._started_at = time.monotonic()
        self._published_reports = 0
        self._status = None

    def start(self) -> None:
        self._thread.start()

    def stop(self) -> None:
        self._stop.set()
        if self._thread.is_alive():
            self._thread.join()

    def submit(self, action: Action) -> None:
        """Any thread may hand in a command; it is done before the next poll."""
        self._commands.put(action)

    def _run(self) -> None:
        interval = 1 / self.FRAME_RATE
        next_frame = time.monotonic()
        while not self._stop.wait(max(0.0, next_frame - time.monotonic())):
            # A late frame moves the beat rather than bunching frames to catch up.
            next_frame = max(next_frame + interval, time.monotonic())
            self._frame()

    def _frame(self) -> None:
        client = self._client
        while not self._commands.empty():
            self._commands.get_nowait()(client)
        client.poll()
        now = time.monotonic() - self._started_at
        counters, status = client.counters, client.status
        if client.state is not None and counters.reports_received != self._published_reports:
            self._published_reports = counters.reports_received
            self._broadcast.publish(pose_event(now, client.state, counters, status))
        elif status is not self._status:
            self._broadcast.publish(status_event(now, status, client.last_error))
        self._status = status
