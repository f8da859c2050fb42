"""The agent started as a child, the way a host starts it: a pipe on its
standard input, closed to stop it."""

import os
import shutil
import signal
import subprocess
from typing import Optional, Set

from .protocol import AGENT_PORTS

INSTALLED_AGENT = "/usr/local/bin/talmex-agent"


def _is_executable(path: str) -> bool:
    return bool(path) and os.access(path, os.X_OK)


def default_agent_path() -> str:
    """The installed agent, else one found on the PATH."""
    if _is_executable(INSTALLED_AGENT):
        return INSTALLED_AGENT
    return shutil.which("talmex-agent") or INSTALLED_AGENT


def _socket_inodes(pid: int) -> Set[int]:
    """The inodes of the sockets among the process's open descriptors."""
    folder = f"/proc/{pid}/fd"
    inodes = set()
    try:
        descriptors = os.listdir(folder)
    except OSError:
        return inodes
    for descriptor in descriptors:
        try:
            target = os.readlink(os.path.join(folder, descriptor))
        except OSError:
            continue  # closed since the listing
        if target.startswith("socket:["):
            inodes.add(int(target[8:-1]))
    return inodes


class AgentProcess:
    """The port the child serves on is read from its own sockets, never
    guessed."""

    def __init__(self) -> None:
        self._process: Optional[subprocess.Popen] = None
        self._returncode: Optional[int] = None
        self.error = ""

    def start(self, agent_path: str) -> bool:
        """Starts the agent at the path; False, with the reason in error, when
        it could not be started."""
        self.stop()
        try:
            # A session of its own: Ctrl-C at the host's terminal is the
            # host's to handle, and the host stops the agent by closing the pipe.
            self._process = subprocess.Popen([agent_path], stdin=subprocess.PIPE,
                                             start_new_session=True)
        except OSError as failure:
            self.error = f"cannot start {agent_path}: {failure.strerror}"
            return False
        self._returncode = None
        return True

    @property
    def is_started(self) -> bool:
        return self._process is not None

    @property
    def pid(self) -> int:
        return self._process.pid if self._process else -1

    @property
    def returncode(self) -> Optional[int]:
        """The child's exit status once it has ended (negative: the signal
        that killed it), else None."""
        return self._returncode

    def bound_port(self) -> int:
        """The agent port the child has bound, or 0 while it has bound none."""
        if not self._process:
            return 0
        inodes = _socket_inodes(self._process.pid)
        try:
            with open(f"/proc/{self._process.pid}/net/udp") as table:
                rows = table.read().splitlines()[1:]  # below the column titles
        except OSError:
            return 0
        for row in rows:
            # "sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ..."
            fields = row.split()
            if len(fields) < 10 or int(fields[9]) not in inodes:
                continue
            port = int(fields[1].rpartition(":")[2], 16)
            if port in AGENT_PORTS:
                return port
        return 0

    def has_exited(self) -> bool:
        """True once the child has ended; its status is then in returncode."""
        if self._process and self._returncode is None:
            self._returncode = self._process.poll()
        return self._returncode is not None

    def exit_description(self) -> str:
        code = self._returncode
        if code is None:
            return "running"
        if code < 0:
            return f"killed by signal {signal.strsignal(-code)}"
        return f"exited with status {code}"

    def stop(self, timeout: float = 3.0) -> None:
        """Closes the pipe and reaps the child, which stops within about
        100 ms; one that has not stopped within the time is killed."""
        process, self._process = self._process, None
        if not process:
            return
        process.stdin.close()
        try:
            process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        self._returncode = process.returncode
