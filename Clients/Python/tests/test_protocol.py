import json
import struct
import unittest
from dataclasses import asdict
from pathlib import Path

from talmex.jsontext import to_json
from talmex.protocol import (BlockReader, BlockWriter, ReportCheck, decode_report, is_later_sequence,
                             lost_between, next_sequence, read_request, write_report, write_request)

# Shared with the C++ tests.
GOLDEN = Path(__file__).resolve().parents[3] / "Tests" / "Protocol" / "Golden"
DISPLAY_FLAGS_OFFSET = 28
SENSOR_FLAGS_OFFSET = 32


def golden_bytes(name: str) -> bytes:
    return bytes.fromhex("".join((GOLDEN / name).read_text().split()))


def golden_table(name: str) -> list:
    """The cases of a .txt table there: each line that is neither empty nor a
    comment, split into its fields at " | "."""
    return [line.split(" | ") for line in (GOLDEN / name).read_text().splitlines()
            if line and not line.startswith("#")]


def float32(value):
    """The value as the wire carries it, floats rounded to 32 bits."""
    if isinstance(value, float):
        return struct.unpack("<f", struct.pack("<f", value))[0]
    if isinstance(value, dict):
        return {name: float32(item) for name, item in value.items()}
    if isinstance(value, list):
        return [float32(item) for item in value]
    return value


def with_word(datagram: bytes, offset: int, word: int) -> bytes:
    return datagram[:offset] + struct.pack("<I", word) + datagram[offset + 4:]


def set_flags(state) -> set:
    fields = asdict(state)
    names = {name for name, value in fields.items() if value is True}
    return names | {f"message_{m}" for m, on in enumerate(fields.get("message", [])) if on}


class GoldenTest(unittest.TestCase):
    def test_report_decodes_to_its_fields_and_encodes_back(self):
        datagram = golden_bytes("report.hex")
        check, report = decode_report(datagram)
        self.assertIs(check, ReportCheck.VALID)
        expected = json.loads((GOLDEN / "report.json").read_text())
        self.assertEqual(float32(report.to_dict()), float32(expected))
        self.assertEqual(to_json(report), (GOLDEN / "report.json").read_text().strip())
        self.assertEqual(write_report(report), datagram)

    def test_request_decodes_to_its_fields_and_encodes_back(self):
        datagram = golden_bytes("request.hex")
        request = read_request(datagram)
        self.assertEqual(request.to_dict(), json.loads((GOLDEN / "request.json").read_text()))
        self.assertEqual(write_request(request), datagram)


class ReportTest(unittest.TestCase):
    DISPLAY_BITS = ["message_0", "message_1", "message_2", "hmd_present", "portrait_mode",
                    "resolution_valid", "screen_size_valid", "eye_to_screen_distance_valid",
                    "interpupillary_distance_valid", "lens_separation_distance_valid",
                    "player_eye_height_valid", "eye_offset_valid", "screen_v_center_valid",
                    "distortion_coefficients_valid", "latency_color_valid"]
    SENSOR_BITS = ["present", "mag_calibrated", "yaw_correction_enabled", "orientation_valid",
                   "predicted_orientation_valid", "prediction_time_valid", "acceleration_valid",
                   "angular_velocity_or_magnetometer_valid"]

    def test_each_flag_bit_sets_its_field_alone_and_encodes_back(self):
        golden = golden_bytes("report.hex")
        for s in range(2):
            golden = with_word(golden, SENSOR_FLAGS_OFFSET + 4 * s, 0)
        cases = [(DISPLAY_FLAGS_OFFSET, lambda r: r.display, self.DISPLAY_BITS)]
        cases += [(SENSOR_FLAGS_OFFSET + 4 * s, lambda r, s=s: r.sensors[s], self.SENSOR_BITS) for s in range(2)]
        for offset, state_of, names in cases:
            for bit in range(32):
                with self.subTest(offset=offset, bit=bit):
                    datagram = with_word(golden, offset, 1 << bit)
                    check, report = decode_report(datagram)
                    self.assertIs(check, ReportCheck.VALID)
                    self.assertEqual(set_flags(state_of(report)), {names[bit]} if bit < len(names) else set())
                    if bit < len(names):
                        self.assertEqual(write_report(report), datagram)

    def test_refuses_wrong_size_magic_and_count_word(self):
        golden = golden_bytes("report.hex")
        cases = [
            (b"", ReportCheck.WRONG_SIZE),
            (golden[:-1], ReportCheck.WRONG_SIZE),
            (golden + b"\0", ReportCheck.WRONG_SIZE),
            (b"tlx0" + golden[4:], ReportCheck.WRONG_MAGIC),
            (b"TLX1" + golden[4:], ReportCheck.WRONG_MAGIC),
            (b"XLX0" + golden[4:], ReportCheck.WRONG_MAGIC),
            (with_word(golden, 20, 0x05031005), ReportCheck.WRONG_COUNT_WORD),
            (with_word(golden, 20, 0x05032004), ReportCheck.WRONG_COUNT_WORD),
            (with_word(golden, 20, 0x04031004), ReportCheck.WRONG_COUNT_WORD),
        ]
        for datagram, expected in cases:
            with self.subTest(expected=expected, head=datagram[:24].hex()):
                self.assertEqual(decode_report(datagram), (expected, None))


class RequestTest(unittest.TestCase):
    def test_missing_values_read_as_zero_and_a_short_block_is_refused(self):
        golden = golden_bytes("request.hex")
        self.assertIsNone(read_request(golden[:-1]))
        # A header word the datagram does not wholly hold reads as 0.
        request = read_request(golden[:10])
        self.assertEqual((request.header.client_token, request.header.session_token), (0xCAFEF00D, 0))
        self.assertEqual(request.wishes.sensor_count, 0)
        # One sensor record: the second stays zero although the block holds it.
        one_sensor = bytearray(golden)
        one_sensor[20 + 4 + 4 * 9 + 4 * 2] = 1
        wishes = read_request(bytes(one_sensor)).wishes
        self.assertEqual(wishes.sensors[0].reset_orientation_counter, 3)
        self.assertEqual(wishes.sensors[1].reset_orientation_counter, 0)

    def test_block_arrays_are_capped_and_handed_out_in_order(self):
        writer = BlockWriter()
        writer.write32(*range(5000))
        writer.write_f(0.5)
        block = writer.emit()
        self.assertEqual(struct.unpack_from("<I", block)[0], 4095 | 1 << 12)
        self.assertEqual(len(block), 4 + 4 * 4095 + 4)
        reader = BlockReader()
        self.assertTrue(reader.read(block, 0))
        self.assertEqual([reader.read32(), reader.read32(), reader.read_f(), reader.read_f(), reader.read8()],
                         [0, 1, 0.5, 0.0, 0])

    def test_sequences_order_across_the_wrap(self):
        cases = [(1, 0xFFFFFFFF, True), (5, 5, False), (2147483653, 5, False), (2147483652, 5, True), (4, 5, False)]
        for later, last, expected in cases:
            with self.subTest(later=later, last=last):
                self.assertIs(is_later_sequence(later, last), expected)
        self.assertEqual([next_sequence(0), next_sequence(7), next_sequence(0xFFFFFFFF)], [1, 8, 1])
        gaps = [(5, 6, 0), (5, 9, 3), (0xFFFFFFFF, 1, 0), (0xFFFFFFFE, 1, 1), (0xFFFFFFFF, 3, 2)]
        self.assertEqual([lost_between(last, later) for last, later, _ in gaps], [lost for *_, lost in gaps])


if __name__ == "__main__":
    unittest.main()
