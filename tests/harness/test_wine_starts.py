"""How the harness starts Windows programs, shown with a stand-in `wine` on
PATH that fails to start on the starts it is told to: what is started again,
what is reported as Wine's failure, what is the program's own answer, that
broadcasts before a failed fence are never counted for the next command, and
when a step of an example caller runs again.

Usage: test_wine_starts.py (no Wine needed)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(HERE, "..", "..", "scripts"), os.path.join(HERE, "..", "e2e")]

import wine_start  # noqa: E402
from broadcast_listener import BroadcastListener  # noqa: E402
from caller_case import again_while_an_inner_start_fails  # noqa: E402
from fontctl_runner import FontctlRunner  # noqa: E402

WINE_START = os.path.join(HERE, "..", "..", "scripts", "wine_start.py")
START_FAILURE = "0024:err:virtual:virtual_alloc_first_teb wine: failed to map the shared user data: c0000018"


class StandInCase(unittest.TestCase):
    def setUp(self):
        self.state = tempfile.mkdtemp(prefix="wine-starts-")
        self.addCleanup(shutil.rmtree, self.state)
        self.log = os.path.join(self.state, "broadcasts.log")
        self.env = {k: v for k, v in os.environ.items() if k != "WINEDEBUG"}
        self.env.update(PATH=os.path.join(HERE, "stand-in") + os.pathsep + os.environ["PATH"],
                        STAND_IN_STATE=self.state, STAND_IN_LOG=self.log)
        open(os.path.join(self.state, "starts"), "wb").close()

    def starts(self):
        with open(os.path.join(self.state, "starts")) as file:
            return [line.rstrip("\n").split("|", 1) for line in file]

    def run_program(self, **stand_in):
        env = dict(self.env, **{f"STAND_IN_{name.upper()}": str(value) for name, value in stand_in.items()})
        with tempfile.TemporaryFile() as stdout:
            finished = wine_start.run(["wine", "program.exe", "10"], env=env, stdout=stdout)
            stdout.seek(0)
            return finished, stdout.read()


class RunTest(StandInCase):
    def test_started_again_only_after_wine_failed_to_start(self):
        cases = [
            # name, failing starts, status and stderr of the run, expected tries
            ("first start runs", "", 0, "", 1),
            ("one failure", "1", 0, "", 2),
            ("two failures", "1 2", 3, "", 3),
            ("an ordinary exit status 1 is the program's", "", 1, "", 1),
            ("Wine's other errors are the program's business", "", 1, "0024:err:module:x not found\n", 1),
        ]
        for name, failing, status, said, tries in cases:
            with self.subTest(name):
                open(os.path.join(self.state, "starts"), "wb").close()
                finished, stdout = self.run_program(failing_starts=failing, status=status, say=said)
                self.assertEqual((finished.status, finished.tries), (status, tries))
                self.assertEqual(finished.stderr, said.encode())
                self.assertEqual(stdout, b"ran program.exe 10\n", "the program ran exactly once")
                self.assertEqual(len(self.starts()), tries)

    def test_wine_failures_are_never_a_result(self):
        cases = [
            # name, failing starts, what the last start says, retry, starts made
            ("every start fails", "1 2 3", "", True, 3),
            ("the wineserver connection broke", "", "wine client error:0: recvmsg: Connection reset by peer\n",
             True, 1),
            # A batch script or installer ran, though a program it started did not.
            ("a command that must not be started again", "1", "", False, 1),
        ]
        for name, failing, said, retry, starts in cases:
            with self.subTest(name):
                open(os.path.join(self.state, "starts"), "wb").close()
                env = dict(self.env, STAND_IN_FAILING_STARTS=failing, STAND_IN_SAY=said, STAND_IN_STATUS="1")
                with self.assertRaises(wine_start.WineStartError) as raised:
                    wine_start.run(["wine", "program.exe"], env=env, stdout=subprocess.DEVNULL, retry=retry)
                self.assertIn("Wine could not start the program", str(raised.exception))
                self.assertIn((said or START_FAILURE).strip(), str(raised.exception))
                self.assertEqual(len(self.starts()), starts)

    def test_start_up_errors_are_shown_and_the_rest_stays_as_quiet(self):
        for given, expected in ((None, "-all,err+virtual"), ("-all", "-all,err+virtual"),
                                ("warn+font", "warn+font,err+virtual"), ("-all,err+virtual", "-all,err+virtual")):
            with self.subTest(given=given):
                open(os.path.join(self.state, "starts"), "wb").close()
                env = dict(self.env) if given is None else dict(self.env, WINEDEBUG=given)
                wine_start.run(["wine", "program.exe"], env=env, stdout=subprocess.DEVNULL)
                self.assertEqual(self.starts()[0][0], expected)


class CommandLineTest(StandInCase):
    def run_command(self, **stand_in):
        env = dict(self.env, **{f"STAND_IN_{name.upper()}": str(value) for name, value in stand_in.items()})
        return subprocess.run([sys.executable, WINE_START, "wine", "program.exe", "1", "a b"], env=env,
                              capture_output=True, check=False)

    def test_passes_the_program_through(self):
        result = self.run_command(failing_starts="1", status=4, say="a notice\n")
        self.assertEqual((result.returncode, result.stdout), (4, b"ran program.exe 1 a b\n"))
        self.assertTrue(result.stderr.endswith(b"a notice\n"), result.stderr)

    def test_wine_failure_exits_125(self):
        result = self.run_command(failing_starts="1 2 3")
        self.assertEqual((result.returncode, result.stdout), (wine_start.WINE_FAILED_STATUS, b""))
        self.assertIn(b"Wine could not start the program", result.stderr)
        self.assertIn(START_FAILURE.encode(), result.stderr)


class CallerStepTest(StandInCase):
    """A caller (a batch script, an installer) is started once per step; the
    message of a failed start inside it makes the whole step run again."""

    def step(self, failing, said=""):
        open(os.path.join(self.state, "starts"), "wb").close()
        env = dict(self.env, STAND_IN_FAILING_STARTS=failing, STAND_IN_SAY=said)
        return again_while_an_inner_start_fails(
            lambda: wine_start.run(["wine", "cmd", "/c", "step.cmd"], env=env, stdout=subprocess.DEVNULL,
                                   retry=False))

    def test_step_runs_again_after_an_inner_start_failed(self):
        for failing, steps in (("", 1), ("1", 2), ("1 2", 3)):
            with self.subTest(failing=failing):
                self.assertEqual(self.step(failing).status, 0)
                self.assertEqual(len(self.starts()), steps)

    def test_wine_failures_fail_the_step(self):
        for name, failing, said, steps in (
                ("every run of the step fails", "1 2 3", "", 3),
                ("the wineserver connection broke", "", "wine client error:0: recvmsg: Connection reset by peer\n",
                 1)):
            with self.subTest(name):
                with self.assertRaises(wine_start.WineStartError):
                    self.step(failing, said)
                self.assertEqual(len(self.starts()), steps)


class _Prefix:
    def __init__(self, env):
        self._env = env

    def env(self, locale=None):
        return self._env


class FenceTest(StandInCase):
    """The listener counts the broadcasts before each fence; when a fence
    fails, the broadcasts before it must not reach the next command's count."""

    def listening(self, **stand_in):
        # A new log: the listener must not be taken as ready on an old one.
        if os.path.exists(self.log):
            os.remove(self.log)
        env = dict(self.env, **{f"STAND_IN_{name.upper()}": str(value) for name, value in stand_in.items()})
        listener = BroadcastListener(_Prefix(env), "e2e_listener.exe", "e2e_fence.exe", self.log,
                                     os.path.join(self.state, "listener.err"), timeout=5)
        self.addCleanup(listener.stop)
        self.addCleanup(listener._process.kill)
        runner = FontctlRunner(_Prefix(env), listener, "e2e_launcher.exe", self.state)
        return listener, runner

    def test_broadcasts_of_a_failed_command_are_dropped(self):
        # Fence 1 follows the listener's start; fence 2 follows the first command.
        for name, stand_in, first_run, error in (
                ("the fence exits with a failure", {"failing_fences": "2"}, {}, RuntimeError),
                ("Wine never starts the fence", {"failing_starts": "4 5 6"}, {}, wine_start.WineStartError),
                ("a caller broadcast, then a start inside it failed", {},
                 {"env": {"STAND_IN_SAY": START_FAILURE}, "retry": False}, wine_start.WineStartError)):
            with self.subTest(name):
                open(os.path.join(self.state, "starts"), "wb").close()
                listener, runner = self.listening(**stand_in)
                with self.assertRaises(error):
                    runner.run("broadcaster.exe", ["2"], self.state, **first_run)
                self.assertEqual(runner.run("broadcaster.exe", ["1"], self.state).broadcasts, ((0, 0),))
                self.assertEqual(runner.run("broadcaster.exe", ["0"], self.state).broadcasts, ())
                listener._process.kill()

    def test_the_listener_is_started_again(self):
        listener, runner = self.listening(failing_starts="1")
        self.assertEqual(runner.run("broadcaster.exe", ["3"], self.state).broadcasts, ((0, 0),) * 3)
        self.assertEqual([args.split(" ")[0] for _, args in self.starts()[:3]],
                         ["e2e_listener.exe", "e2e_listener.exe", "e2e_fence.exe"])


if __name__ == "__main__":
    unittest.main()
