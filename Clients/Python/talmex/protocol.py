"""The agent's wire format: the header, the typed block, the request and the
state report. Every word is little-endian; a request names the client's token
first and the agent's second, a report mirrors it."""

import enum
import struct
from dataclasses import asdict, dataclass, field
from typing import List, Optional, Tuple

MAGIC = b"TLX0"
HEADER_SIZE = 20
# The agent serves on the first of these it can bind.
AGENT_PORTS = (20962, 20963, 20964)
SENSOR_COUNT = 2

_WORD = struct.Struct("<I")
_WORD_LIMIT = 1 << 32


def is_later_sequence(later: int, last: int) -> bool:
    """Whether later comes after last, by their signed distance modulo 2^32,
    so that the order survives the wrap."""
    return 0 < (later - last) % _WORD_LIMIT < _WORD_LIMIT // 2


def next_sequence(sequence: int) -> int:
    """The sequence after this one, skipping 0, which marks "none yet"."""
    return sequence % (_WORD_LIMIT - 1) + 1


def lost_between(last: int, later: int) -> int:
    """How many sequences were skipped between last and a later one; 0 is
    never sent, so a wrap skips one fewer."""
    gap = (later - last - 1) % _WORD_LIMIT
    return gap - 1 if later < last else gap


# The typed block: a count word (bits 0-11 integers, 12-23 floats, 24-31
# bytes), then the 32-bit integers, the 32-bit floats and the bytes.
MAX_BLOCK_COUNTS = (0xFFF, 0xFFF, 0xFF)


def pack_count_word(integers: int, floats: int, data8: int) -> int:
    return integers | floats << 12 | data8 << 24


def unpack_count_word(word: int) -> Tuple[int, int, int]:
    return word & 0xFFF, word >> 12 & 0xFFF, word >> 24


def block_size(integers: int, floats: int, data8: int) -> int:
    return 4 + 4 * integers + 4 * floats + data8


class BlockWriter:
    """Collects the values of one outgoing block."""

    def __init__(self) -> None:
        self.clear()

    def clear(self) -> None:
        self._data32: List[int] = []
        self._data_f: List[float] = []
        self._data8 = bytearray()

    def write32(self, *values: int) -> None:
        self._data32.extend(value % _WORD_LIMIT for value in values)

    def write_f(self, *values: float) -> None:
        self._data_f.extend(values)

    def write8(self, *values: int) -> None:
        self._data8.extend(values)

    def emit(self) -> bytes:
        """The block, each array capped at what the count word can describe."""
        counts = [min(len(values), limit) for values, limit in
                  zip((self._data32, self._data_f, self._data8), MAX_BLOCK_COUNTS)]
        integers, floats, data8 = counts
        return struct.pack(f"<I{integers}I{floats}f", pack_count_word(*counts),
                           *self._data32[:integers], *self._data_f[:floats]) + self._data8[:data8]


class BlockReader:
    """Decodes one incoming block and hands its values out in order, one
    cursor per array; values the sender did not supply read as zero."""

    def __init__(self) -> None:
        self._data32: Tuple[int, ...] = ()
        self._data_f: Tuple[float, ...] = ()
        self._data8 = b""
        self._index32 = self._index_f = self._index8 = 0

    def read(self, datagram: bytes, offset: int = HEADER_SIZE) -> bool:
        """Decodes the block at offset: False when its declared arrays run
        past the end of the datagram. A datagram without a whole count word
        there holds an empty block."""
        self._index32 = self._index_f = self._index8 = 0
        self._data32, self._data_f, self._data8 = (), (), b""
        if len(datagram) - offset < 4:
            return True
        integers, floats, data8 = unpack_count_word(_WORD.unpack_from(datagram, offset)[0])
        start = offset + 4
        end = start + block_size(integers, floats, data8) - 4
        if end > len(datagram):
            return False
        values = struct.unpack_from(f"<{integers}I{floats}f", datagram, start)
        self._data32, self._data_f = values[:integers], values[integers:]
        self._data8 = bytes(datagram[end - data8:end])
        return True

    def read32(self) -> int:
        value, self._index32 = _next(self._data32, self._index32, 0)
        return value

    def read_f(self) -> float:
        value, self._index_f = _next(self._data_f, self._index_f, 0.0)
        return value

    def read8(self) -> int:
        value, self._index8 = _next(self._data8, self._index8, 0)
        return value


def _next(values, index, zero):
    return (values[index], index + 1) if index < len(values) else (zero, index)


