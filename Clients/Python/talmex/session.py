"""What the headers of the agent's reports tell of the session that serves a
client."""

from .protocol import Report, is_later_sequence, lost_between
from .wish_list import WishList

# A report that is not later than the newest is refused, except the last of a
# run of this many in a row, which becomes the newest. So a report that
# jumped ahead (a forged one) silences the session for a few cycles of the
# agent, not for good; real networks reorder or repeat a datagram or two,
# never this many in a row.
RESYNC_RUN = 8


class SessionTracker:
    """Follows which session serves the client, which of its reports came
    last, and which of the client's requests it accepted last. Decides which
    reports the client takes, counts them, and tells the wish list what the
    agent confirmed."""

    def __init__(self, client_token: int) -> None:
        self.client_token = client_token
        self.reset()

    def reset(self) -> None:
        """Forgets every session, for a new connection with fresh counters."""
        self.session_token = 0  # 0 before the first report
        self._newest = self._last_accepted = self._out_of_order_run = 0

    def take(self, report: Report, counters, wishes: WishList) -> bool:
        """True when the client takes the report; counts it either way in
        counters (a client's Counters)."""
        # The agent never sends sequence 0, nor another client's token.
        if report.sequence == 0 or report.client_token not in (0, self.client_token):
            counters.reports_rejected += 1
            return False
        if counters.sessions == 0 or report.session_token != self.session_token:
            if counters.sessions:
                wishes.start_session()
            counters.sessions += 1
            self.session_token = report.session_token
            self._last_accepted = 0
        elif is_later_sequence(report.sequence, self._newest):
            counters.reports_lost += lost_between(self._newest, report.sequence)
        else:
            self._out_of_order_run += 1
            if self._out_of_order_run < RESYNC_RUN:
                counters.reports_rejected += 1
                return False
        self._out_of_order_run = 0
        self._newest = report.sequence
        counters.reports_received += 1
        if report.client_token == self.client_token and report.last_request_sequence != self._last_accepted:
            self._last_accepted = report.last_request_sequence
            counters.requests_accepted += 1
            wishes.accepted(report.last_request_sequence)
        return True
