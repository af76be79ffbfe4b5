"""A Windows helper kept running for a Wine session, which answers each
request line on its standard input with one line on its standard output:
a request costs a line each way instead of a Wine start. It starts on first
use and again after it ended (a session's Wine processes end with their
server); a request that gets no answer raises, it never waits for ever."""
import os
import select
import subprocess
import threading
import time

import wine_start

# Seconds a request may take, Wine's start of the helper included.
TIMEOUT = 60


class ServingProcessError(RuntimeError):
    """The helper ended or fell silent: no answer to the request."""


class _Ended(Exception):
    """The helper's output ended before its answer."""


class ServingProcess:
    # What a failure raises: a subclass of ServingProcessError's kind may
    # name its own.
    Error = ServingProcessError

    def __init__(self, name, command, env, cwd, log_path, timeout=TIMEOUT, repeatable=False):
        """NAME says which helper in messages. COMMAND starts it (`wine
        HELPER.exe`) in ENV and CWD; its standard error goes to the file
        LOG_PATH, never to a pipe that nobody reads. REPEATABLE: every
        request may be made twice, so one that a helper ended from outside
        did not answer goes to a new helper, once."""
        self.name = name
        self._command = command
        self._env = wine_start.wine_environment(env)
        self._cwd = cwd
        self._log_path = log_path
        self._timeout = timeout
        self._repeatable = repeatable
        self._process = None
        self._log_start = 0  # where the log of the running helper begins
        self._pending = b""  # what the helper wrote past its last answer
        self._answered = False  # whether the running helper answered a request
        # Cases run programs from several threads; one request at a time.
        self._lock = threading.Lock()
        self.starts = 0

    def exchange(self, request, what):
        """The answer line (without its line end) to REQUEST, a line of
        bytes; WHAT names the request in messages."""
        with self._lock:
            if self._process is None or self._process.poll() is not None:
                self._start()
            try:
                return self._exchange(request)
            except (OSError, _Ended, self.Error) as error:
                # A helper that answered before and ends at this request was
                # most likely ended from outside while it waited (its server
                # went): a new one answers, once. Any other failure raises.
                if not (self._repeatable and self._answered and isinstance(error, (_Ended, BrokenPipeError))
                        and self._ended()):
                    self._fail(what, error)
            self._start()
            try:
                return self._exchange(request)
            except (OSError, _Ended, self.Error) as error:
                self._fail(what, error)

    def stop(self):
        """Ends the helper, if it runs: the end of its input ends it."""
        with self._lock:
            process, self._process = self._process, None
            if process is None:
                return
            try:
                process.stdin.close()
                process.wait(timeout=self._timeout)
            except (OSError, subprocess.TimeoutExpired):
                process.kill()
                process.wait()
            process.stdout.close()

    def _start(self):
        if self._process is not None:
            self._process.stdin.close()
            self._process.stdout.close()
        with open(self._log_path, "ab") as log:
            self._log_start = log.tell()
            self._process = subprocess.Popen(self._command, env=self._env, cwd=self._cwd, stdin=subprocess.PIPE,
                                             stdout=subprocess.PIPE, stderr=log, bufsize=0)
        self._pending = b""
        self._answered = False
        self.starts += 1

    def _exchange(self, request):
        self._send(request)
        answer = self._receive()
        self._answered = True
        return answer

    def _ended(self):
        """Whether the helper has ended, given a moment to end."""
        try:
            self._process.wait(timeout=self._timeout)
        except subprocess.TimeoutExpired:
            return False
        return True

    def _send(self, request):
        view = memoryview(request)
        while view:
            view = view[os.write(self._process.stdin.fileno(), view):]

    def _receive(self):
        deadline = time.monotonic() + self._timeout
        stdout = self._process.stdout.fileno()
        while b"\n" not in self._pending:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([stdout], [], [], left)[0]:
                raise self.Error(f"no answer in {self._timeout} s")
            chunk = os.read(stdout, 65536)
            if not chunk:
                raise _Ended(f"{self.name} ended")
            self._pending += chunk
        line, self._pending = self._pending.split(b"\n", 1)
        return line

    def _fail(self, what, error):
        """Ends the helper that failed the request WHAT, and raises: Wine's
        own failure to start it as wine_start.WineStartError."""
        process, self._process = self._process, None
        process.kill()
        status = process.wait()
        process.stdin.close()
        process.stdout.close()
        with open(self._log_path, "rb") as log:
            log.seek(self._log_start)
            said = log.read()
        wine_start.check_wine(self._command, said)
        lines = said.decode(errors="replace").strip()
        raise self.Error(f"{self.name} gave no answer to {what!r}: {error} (exit status {status}); "
                         f"its standard error:\n{lines}") from error