# Requests state the client's current wishes as change counters: the agent
# performs an action each time its counter differs from the last one it saw on
# the channel, so repeating a request repeats nothing. Arguments travel beside
# their counters and count only when the counter changes.

@dataclass
class RequestHeader:
    client_token: int = 0
    # 0, or the session token of the channel as the reports show it.
    session_token: int = 0
    sequence: int = 0
    # Carried but not looked at by the agent.
    unused: int = 0


@dataclass
class SensorWishes:
    prediction_time_counter: int = 0
    yaw_correction_counter: int = 0
    reset_orientation_counter: int = 0
    mag_yaw_correction_counter: int = 0
    prediction_time_seconds: float = 0.0
    # Non-zero enables.
    yaw_correction: int = 0
    mag_yaw_correction: int = 0


def _sensor_wishes() -> List[SensorWishes]:
    return [SensorWishes() for _ in range(SENSOR_COUNT)]


@dataclass
class Wishes:
    latency_input_counter: int = 0
    # Sensor records in the block; the agent reads at most SENSOR_COUNT.
    sensor_count: int = SENSOR_COUNT
    sensors: List[SensorWishes] = field(default_factory=_sensor_wishes)


@dataclass
class Request:
    header: RequestHeader = field(default_factory=RequestHeader)
    wishes: Wishes = field(default_factory=Wishes)

    def to_dict(self) -> dict:
        return asdict(self)


def read_wishes(reader: BlockReader) -> Wishes:
    """The wishes in the layout's order; only min(sensor count, SENSOR_COUNT)
    sensor records are read, the others stay zero."""
    wishes = Wishes(latency_input_counter=reader.read32(), sensor_count=reader.read8())
    for sensor in wishes.sensors[:wishes.sensor_count]:
        sensor.prediction_time_counter = reader.read32()
        sensor.yaw_correction_counter = reader.read32()
        sensor.reset_orientation_counter = reader.read32()
        sensor.mag_yaw_correction_counter = reader.read32()
        sensor.prediction_time_seconds = reader.read_f()
        sensor.yaw_correction = reader.read8()
        sensor.mag_yaw_correction = reader.read8()
    return wishes


def write_request(request: Request) -> bytes:
    """A whole request: the header and a block with every sensor record."""
    header, wishes = request.header, request.wishes
    writer = BlockWriter()
    writer.write32(wishes.latency_input_counter)
    writer.write8(wishes.sensor_count)
    for sensor in wishes.sensors:
        writer.write32(sensor.prediction_time_counter, sensor.yaw_correction_counter,
                       sensor.reset_orientation_counter, sensor.mag_yaw_correction_counter)
        writer.write_f(sensor.prediction_time_seconds)
        writer.write8(sensor.yaw_correction, sensor.mag_yaw_correction)
    return struct.pack("<4s4I", MAGIC, header.client_token, header.session_token,
                       header.sequence, header.unused) + writer.emit()


def read_request(datagram: bytes) -> Optional[Request]:
    """Decodes a request as the agent does: header words the datagram does not
    wholly hold read as 0. None when the block's arrays run past its end. For
    a host's stand-in agent, which tests the host without a headset."""
    words = min(len(datagram), HEADER_SIZE) // 4
    header = struct.unpack_from(f"<{words}I", datagram) + (0,) * (5 - words)
    reader = BlockReader()
    if not reader.read(datagram):
        return None
    return Request(RequestHeader(*header[1:]), read_wishes(reader))


# The state report the agent pushes every service cycle: one snapshot of the
# display, the latency tester and two sensors, 241 bytes of one fixed shape.
# Every value is sent whether or not the plug-in could answer; a flag says
# which answers were valid.

class DisplayFlag(enum.IntFlag):
    MESSAGE_0 = 1 << 0
    MESSAGE_1 = 1 << 1
    MESSAGE_2 = 1 << 2
    HMD_PRESENT = 1 << 3
    PORTRAIT_MODE = 1 << 4
    RESOLUTION_VALID = 1 << 5
    SCREEN_SIZE_VALID = 1 << 6
    EYE_TO_SCREEN_DISTANCE_VALID = 1 << 7
    INTERPUPILLARY_DISTANCE_VALID = 1 << 8
    LENS_SEPARATION_DISTANCE_VALID = 1 << 9
    PLAYER_EYE_HEIGHT_VALID = 1 << 10
    EYE_OFFSET_VALID = 1 << 11
    SCREEN_V_CENTER_VALID = 1 << 12
    DISTORTION_COEFFICIENTS_VALID = 1 << 13
    LATENCY_COLOR_VALID = 1 << 14


