"""The view's web server: the page's files, the event stream of poses and
the command endpoint, on the standard library's threading HTTP server."""

import json
import socket
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from typing import Dict, Tuple
from urllib.parse import urlsplit

from ..client import Client
from .broadcast import Broadcast
from .commands import parse_command
from .guard import plain_number, trusts_host
from .pump import ClientPump

_PAGE_FOLDER = Path(__file__).parent
_PAGES = {"/": ("index.html", "text/html; charset=utf-8"),
          "/view.css": ("view.css", "text/css; charset=utf-8"),
          "/view.js": ("view.js", "text/javascript; charset=utf-8")}
# Longer bodies are refused unread: every command fits in a few dozen bytes.
MAX_COMMAND_BYTES = 1024
# A comment line this often shows a page whose tab has closed while no pose
# flows, so that its thread ends.
KEEP_ALIVE_SECONDS = 1.0
# How often a page's browser retries a lost event stream.
RETRY_MILLISECONDS = 1000


class ViewServer(ThreadingHTTPServer):
    """Serves the view of one client. serve_forever also starts the thread
    that polls the client; server_close stops it and ends every event
    stream."""

    daemon_threads = True

    def __init__(self, address: Tuple[str, int], client: Client, control: bool) -> None:
        self.address_family = socket.AF_INET6 if ":" in address[0] else socket.AF_INET
        self.control = control
        self.broadcast = Broadcast()
        self.pump = ClientPump(client, self.broadcast)
        self.pages: Dict[str, Tuple[bytes, str]] = {
            path: ((_PAGE_FOLDER / name).read_bytes(), content_type)
            for path, (name, content_type) in _PAGES.items()}
        super().__init__(address, _Handler)

    @property
    def url(self) -> str:
        host, port = self.server_address[:2]
        return f"http://[{host}]:{port}/" if ":" in host else f"http://{host}:{port}/"

    def serve_forever(self, poll_interval: float = 0.5) -> None:
        self.pump.start()
        super().serve_forever(poll_interval)

    def server_close(self) -> None:
        self.broadcast.close()
        self.pump.stop()
        super().server_close()


class _Handler(BaseHTTPRequestHandler):
    server: ViewServer
    server_version = "talmex-view"
    # A page that stops reading frees its thread after this long.
    timeout = 10

    def _is_trusted(self) -> bool:
        if trusts_host(*self.server.server_address[:2], self.headers.get("Host", "")):
            return True
        self._reply_json(HTTPStatus.FORBIDDEN, {"error": "this view answers to its own address only"})
        return False

    def do_GET(self) -> None:
        path = urlsplit(self.path).path
        if not self._is_trusted():
            return
        if path == "/events":
            self._stream_events()
        elif path in self.server.pages:
            body, content_type = self.server.pages[path]
            self._reply(HTTPStatus.OK, body, content_type)
        else:
            self._reply_json(HTTPStatus.NOT_FOUND, {"error": f"no page {path}"})

    def do_POST(self) -> None:
        if not self._is_trusted():
            return
        if urlsplit(self.path).path != "/command":
            self._reply_json(HTTPStatus.NOT_FOUND, {"error": "commands go to /command"})
        elif not self.server.control:
            self._reply_json(HTTPStatus.FORBIDDEN,
                             {"error": "this view is read-only: start it with --control to send commands"})
        elif self.headers.get_content_type() != "application/json":
            # Another site's page cannot send this type without the browser
            # asking first, which this server never allows.
            self._reply_json(HTTPStatus.UNSUPPORTED_MEDIA_TYPE,
                             {"error": "a command is sent with Content-Type: application/json"})
        else:
            self._command()

    def _command(self) -> None:
        lengths = self.headers.get_all("Content-Length", [])
        length = plain_number(lengths[0].strip(" \t"), MAX_COMMAND_BYTES) if len(lengths) == 1 else None
        if length is None:
            self.close_connection = True
            self._reply_json(HTTPStatus.BAD_REQUEST,
                             {"error": f"a command is a JSON body of at most {MAX_COMMAND_BYTES} bytes,"
                                       " its Content-Length given once in digits 0 to 9"})
            return
        action, error = parse_command(self.rfile.read(length))
        if action is None:
            self._reply_json(HTTPStatus.BAD_REQUEST, {"error": error})
            return
        self.server.pump.submit(action)
        self._reply_json(HTTPStatus.OK, {"ok": True})

    def _stream_events(self) -> None:
        mailbox = self.server.broadcast.subscribe()
        try:
            self.send_response(HTTPStatus.OK)
            self.send_header("Content-Type", "text/event-stream")
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            hello = {"control": self.server.control, "frame_rate": ClientPump.FRAME_RATE}
            self.wfile.write(f"retry: {RETRY_MILLISECONDS}\nevent: hello\ndata: {json.dumps(hello)}\n\n".encode())
            while not mailbox.closed:
                message = mailbox.take(KEEP_ALIVE_SECONDS)
                self.wfile.write(message or b": keep-alive\n\n")
                self.wfile.flush()
        except OSError:
            pass  # the tab closed, or stopped reading for longer than the time-out
        finally:
            self.server.broadcast.unsubscribe(mailbox)

    def _reply_json(self, status: HTTPStatus, content: dict) -> None:
        self._reply(status, json.dumps(content).encode(), "application/json")

    def _reply(self, status: HTTPStatus, body: bytes, content_type: str) -> None:
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.send_header("X-Content-Type-Options", "nosniff")
        self.send_header("Content-Security-Policy", "default-src 'self'; img-src 'self' data:")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format: str, *args) -> None:  # noqa: A002 (the base class's name)
        pass  # a line per request would drown the address the user needs
