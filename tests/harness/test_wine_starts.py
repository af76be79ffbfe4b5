"""How the harness starts Windows programs, shown with a stand-in `wine` on
PATH that fails to start on the starts it is told to and plays the launcher:
what is reported as Wine's failure and never as the program's answer, what is
the program's own answer, and how the launcher's report becomes the outcome
of a run.

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
from fontctl_runner import FontctlRunner, LauncherError, read_report  # noqa: E402
from wine_prefix import WinePrefix, windows_path  # noqa: E402

WINE_START = os.path.join(HERE, "..", "..", "scripts", "wine_start.py")
START_FAILURE = "0024:err:virtual:virtual_alloc_first_teb wine: failed to map the shared user data: c0000018"
CLIENT_ERROR = "wine client error:0: recvmsg: Connection reset by peer\n"


class StandInCase(unittest.TestCase):
    def setUp(self):
        self.state = tempfile.mkdtemp(prefix="wine-starts-")
        self.addCleanup(shutil.rmtree, self.state)
        self.env = {k: v for k, v in os.environ.items() if k != "WINEDEBUG" and not k.startswith("E2E_")}
        self.env.update(PATH=os.path.join(HERE, "stand-in") + os.pathsep + os.environ["PATH"],
                        STAND_IN_STATE=self.state)
        open(os.path.join(self.state, "starts"), "wb").close()

    def starts(self):
        """Each start: WINEDEBUG, the arguments, E2E_STDOUT,
        E2E_COMMAND_LINE_UTF8, and "report" when E2E_REPORT was set."""
        with open(os.path.join(self.state, "starts")) as file:
            return [line.rstrip("\n").split("|") for line in file]

    def stand_in(self, **variables):
        return dict(self.env, **{f"STAND_IN_{name.upper()}": str(value) for name, value in variables.items()})


class RunTest(StandInCase):
    def run_program(self, **stand_in):
        with tempfile.TemporaryFile() as stdout:
            finished = wine_start.run(["wine", "program.exe", "10"], env=self.stand_in(**stand_in), stdout=stdout)
            stdout.seek(0)
            return finished, stdout.read()

    def test_the_program_answers_for_itself(self):
        cases = [
            # name, exit status and standard error of the program
            ("a clean run", 0, ""),
            ("an ordinary exit status 1 is the program's", 1, ""),
            ("Wine's other errors are the program's business", 1, "0024:err:module:x not found\n"),
        ]
        for name, status, said in cases:
            with self.subTest(name):
                open(os.path.join(self.state, "starts"), "wb").close()
                finished, stdout = self.run_program(status=status, say=said)
                self.assertEqual((finished.status, finished.stderr), (status, said.encode()))
                self.assertEqual(stdout, b"ran program.exe 10\n")
                self.assertEqual(len(self.starts()), 1, "started once")

    def test_wine_failures_are_never_a_result(self):
        cases = [
            # name, stand-in settings, the line Wine's failure is known by
            ("Wine could not map its shared user data", {"failing_starts": "1"}, START_FAILURE),
            ("the wineserver connection broke", {"say": CLIENT_ERROR, "status": 1}, CLIENT_ERROR),
            # A caller ran, but a program it started inside Wine did not.
            ("a start inside the program failed", {"say": START_FAILURE + "\n", "status": 0}, START_FAILURE),
        ]
        for name, stand_in, line in cases:
            with self.subTest(name):
                open(os.path.join(self.state, "starts"), "wb").close()
                with self.assertRaises(wine_start.WineStartError) as raised:
                    self.run_program(**stand_in)
                self.assertIn("Wine could not start the program", str(raised.exception))
                self.assertIn(line.strip(), str(raised.exception))
                self.assertEqual(len(self.starts()), 1, "never started again")

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
        return subprocess.run([sys.executable, WINE_START, "wine", "program.exe", "1", "a b"],
                              env=self.stand_in(**stand_in), capture_output=True, check=False)

    def test_passes_the_program_through(self):
        result = self.run_command(status=4, say="a notice\n")
        self.assertEqual((result.returncode, result.stdout), (4, b"ran program.exe 1 a b\n"))
        self.assertTrue(result.stderr.endswith(b"a notice\n"), result.stderr)

    def test_wine_failure_exits_125(self):
        result = self.run_command(failing_starts="1")
        self.assertEqual((result.returncode, result.stdout), (wine_start.WINE_FAILED_STATUS, b""))
        self.assertIn(b"Wine could not start the program", result.stderr)
        self.assertIn(START_FAILURE.encode(), result.stderr)


class _Prefix(WinePrefix):
    """A prefix whose environment puts the stand-in wine on PATH."""

    def __init__(self, env):  # noqa: super().__init__ would name a real prefix
        self._stand_in_env = env

    def env(self, locale=None):
        return self._stand_in_env


class RunnerTest(StandInCase):
    """The outcome of a run is what the launcher reported: the program's exit
    status and each broadcast with its parameters, and the exact bytes the
    program wrote."""

    def runner(self, **stand_in):
        return FontctlRunner(_Prefix(self.stand_in(**stand_in)), "e2e_launcher.exe", self.state)

    def test_the_report_is_the_outcome(self):
        cases = [
            # name, status in the report, broadcasts in the report, expected broadcasts
            ("none", 0, "", ()),
            ("one", 0, "0 0", ((0, 0),)),
            ("two", 0, "0 0;0 0", ((0, 0), (0, 0))),
            ("parameters kept", 0, "1 2;0 -1", ((1, 2), (0, -1))),
            ("a status beyond a byte", 3221225477, "0 0", ((0, 0),)),
        ]
        for name, status, broadcasts, expected in cases:
            with self.subTest(name):
                # The launcher's own exit status is cut to a byte by Unix;
                # the report holds the whole of it.
                outcome = self.runner(status=status, broadcasts=broadcasts, exit=status % 256).run(
                    "/opt/a b/fontctl.exe", ["1", "x"], self.state)
                self.assertEqual((outcome.status, outcome.broadcasts), (status, expected))
                self.assertEqual(outcome.stdout, b"ran Z:\\opt\\a b\\fontctl.exe 1 x\n")

    def test_no_report_is_no_answer(self):
        for name, stand_in in (("no report", {"no_report": 1, "exit": 255}),
                               ("Wine failed to start the launcher", {"failing_starts": "1"})):
            with self.subTest(name):
                open(os.path.join(self.state, "starts"), "wb").close()
                with self.assertRaises((LauncherError, wine_start.WineStartError)):
                    self.runner(**stand_in).run("fontctl.exe", ["10"], self.state)
                self.assertEqual(os.listdir(self.state), ["starts"], "scratch files left behind")

    def test_broken_reports_are_refused(self):
        for report in (b"", b"status 0", b"status 0\nfontchange 0 0", b"status 0\nfence 1 0\n",
                       b"fontchange 0 0\nstatus 0\n", b"status 0\r\n"):
            with self.subTest(report=report):
                with self.assertRaises(LauncherError):
                    read_report(report)

    def test_run_hands_the_launcher_the_program_and_its_arguments(self):
        cases = [
            # program and arguments given, arguments the launcher gets
            (("/opt/x/fontctl.exe", ["1", "a b", ""]), ["Z:\\opt\\x\\fontctl.exe", "1", "a b", ""]),
            (("cmd", ["/c", "install.cmd"]), ["cmd", "/c", "install.cmd"]),
        ]
        for (program, args), expected in cases:
            with self.subTest(program):
                open(os.path.join(self.state, "starts"), "wb").close()
                self.runner().run(program, args, self.state)
                (_, arguments, stdout_mode, utf8, report), = self.starts()
                self.assertEqual(arguments, " ".join(["e2e_launcher.exe", *expected]))
                self.assertEqual((stdout_mode, utf8, report), ("", "", "report"))

    def test_launch_hands_over_the_exact_command_line(self):
        cases = [
            # name, command line, stdout mode, the bytes the program gets, the launcher's variables
            ("bytes", b'fontctl.exe "a b" \x95\\ \t\r\n', "inherit", b'fontctl.exe "a b" \x95\\ \t\r\n', ["", ""]),
            ("characters", "fontctl.exe 1 \u8868.ttf", "inherit", "fontctl.exe 1 \u8868.ttf".encode(), ["", "1"]),
            ("no standard output", b"fontctl.exe 10", "none", b"fontctl.exe 10", ["none", ""]),
        ]
        for name, command_line, stdout_mode, received, variables in cases:
            with self.subTest(name):
                open(os.path.join(self.state, "starts"), "wb").close()
                outcome = self.runner().launch("/opt/x/fontctl.exe", command_line, self.state, stdout=stdout_mode)
                self.assertEqual(outcome.stdout, b"ran " + received)
                (_, arguments, *launcher_variables, report), = self.starts()
                self.assertEqual(arguments, "e2e_launcher.exe " + windows_path("/opt/x/fontctl.exe"))
                self.assertEqual((launcher_variables, report), (variables, "report"))
                self.assertEqual(os.listdir(self.state), ["starts"], "scratch files left behind")


class FileSizeLimitTest(StandInCase):
    def test_a_write_past_the_limit_fails_and_the_program_goes_on(self):
        # The limit given, and the bytes of a 4096-byte write that land.
        for limit, written in ((None, 4096), (1024, 1024)):
            with self.subTest(limit=limit):
                prefix = _Prefix(self.stand_in(write=4096))
                prefix.file_size_limit = limit
                finished = prefix.start(["program.exe"], env=prefix.env(), cwd=self.state, stdout=subprocess.DEVNULL,
                                        timeout=60)
                self.assertEqual(finished.status, 0, finished.stderr)
                self.assertEqual(os.path.getsize(os.path.join(self.state, "written")), written)


if __name__ == "__main__":
    unittest.main()
