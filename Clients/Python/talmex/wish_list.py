"""What the host wants of the headset, kept as the change counters the agent
acts on."""

import copy

from .protocol import SENSOR_COUNT, Wishes, is_later_sequence, next_sequence


def _unconfirmed(current: int, confirmed: int) -> int:
    """A one-shot action the new session has not seen: its counter moves from
    the fresh session's zero exactly when the old session never confirmed it."""
    return 1 if current != confirmed else 0


class WishList:
    """A request always carries every counter, so any request that gets
    through makes good the ones that were lost, and repeating one repeats
    nothing. A new session of the agent starts its counters at zero: the list
    then re-applies the settings and the actions that were never confirmed.
    Counters only need to differ from the agent's last seen value; they skip 0
    as sequences do, so a setting's counter is non-zero once it was made."""

    def __init__(self) -> None:
        self._current = Wishes()
        # The wishes as of the last request a report confirmed.
        self._confirmed = Wishes()
        self._change_unconfirmed = False
        self._change_sent_since = False
        self._change_sequence = 0

    @property
    def current(self) -> Wishes:
        return self._current

    @property
    def has_unconfirmed_change(self) -> bool:
        """True while a change has not been confirmed by a report."""
        return self._change_unconfirmed

    def reset_orientation(self, sensor: int) -> None:
        self._change(sensor, "reset_orientation_counter")

    def set_prediction_time(self, sensor: int, seconds: float) -> None:
        self._change(sensor, "prediction_time_counter", prediction_time_seconds=seconds)

    def set_yaw_correction(self, sensor: int, enable: bool) -> None:
        self._change(sensor, "yaw_correction_counter", yaw_correction=int(enable))

    def set_mag_yaw_correction(self, sensor: int, enable: bool) -> None:
        self._change(sensor, "mag_yaw_correction_counter", mag_yaw_correction=int(enable))

    def _change(self, sensor: int, counter: str, **arguments) -> None:
        """Moves a sensor's counter, with the arguments that travel beside it;
        sensors the agent does not have are ignored."""
        if 0 <= sensor < SENSOR_COUNT:
            wishes = self._current.sensors[sensor]
            for name, value in arguments.items():
                setattr(wishes, name, value)
            setattr(wishes, counter, next_sequence(getattr(wishes, counter)))
            self._changed()

    def feed_latency_tester(self) -> None:
        self._current.latency_input_counter = next_sequence(self._current.latency_input_counter)
        self._changed()

    def _changed(self) -> None:
        self._change_unconfirmed = True
        self._change_sent_since = False

    def sent(self, sequence: int) -> None:
        """A request carrying the current wishes went out with this sequence."""
        if self._change_unconfirmed and not self._change_sent_since:
            self._change_sequence = sequence
            self._change_sent_since = True

    def accepted(self, last_request_sequence: int) -> None:
        """A report says the agent accepted requests up to this sequence."""
        # Every request since the change carries the current wishes, so one of
        # them accepted confirms them all.
        if (self._change_unconfirmed and self._change_sent_since
                and not is_later_sequence(self._change_sequence, last_request_sequence)):
            self._change_unconfirmed = False
        if not self._change_unconfirmed:
            self._confirmed = copy.deepcopy(self._current)

    def start_session(self) -> None:
        """The agent dropped the channel and opened a new one with fresh
        counters."""
        current, confirmed = self._current, self._confirmed
        fresh = Wishes(latency_input_counter=_unconfirmed(current.latency_input_counter,
                                                          confirmed.latency_input_counter))
        for now, before, sensor in zip(current.sensors, confirmed.sensors, fresh.sensors):
            sensor.reset_orientation_counter = _unconfirmed(now.reset_orientation_counter,
                                                            before.reset_orientation_counter)
            sensor.prediction_time_counter = 1 if now.prediction_time_counter else 0
            sensor.prediction_time_seconds = now.prediction_time_seconds
            sensor.yaw_correction_counter = 1 if now.yaw_correction_counter else 0
            sensor.yaw_correction = now.yaw_correction
            sensor.mag_yaw_correction_counter = 1 if now.mag_yaw_correction_counter else 0
            sensor.mag_yaw_correction = now.mag_yaw_correction
        self._current = fresh
        self._confirmed = Wishes()
        self._change_unconfirmed = False
        self._change_sent_since = False
        if fresh.latency_input_counter or any(
                s.prediction_time_counter or s.yaw_correction_counter or s.reset_orientation_counter
                or s.mag_yaw_correction_counter for s in fresh.sensors):
            self._changed()
