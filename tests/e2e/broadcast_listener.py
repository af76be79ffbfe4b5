"""The listener helper, and counting the broadcasts that one command sent.

The listener logs each WM_FONTCHANGE that reaches its window, and each fence
message with its number. Posted messages arrive in the order they were posted,
so once a fence posted after a command has ended shows in the log, every
broadcast of that command is in the log before it.
"""
import collections
import itertools
import subprocess
import time

import wine_start
from wine_prefix import windows_path


class ListenerEnded(RuntimeError):
    """The listener process ended while we waited for a line of its log."""

    def __init__(self, status, said, what):
        self.said = said
        super().__init__(f"the listener ended ({status}) before {what}: {said.decode(errors='replace')}")


class BroadcastListener:
    def __init__(self, prefix, listener_exe, fence_exe, log_path, stderr_path, timeout=60):
        self._prefix = prefix
        self._fence_exe = fence_exe
        self._log_path = log_path
        self._timeout = timeout
        self._stderr_path = stderr_path
        self._fences = itertools.count(1)
        self._partial_line = b""
        self._unread_lines = collections.deque()
        self._offset = 0
        self._in_step = True
        command = ["wine", listener_exe, windows_path(log_path)]
        self._process = None
        ended, _ = wine_start.with_retries(command, lambda: self._start(command))
        if ended:
            raise ended
        # Whatever Wine itself posted while starting belongs to no command.
        self.take()

    def take(self):
        """The (wParam, lParam) of every WM_FONTCHANGE logged since the last call."""
        number = next(self._fences)
        # Until this fence is seen, the log is not in step with the commands:
        # should the fence fail, the broadcasts before it must not be counted
        # for the next command.
        self._in_step = False
        finished = wine_start.run(["wine", self._fence_exe, str(number)], env=self._prefix.env(),
                                  stdout=subprocess.DEVNULL, timeout=self._timeout)
        if finished.status != 0:
            raise RuntimeError(f"the fence helper failed ({finished.status}): "
                               f"{finished.stderr.decode(errors='replace')}")
        broadcasts = []
        fence = f"fence {number} 0"
        for line in self._lines_until(lambda line: line == fence, f"fence {number}"):
            kind, wparam, lparam = line.split(" ")
            if kind == "fence":
                continue  # an earlier fence, whose wait was cut short
            if kind != "fontchange":
                raise RuntimeError(f"unexpected line in the listener's log: {line!r}")
            broadcasts.append((int(wparam), int(lparam)))
        self._in_step = True
        return tuple(broadcasts)

    def begin_command(self):
        """Before a command runs: drops whatever an earlier command left in
        the log because it or its fence failed, and keeps the log out of
        step until this command's take()."""
        if not self._in_step:
            self.take()
        self._in_step = False

    def stop(self):
        """Waits for the listener to end; stopping the Wine server ends it."""
        try:
            self._process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()

    def _start(self, command):
        """Starts the listener and waits for its window. Returns None and
        nothing, or, when the listener ended first, that error and what it
        wrote to standard error."""
        # A new start begins a new log.
        self._partial_line = b""
        self._unread_lines.clear()
        self._offset = 0
        with open(self._stderr_path, "wb") as stderr:
            self._process = subprocess.Popen(command, env=wine_start.wine_environment(self._prefix.env()),
                                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=stderr)
        try:
            self._lines_until(lambda line: line == "ready", "the listener's window")
        except ListenerEnded as ended:
            return ended, ended.said
        return None, b""

    def _lines_until(self, is_last, what):
        """The lines logged from where we stopped reading, up to but not
        including the first for which is_last() holds. Lines after that one
        are kept for the next call."""
        deadline = time.monotonic() + self._timeout
        lines = []
        while True:
            self._read_new_lines()
            while self._unread_lines:
                line = self._unread_lines.popleft()
                if is_last(line):
                    return lines
                lines.append(line)
            if self._process.poll() is not None:
                with open(self._stderr_path, "rb") as stderr:
                    raise ListenerEnded(self._process.returncode, stderr.read(), what)
            if time.monotonic() > deadline:
                raise RuntimeError(f"{what} never reached the listener")
            time.sleep(0.005)

    def _read_new_lines(self):
        try:
            with open(self._log_path, "rb") as log:
                log.seek(self._offset)
                data = log.read()
        except FileNotFoundError:
            return
        self._offset += len(data)
        *complete, self._partial_line = (self._partial_line + data).split(b"\n")
        self._unread_lines.extend(line.decode("ascii") for line in complete)
