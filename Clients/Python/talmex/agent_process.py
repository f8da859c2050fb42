"""The agent started as a child, the way a host starts it: a pipe on its
standard input, closed to stop it, and one for its standard output and error,
which the host keeps the last lines of."""

import os
import signal
import subprocess
import time
from typing import Optional, Set, Tuple

from .agent_output import AgentOutput
from .headsets import SIMULATED_HEADSET, headset_folder
from .protocol import AGENT_PORTS

try:
    # Written by the install: where the agent lies from the installed package.
    from ._build import AGENT_FROM_PACKAGE
except ImportError:  # not installed: no agent installed with it
    AGENT_FROM_PACKAGE = None

# Bytes of the child's output taken in per look: a plug-in that prints without
# pause cannot hold up the host, and what is left waits in the pipe.
_OUTPUT_READ_SIZE = 65536
_REAP_POLL = 0.002


def _is_executable_file(path: str) -> bool:
    return os.path.isfile(path) and os.access(path, os.X_OK)


def find_agent() -> Tuple[str, str]:
    """The agent a host gets when it names none, and "": the one installed
    with this package, else talmex-agent in an absolute folder of the PATH
    (a relative one would let the current directory choose). When there is
    none: "", and every place tried."""
    installed = []
    if AGENT_FROM_PACKAGE:
        package = os.path.dirname(os.path.realpath(__file__))
        installed.append(os.path.normpath(os.path.join(package, AGENT_FROM_PACKAGE)))
    on_path = [os.path.join(folder, "talmex-agent")
               for folder in os.environ.get("PATH", "").split(os.pathsep) if os.path.isabs(folder)]
    for candidate in installed + on_path:
        if _is_executable_file(candidate):
            return candidate, ""
    tried = [f"{path} (installed with this package)" for path in installed]
    if on_path:
        tried.append(", ".join(on_path) + " (on the PATH)")
    if not tried:
        return "", ("cannot find talmex-agent: this package is not installed with it, and the PATH"
                    " holds no absolute folder")
    return "", "cannot find talmex-agent: tried " + ", then ".join(tried)


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
        self._output_pipe: Optional[int] = None
        # What the child has printed so far, taken in by has_exited and stop;
        # whole once it has ended, and kept until the next start.
        self.output = AgentOutput()
        self.error = ""

    def start(self, agent_path: Optional[str] = None, headset: str = SIMULATED_HEADSET) -> bool:
        """Starts the agent at the path (None: find_agent's) in the folder of
        the headset (see headsets.py), never in the host's own working
        directory, where a stray plug-in would be loaded. False, with the
        reason in error, when it could not be started."""
        self.stop()
        self.output = AgentOutput()
        if not agent_path:
            agent_path, self.error = find_agent()
            if not agent_path:
                return False
        folder, self.error = headset_folder(agent_path, headset)
        if not folder:
            return False
        try:
            # A session of its own: Ctrl-C at the host's terminal is the
            # host's to handle, and the host stops the agent by closing the pipe.
            self._process = subprocess.Popen([os.path.abspath(agent_path)], stdin=subprocess.PIPE,
                                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                             cwd=folder, start_new_session=True)
        except OSError as failure:
            self.error = f"cannot start {agent_path} in {folder}: {failure.strerror}"
            return False
        self._output_pipe = self._process.stdout.fileno()
        os.set_blocking(self._output_pipe, False)
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
        """True once the child has ended; its status is then in returncode.
        Takes in what the child has printed so far, first."""
        if self._process and self._returncode is None:
            self._take_output()
            self._returncode = self._process.poll()
            if self._returncode is not None:
                self._end_output()
        return self._returncode is not None

    def _read_output(self) -> bool:
        """Reads what the pipe holds, a bounded amount; True at its end."""
        try:
            data = os.read(self._output_pipe, _OUTPUT_READ_SIZE)
        except (BlockingIOError, InterruptedError):
            return False
        self.output.add(data)
        return not data

    def _take_output(self) -> None:
        if self._output_pipe is not None and self._read_output():
            self._end_output()  # every writer has gone

    def _end_output(self) -> None:
        """The child has ended: what it left in the pipe is the end of its
        output. A process of its own that still writes there is not waited
        for."""
        if self._output_pipe is None:
            return
        self._read_output()
        self._output_pipe = None
        self.output.finish()

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
        process = self._process
        if not process:
            return
        process.stdin.close()
        deadline = time.monotonic() + timeout
        # Its output is taken in as it stops, so that it never waits to print.
        while not self.has_exited() and time.monotonic() < deadline:
            time.sleep(_REAP_POLL)
        if not self.has_exited():
            process.kill()
            process.wait()
            self._returncode = process.returncode
        self._end_output()
        process.stdout.close()
        self._process = None
