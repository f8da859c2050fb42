"""Hands each published message to every open page, never waiting for one."""

import threading
from typing import Optional, Set


class Mailbox:
    """The newest message for one reader: a queue of one. A writer replaces
    what the reader has not taken yet, so a slow reader skips messages and
    never holds the writer up."""

    def __init__(self) -> None:
        self._ready = threading.Condition()
        self._message: Optional[bytes] = None
        self._closed = False

    def put(self, message: bytes) -> None:
        with self._ready:
            self._message = message
            self._ready.notify()

    def take(self, timeout: float) -> Optional[bytes]:
        """The newest message, None when none came within the time or the
        mailbox is closed."""
        with self._ready:
            self._ready.wait_for(lambda: self._message is not None or self._closed, timeout)
            message, self._message = self._message, None
            return None if self._closed else message

    def close(self) -> None:
        with self._ready:
            self._closed = True
            self._ready.notify()

    @property
    def closed(self) -> bool:
        return self._closed


class Broadcast:
    """The mailboxes of the open pages. A page that opens gets the newest
    message at once, so that it shows the state even while nothing changes."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._mailboxes: Set[Mailbox] = set()
        self._latest: Optional[bytes] = None
        self._closed = False

    def subscribe(self) -> Mailbox:
        mailbox = Mailbox()
        with self._lock:
            if self._closed:
                mailbox.close()
            elif self._latest is not None:
                mailbox.put(self._latest)
            self._mailboxes.add(mailbox)
        return mailbox

    def unsubscribe(self, mailbox: Mailbox) -> None:
        with self._lock:
            self._mailboxes.discard(mailbox)

    def publish(self, message: bytes) -> None:
        with self._lock:
            self._latest = message
            mailboxes = list(self._mailboxes)
        for mailbox in mailboxes:
            mailbox.put(message)

    def close(self) -> None:
        """Wakes every reader for good; later subscribers find their mailbox
        closed."""
        with self._lock:
            self._closed = True
            mailboxes = list(self._mailboxes)
        for mailbox in mailboxes:
            mailbox.close()

    @property
    def reader_count(self) -> int:
        with self._lock:
            return len(self._mailboxes)
