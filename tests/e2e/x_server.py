"""An Xvfb X server of the run's own: Wine creates no window without one."""
import ctypes
import os
import select
import signal
import subprocess
import time

_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    # Should the harness be killed outright, the X server goes with it.
    ctypes.CDLL(None, use_errno=True).prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)


def _read_display_number(read_end, timeout):
    """Xvfb writes the display number, then a line end, once it accepts
    clients. The pipe stays open until the line end: Xvfb gives up when it
    cannot write it."""
    text = b""
    deadline = time.monotonic() + timeout
    while not text.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
        chunk = os.read(read_end, 64) if ready else b""
        if not chunk:
            break
        text += chunk
    return text.decode().strip()


class XServer:
    """Starts Xvfb on a display that no other server uses (it picks one itself
    and tells us which), and stops it."""

    def __init__(self, log_path, start_timeout=30):
        read_end, write_end = os.pipe()
        with open(log_path, "wb") as log:
            self._process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0", "640x480x24"],
                stdin=subprocess.DEVNULL,
                stdout=log,
                stderr=subprocess.STDOUT,
                pass_fds=(write_end,),
                preexec_fn=_die_with_parent,
            )
        os.close(write_end)
        try:
            number = _read_display_number(read_end, start_timeout)
        finally:
            os.close(read_end)
        if not number.isdigit():
            self.stop()
            raise RuntimeError(f"Xvfb did not start; see {log_path}")
        self.display = f":{number}"

    def stop(self):
        if self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
