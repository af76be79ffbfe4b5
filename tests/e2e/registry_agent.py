"""The registry of a Wine prefix through one long-lived helper,
helpers/registry_agent.c, that answers a request a line on its standard
input and output: a read or write costs a line each way instead of a start
of reg.exe. The agent starts on first use and again after it ended (the
session's Wine processes end with their server); a request that gets no
answer raises, it never waits for ever."""
import os
import re
import select
import subprocess
import threading
import time

import wine_start
from wine_registry import RegistryError

# What the agent reads and writes in a field: tabs part the fields, lines
# part the requests.
_ESCAPES = {"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"}
_UNESCAPES = {"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}
_ESCAPED = re.compile(r"\\(.)")
# Seconds a request may take, Wine's start of the agent included.
TIMEOUT = 60


class RegistryAgentError(RegistryError):
    """The agent ended or fell silent: no answer to the request."""


class AgentEnded(RegistryAgentError):
    """The agent's output ended before its answer."""


def encode_request(fields):
    return ("\t".join("".join(_ESCAPES.get(c, c) for c in field) for field in fields) + "\n").encode()


def decode_answer(line):
    """The fields of one answer line (bytes, without its line feed)."""
    return [_ESCAPED.sub(lambda match: _UNESCAPES[match.group(1)], field) for field in line.decode().split("\t")]


class RegistryAgent:
    def __init__(self, command, env, cwd, log_path, timeout=TIMEOUT):
        """COMMAND starts the agent (`wine registry_agent.exe`) in ENV and
        CWD; its standard error goes to the file LOG_PATH, never to a pipe
        that nobody reads."""
        self._command = command
        self._env = wine_start.wine_environment(env)
        self._cwd = cwd
        self._log_path = log_path
        self._timeout = timeout
        self._process = None
        self._log_start = 0  # where the log of the running agent begins
        self._pending = b""  # what the agent wrote past its last answer
        self._answered = False  # whether the running agent answered a request
        # Cases run programs from several threads; one request at a time.
        self._lock = threading.Lock()
        self.starts = 0

    def ask(self, *fields):
        """The fields of the agent's answer to the request FIELDS."""
        request = encode_request(fields)
        with self._lock:
            if self._process is None or self._process.poll() is not None:
                self._start()
            try:
                return self._exchange(request)
            except (OSError, RegistryAgentError) as error:
                # An agent that answered before and ends at this request was
                # most likely ended from outside while it waited (its server
                # went): a new one answers, once. Every request may be made
                # twice: each sets, or reads, the same thing again. Any other
                # failure raises.
                if not (self._answered and isinstance(error, (AgentEnded, BrokenPipeError)) and self._ended()):
                    self._fail(fields, error)
            self._start()
            try:
                return self._exchange(request)
            except (OSError, RegistryAgentError) as error:
                self._fail(fields, error)

    def stop(self):
        """Ends the agent, if it runs: the end of its input ends it."""
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
        answer = decode_answer(self._receive())
        self._answered = True
        return answer

    def _ended(self):
        """Whether the agent has ended, given a moment to end."""
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
                raise RegistryAgentError(f"no answer in {self._timeout} s")
            chunk = os.read(stdout, 65536)
            if not chunk:
                raise AgentEnded("the agent ended")
            self._pending += chunk
        line, self._pending = self._pending.split(b"\n", 1)
        return line

    def _fail(self, fields, error):
        """Ends the agent that failed the request FIELDS, and raises: Wine's
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
        raise RegistryAgentError(f"the registry agent gave no answer to {fields!r}: {error} (exit status {status}); "
                                 f"its standard error:\n{lines}") from error
