"""Headless Chromium driven through its DevTools protocol, with the small
WebSocket client and PNG decoder that needs; standard library only."""

import base64
import http.client
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time
import zlib
from pathlib import Path
from typing import List, Optional, Tuple

_START_TIME = 30.0
_CALL_TIME = 20.0


def find_chromium() -> Optional[str]:
    return shutil.which("chromium") or shutil.which("chromium-browser")


class DevToolsSocket:
    """A WebSocket client of just what DevTools needs: text frames out,
    whole messages in, one call at a time."""

    def __init__(self, port: int, path: str) -> None:
        self._socket = socket.create_connection(("127.0.0.1", port), timeout=_CALL_TIME)
        key = base64.b64encode(os.urandom(16)).decode()
        self._socket.sendall((f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
                              f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                              "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        self._buffer = b""
        head = self._read_until(b"\r\n\r\n")
        if not head.startswith(b"HTTP/1.1 101"):
            raise ConnectionError(f"DevTools refused the WebSocket: {head[:80]!r}")
        self._next_id = 0

    def close(self) -> None:
        self._socket.close()

    def call(self, method: str, **params) -> dict:
        """The result of one command; events that arrive meanwhile are dropped."""
        self._next_id += 1
        self._send(json.dumps({"id": self._next_id, "method": method, "params": params}).encode())
        deadline = time.monotonic() + _CALL_TIME
        while time.monotonic() < deadline:
            message = json.loads(self._receive())
            if message.get("id") == self._next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message["result"]
        raise TimeoutError(f"{method}: no answer")

    def evaluate(self, expression: str):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def _send(self, payload: bytes) -> None:
        mask = os.urandom(4)
        length = len(payload)
        if length < 126:
            header = struct.pack("!BB", 0x81, 0x80 | length)
        elif length < 1 << 16:
            header = struct.pack("!BBH", 0x81, 0x80 | 126, length)
        else:
            header = struct.pack("!BBQ", 0x81, 0x80 | 127, length)
        masked = bytes(byte ^ mask[index % 4] for index, byte in enumerate(payload))
        self._socket.sendall(header + mask + masked)

    def _receive(self) -> bytes:
        message = b""
        while True:
            first, second = self._read(2)
            length = second & 0x7F
            if length == 126:
                length = struct.unpack("!H", self._read(2))[0]
            elif length == 127:
                length = struct.unpack("!Q", self._read(8))[0]
            payload = self._read(length)  # a server never masks
            if first & 0x0F == 0x8:
                raise ConnectionError("DevTools closed the WebSocket")
            if first & 0x0F in (0x0, 0x1, 0x2):
                message += payload
                if first & 0x80:
                    return message

    def _read(self, count: int) -> bytes:
        while len(self._buffer) < count:
            self._fill()
        data, self._buffer = self._buffer[:count], self._buffer[count:]
        return data

    def _read_until(self, marker: bytes) -> bytes:
        while marker not in self._buffer:
            self._fill()
        head, _, self._buffer = self._buffer.partition(marker)
        return head

    def _fill(self) -> None:
        chunk = self._socket.recv(1 << 16)
        if not chunk:
            raise ConnectionError("DevTools closed the connection")
        self._buffer += chunk


def _signal_group(group: int, number: int) -> None:
    try:
        os.killpg(group, number)
    except ProcessLookupError:
        pass  # every member has ended


class HeadlessChromium:
    """One headless Chromium with a profile of its own, stopped by stop()."""

    def __init__(self) -> None:
        self._profile = tempfile.mkdtemp(prefix="talmex-chromium-")
        self._process: Optional[subprocess.Popen] = None
        self.port = 0
        self.error = ""

    def start(self, width: int = 1200, height: int = 800) -> bool:
        """False, with the reason in error, when Chromium is missing or did not
        start within the time."""
        chromium = find_chromium()
        if not chromium:
            self.error = "chromium is not installed (scripts/bootstrap installs it)"
            return False
        self._process = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-dev-shm-usage", f"--window-size={width},{height}", "--hide-scrollbars",
             f"--user-data-dir={self._profile}", "--remote-debugging-port=0", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
            start_new_session=True)
        # Chromium names the port it took in its profile once DevTools listens.
        active_port = Path(self._profile, "DevToolsActivePort")
        deadline = time.monotonic() + _START_TIME
        while time.monotonic() < deadline and self._process.poll() is None:
            if active_port.exists() and active_port.read_text().count("\n") >= 1:
                self.port = int(active_port.read_text().split()[0])
                return True
            time.sleep(0.05)
        self.stop()
        self.error = f"chromium did not start: {self._stderr_tail()}"
        return False

    def _stderr_tail(self) -> str:
        try:
            return self._process.stderr.read().decode(errors="replace")[-300:] if self._process else ""
        except (OSError, ValueError):
            return ""

    def stop(self) -> None:
        process, self._process = self._process, None
        if process:
            # Its own group, renderers and helpers with it.
            _signal_group(process.pid, signal.SIGTERM)
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                _signal_group(process.pid, signal.SIGKILL)
                process.wait()
            process.stderr.close()
        shutil.rmtree(self._profile, ignore_errors=True)

    def open_tab(self, url: str) -> DevToolsSocket:
        """A new tab at the url, with its DevTools connection."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=_CALL_TIME)
        try:
            connection.request("PUT", "/json/new?" + url)
            target = json.loads(connection.getresponse().read())
        finally:
            connection.close()
        path = target["webSocketDebuggerUrl"].split(str(self.port), 1)[1]
        return DevToolsSocket(self.port, path)


def screenshot(tab: DevToolsSocket, selector: str, scale: float = 1) -> bytes:
    """A PNG of the element's box."""
    box = tab.evaluate(f"(() => {{ const r = document.querySelector('{selector}').getBoundingClientRect();"
                       " return [r.x, r.y, r.width, r.height]; })()")
    clip = dict(zip(("x", "y", "width", "height"), box), scale=scale)
    return base64.b64decode(tab.call("Page.captureScreenshot", format="png", clip=clip)["data"])


def png_pixels(data: bytes) -> Tuple[int, int, List[bytes]]:
    """Width, height and rows of an 8-bit RGB or RGBA PNG, unfiltered."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    position, compressed = 8, b""
    width = height = channels = 0
    while position < len(data):
        length, kind = struct.unpack_from("!I4s", data, position)
        body = data[position + 8:position + 8 + length]
        position += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack_from("!IIBB", body)
            if depth != 8 or colour not in (2, 6):
                raise ValueError("only 8-bit RGB and RGBA")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            compressed += body
    raw = zlib.decompress(compressed)
    stride = width * channels
    rows, previous = [], bytes(stride)
    for row in range(height):
        start = row * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for index in range(stride):
            left = line[index - channels] if index >= channels else 0
            up = previous[index]
            corner = previous[index - channels] if index >= channels else 0
            line[index] = (line[index] + _predict(kind, left, up, corner)) & 0xFF
        rows.append(bytes(line))
        previous = rows[-1]
    return width, height, rows


def _predict(kind: int, left: int, up: int, corner: int) -> int:
    if kind == 1:
        return left
    if kind == 2:
        return up
    if kind == 3:
        return (left + up) // 2
    if kind == 4:  # Paeth: the neighbour nearest to left + up - corner
        estimate = left + up - corner
        to_left, to_up, to_corner = abs(estimate - left), abs(estimate - up), abs(estimate - corner)
        if to_left <= to_up and to_left <= to_corner:
            return left
        return up if to_up <= to_corner else corner
    return 0