class SensorFlag(enum.IntFlag):
    PRESENT = 1 << 0
    MAG_CALIBRATED = 1 << 1
    YAW_CORRECTION_ENABLED = 1 << 2
    ORIENTATION_VALID = 1 << 3
    PREDICTED_ORIENTATION_VALID = 1 << 4
    PREDICTION_TIME_VALID = 1 << 5
    ACCELERATION_VALID = 1 << 6
    # One bit for both queries: set when either answered.
    ANGULAR_VELOCITY_OR_MAGNETOMETER_VALID = 1 << 7


MESSAGE_FLAGS = (DisplayFlag.MESSAGE_0, DisplayFlag.MESSAGE_1, DisplayFlag.MESSAGE_2)

# Each other flag sets the state's field of the same name: one table serves
# both directions.
_DISPLAY_FLAG_FIELDS = tuple((flag.name.lower(), int(flag)) for flag in DisplayFlag
                             if flag not in MESSAGE_FLAGS)
_SENSOR_FLAG_FIELDS = tuple((flag.name.lower(), int(flag)) for flag in SensorFlag)
_MESSAGE_BITS = tuple(int(flag) for flag in MESSAGE_FLAGS)


@dataclass
class DisplayState:
    message: List[bool] = field(default_factory=lambda: [False] * 3)
    hmd_present: bool = False
    portrait_mode: bool = False
    resolution_valid: bool = False
    screen_size_valid: bool = False
    eye_to_screen_distance_valid: bool = False
    interpupillary_distance_valid: bool = False
    lens_separation_distance_valid: bool = False
    player_eye_height_valid: bool = False
    eye_offset_valid: bool = False
    screen_v_center_valid: bool = False
    distortion_coefficients_valid: bool = False
    latency_color_valid: bool = False

    resolution: List[int] = field(default_factory=lambda: [0, 0])  # pixels, as the plug-in orders them
    screen_size: List[float] = field(default_factory=lambda: [0.0] * 2)  # metres
    eye_to_screen_distance: float = 0.0
    interpupillary_distance: float = 0.0
    lens_separation_distance: float = 0.0
    player_eye_height: float = 0.0
    eye_offset: List[float] = field(default_factory=lambda: [0.0] * 2)
    screen_v_center: float = 0.0
    distortion_coefficients: List[float] = field(default_factory=lambda: [0.0] * 4)
    latency_color: List[int] = field(default_factory=lambda: [0] * 3)  # r, g, b


@dataclass
class SensorState:
    present: bool = False
    mag_calibrated: bool = False
    yaw_correction_enabled: bool = False
    orientation_valid: bool = False
    predicted_orientation_valid: bool = False
    prediction_time_valid: bool = False
    acceleration_valid: bool = False
    angular_velocity_or_magnetometer_valid: bool = False

    orientation: List[float] = field(default_factory=lambda: [0.0] * 4)  # unit quaternion w, x, y, z
    predicted_orientation: List[float] = field(default_factory=lambda: [0.0] * 4)
    prediction_time: float = 0.0  # seconds
    acceleration: List[float] = field(default_factory=lambda: [0.0] * 3)  # metres per second squared
    angular_velocity: List[float] = field(default_factory=lambda: [0.0] * 3)  # radians per second
    magnetometer: List[float] = field(default_factory=lambda: [0.0] * 3)  # gauss


def _sensor_states() -> List[SensorState]:
    return [SensorState() for _ in range(SENSOR_COUNT)]


@dataclass
class Report:
    session_token: int = 0
    # The client token of the last accepted request; 0 before one.
    client_token: int = 0
    # 1, 2, ... per channel; 0 is never sent.
    sequence: int = 0
    # The sequence of the last accepted request; 0 before one.
    last_request_sequence: int = 0
    display: DisplayState = field(default_factory=DisplayState)
    sensor_count: int = 0
    sensor_record_count: int = SENSOR_COUNT
    sensors: List[SensorState] = field(default_factory=_sensor_states)

    def to_dict(self) -> dict:
        return asdict(self)


