"""What the agent printed, its plug-in mostly, which is foreign code: lines
counted, the last few kept, each cut to a bounded length with control
characters made '?', so that nothing printed can grow the host's memory or
reach its terminal raw."""

import collections
import re
from typing import Deque

_CONTROL = re.compile(r"[\x00-\x1f\x7f]")


class AgentOutput:
    KEPT_LINES = 8
    LONGEST_LINE = 240  # bytes, before decoding

    def __init__(self) -> None:
        self.count = 0
        self.lines: Deque[str] = collections.deque(maxlen=self.KEPT_LINES)
        self._partial = bytearray()
        self._has_partial = False

    def add(self, data: bytes) -> None:
        """Takes in bytes as they come; a line may arrive in pieces."""
        *ended, rest = data.split(b"\n")
        for piece in ended:
            self._extend(piece)
            self._end_line()
        self._extend(rest)

    def finish(self) -> None:
        """Counts a last line that ends without a newline, once the output
        has ended."""
        if self._has_partial:
            self._end_line()

    def _extend(self, piece: bytes) -> None:
        if piece:
            self._has_partial = True
            room = self.LONGEST_LINE - len(self._partial)
            self._partial += piece.replace(b"\r", b"")[:max(room, 0)]

    def _end_line(self) -> None:
        self.count += 1
        text = self._partial.decode("utf-8", errors="replace")
        self.lines.append(_CONTROL.sub("?", text))
        self._partial.clear()
        self._has_partial = False
