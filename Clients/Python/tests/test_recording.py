import os
import tempfile
import unittest

from talmex.recording import (Record, RecordingWriter, encode_record, load_recording,
                              read_recording)

from .test_protocol import golden_bytes, golden_table

# What Tests/Protocol/Golden/recording.hex holds, as the C++ test has it.
START_US = 0x0123456789ABCDEF
RECORDS = [Record(1 << 31, b"TLX0\x01"), Record(3 << 31, b""), Record(9 << 31, b"\xa5" * 241)]


def damaged(whole: bytes, damage: str) -> bytes:
    """One line of Golden/recording-damage.txt applied to the golden recording."""
    kind, *arguments = damage.split()
    if kind == "cut":
        return whole[:int(arguments[0])]
    if kind == "set":
        at, values = int(arguments[0]), bytes.fromhex(arguments[1])
        return whole[:at] + values + whole[at + len(values):]
    return b""


class RecordingTest(unittest.TestCase):

    def setUp(self):
        self.golden = golden_bytes("recording.hex")

    def test_writer_writes_the_golden_recording_and_the_reader_reads_it_back(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "session.tlxr")
            with RecordingWriter(open(path, "wb"), START_US) as writer:
                for record in RECORDS:
                    writer.add(record.receive_us, record.datagram)
            with open(path, "rb") as file:
                self.assertEqual(file.read(), self.golden)
            recording = load_recording(path)
        self.assertEqual((recording.start_us, recording.records, recording.truncated, recording.error),
                         (START_US, RECORDS, False, ""))

    def test_torn_last_record_is_dropped_at_every_cut(self):
        last_record_at = len(self.golden) - len(encode_record(0, RECORDS[-1].datagram))
        for cut in range(last_record_at, len(self.golden)):
            with self.subTest(cut=cut):
                recording = read_recording(self.golden[:cut])
                self.assertEqual(recording.records, RECORDS[:2])
                self.assertEqual(recording.truncated, cut != last_record_at)
                self.assertEqual(recording.error, "")

    def test_damage_is_refused_naming_its_offset_as_the_cpp_reader_does(self):
        cases = golden_table("recording-damage.txt")
        self.assertEqual(len(cases), 5)
        for damage, records, error in cases:
            with self.subTest(damage=damage):
                recording = read_recording(damaged(self.golden, damage))
                self.assertEqual(len(recording.records), int(records))
                self.assertEqual(recording.error, error)

    def test_a_file_that_cannot_be_read_is_an_error_too(self):
        recording = load_recording("/nonexistent/session.tlxr")
        self.assertEqual(recording.error, "cannot read /nonexistent/session.tlxr: No such file or directory")


if __name__ == "__main__":
    unittest.main()
