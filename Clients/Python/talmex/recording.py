"""Recordings: every datagram as it arrived, with its receive time. Their
layout, and what a reader does with a torn or damaged one, are described in
docs/protocol.md, "The recording format"; the rules and messages are those of
the C++ reader."""

import os
import struct
import time
from dataclasses import dataclass, field
from typing import BinaryIO, List, Optional

MAGIC = b"TLXR"
VERSION = 1
# The largest UDP payload over IPv4.
MAX_DATAGRAM_SIZE = 65507

_HEADER = struct.Struct("<4sIQ")
_RECORD_HEADER = struct.Struct("<QI")
HEADER_SIZE = _HEADER.size  # 16
RECORD_HEADER_SIZE = _RECORD_HEADER.size  # 12


@dataclass
class Record:
    receive_us: int  # microseconds since the recording's start
    datagram: bytes


@dataclass
class Recording:
    start_us: int = 0  # microseconds since 1970-01-01 UTC
    records: List[Record] = field(default_factory=list)
    # The recording ended in a torn record, which was dropped.
    truncated: bool = False
    # What is damaged and where, or empty when nothing is.
    error: str = ""


def _failed(recording: Recording, offset: int, what: str) -> Recording:
    recording.error = f"{what} (at offset {offset})"
    return recording


def read_recording(data: bytes) -> Recording:
    """The recording held in data; its error says what is wrong, if anything."""
    recording = Recording()
    if not data:
        return _failed(recording, 0, "the recording is empty")
    if len(data) < HEADER_SIZE:
        return _failed(recording, len(data), "the recording's header is cut short")
    magic, version, recording.start_us = _HEADER.unpack_from(data)
    if magic != MAGIC:
        return _failed(recording, 0, "not a recording: no TLXR magic")
    if version != VERSION:
        return _failed(recording, 4, f"recording version {version} is not version {VERSION}")
    offset = HEADER_SIZE
    while offset < len(data):
        if len(data) - offset < RECORD_HEADER_SIZE:
            recording.truncated = True
            break
        receive_us, length = _RECORD_HEADER.unpack_from(data, offset)
        if length > MAX_DATAGRAM_SIZE:
            return _failed(recording, offset, f"a record of {length} bytes, longer than any datagram")
        start = offset + RECORD_HEADER_SIZE
        if len(data) - start < length:
            recording.truncated = True
            break
        recording.records.append(Record(receive_us, bytes(data[start:start + length])))
        offset = start + length
    return recording


def load_recording(path: str) -> Recording:
    """The recording in the file; its error also says when the file cannot be read."""
    try:
        with open(path, "rb") as file:
            data = file.read()
    except OSError as error:
        return Recording(error=f"cannot read {path}: {error.strerror}")
    return read_recording(data)


def encode_header(start_us: int) -> bytes:
    return _HEADER.pack(MAGIC, VERSION, start_us)


def encode_record(receive_us: int, datagram: bytes) -> bytes:
    return _RECORD_HEADER.pack(receive_us, len(datagram)) + datagram


class RecordingWriter:
    """Writes a recording to a file, for a host that records the reports it
    receives (each as write_report encodes it, with its time) for plot or the
    simulated headset's replay; closing it (or leaving its with-block)
    flushes and syncs what was written."""

    def __init__(self, file: BinaryIO, start_us: Optional[int] = None):
        self._file = file
        self.start_us = time.time_ns() // 1000 if start_us is None else start_us
        file.write(encode_header(self.start_us))

    def add(self, receive_us: int, datagram: bytes) -> None:
        if len(datagram) > MAX_DATAGRAM_SIZE:
            raise ValueError(f"a datagram of {len(datagram)} bytes, longer than any")
        self._file.write(encode_record(receive_us, datagram))

    def close(self) -> None:
        if self._file.closed:
            return
        self._file.flush()
        os.fsync(self._file.fileno())
        self._file.close()

    def __enter__(self) -> "RecordingWriter":
        return self

    def __exit__(self, *exception) -> None:
        self.close()