REPORT_COUNTS = (4, 49, 5)
REPORT_COUNT_WORD = pack_count_word(*REPORT_COUNTS)  # 0x05031004
REPORT_SIZE = HEADER_SIZE + block_size(*REPORT_COUNTS)  # 241
SENSOR_RECORD_FLOATS = 18
# The whole report in one format: magic, four header words, the count word,
# then the integers (resolution, display flags, sensor flags of each sensor),
# the floats (display, then one record per sensor) and the bytes (latency
# colour, sensor count, sensor record count).
_REPORT = struct.Struct("<4s4II4I49f5B")
_INTEGERS = 6
_FLOATS = _INTEGERS + REPORT_COUNTS[0]
_BYTES = _FLOATS + REPORT_COUNTS[1]


class ReportCheck(enum.Enum):
    VALID = "valid"
    WRONG_SIZE = "not 241 bytes"
    WRONG_MAGIC = "no TLX0 magic"
    WRONG_COUNT_WORD = "wrong count word"


def _flag_fields(flags: int, table) -> dict:
    return {name: flags & bit != 0 for name, bit in table}


def _flags_of(state, table) -> int:
    return sum(bit for name, bit in table if getattr(state, name))


def display_flags_of(display: DisplayState) -> int:
    return _flags_of(display, _DISPLAY_FLAG_FIELDS) | sum(
        bit for bit, on in zip(_MESSAGE_BITS, display.message) if on)


def sensor_flags_of(sensor: SensorState) -> int:
    return _flags_of(sensor, _SENSOR_FLAG_FIELDS)


def _decode_sensor(flags: int, record: Tuple[float, ...]) -> SensorState:
    return SensorState(**_flag_fields(flags, _SENSOR_FLAG_FIELDS),
                       orientation=list(record[0:4]),
                       predicted_orientation=list(record[4:8]),
                       prediction_time=record[8],
                       acceleration=list(record[9:12]),
                       angular_velocity=list(record[12:15]),
                       magnetometer=list(record[15:18]))


def decode_report(datagram: bytes) -> Tuple[ReportCheck, Optional[Report]]:
    """Checks the datagram's size, magic and count word, then decodes every
    field; the report is None unless the datagram is valid."""
    if len(datagram) != REPORT_SIZE:
        return ReportCheck.WRONG_SIZE, None
    values = _REPORT.unpack(datagram)
    if values[0] != MAGIC:
        return ReportCheck.WRONG_MAGIC, None
    if values[5] != REPORT_COUNT_WORD:
        return ReportCheck.WRONG_COUNT_WORD, None
    resolution, flags = values[_INTEGERS], values[_INTEGERS + 1]
    floats = values[_FLOATS:_BYTES]
    display = DisplayState(
        message=[flags & bit != 0 for bit in _MESSAGE_BITS],
        **_flag_fields(flags, _DISPLAY_FLAG_FIELDS),
        resolution=[resolution & 0xFFFF, resolution >> 16],
        screen_size=list(floats[0:2]),
        eye_to_screen_distance=floats[2],
        interpupillary_distance=floats[3],
        lens_separation_distance=floats[4],
        player_eye_height=floats[5],
        eye_offset=list(floats[6:8]),
        screen_v_center=floats[8],
        distortion_coefficients=list(floats[9:13]),
        latency_color=list(values[_BYTES:_BYTES + 3]))
    sensors = [_decode_sensor(values[_INTEGERS + 2 + s],
                              floats[13 + SENSOR_RECORD_FLOATS * s:13 + SENSOR_RECORD_FLOATS * (s + 1)])
               for s in range(SENSOR_COUNT)]
    return ReportCheck.VALID, Report(*values[1:5], display, values[_BYTES + 3], values[_BYTES + 4], sensors)


def write_report(report: Report) -> bytes:
    """The report's 241 bytes: what a host's stand-in agent sends, or a
    recording of made-up reports holds."""
    display = report.display
    sensor_floats = []
    for sensor in report.sensors:
        sensor_floats += [*sensor.orientation, *sensor.predicted_orientation, sensor.prediction_time,
                          *sensor.acceleration, *sensor.angular_velocity, *sensor.magnetometer]
    return _REPORT.pack(
        MAGIC, report.session_token, report.client_token, report.sequence,
        report.last_request_sequence, REPORT_COUNT_WORD,
        display.resolution[0] | display.resolution[1] << 16, display_flags_of(display),
        *(sensor_flags_of(sensor) for sensor in report.sensors),
        *display.screen_size, display.eye_to_screen_distance, display.interpupillary_distance,
        display.lens_separation_distance, display.player_eye_height, *display.eye_offset,
        display.screen_v_center, *display.distortion_coefficients, *sensor_floats,
        *display.latency_color, report.sensor_count, report.sensor_record_count)
