"""The registry of a Wine session through its registry agent
(helpers/registry_agent.c), against a real prefix: every kind and awkward
names and data go through it and back, it reads what reg.exe reads and reg.exe
what it wrote, missing and deleted things are as reg.exe has them, and a new
agent answers after the session's server was killed. Without Wine, an agent
that ends or falls silent raises, and never hangs.

Usage: test_registry_agent.py BUILD_DIR (the Windows build, with its helpers)
"""
import concurrent.futures
import os
import shutil
import signal
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(HERE, "..", "..", "scripts"), os.path.join(HERE, "..", "e2e")]

from registry_agent import RegistryAgent, RegistryAgentError, decode_answer, encode_request  # noqa: E402
from wine_registry import RegistryError, WineRegistry  # noqa: E402
from wine_session import WineSession  # noqa: E402

KEY = r"Software\fontctl harness\agent"
# Names and string data that a line-based exchange could get wrong.
AWKWARD = [
    "",
    "plain",
    "two words",
    'say "hi"',
    "a=b",
    "%TEMP%\\x",
    "C:\\a folder\\b\\",
    "\\\\server\\share",
    "a & b | c > d",
    "tab\there",
    "line\nbreak\r\n",
    "Ünïcødé 日本 Шрифт",
    "  leading and trailing  ",
    "four    spaces",
    "back\\tslash-t",
]

BUILD_DIR = None
SESSION = None


def setUpModule():
    global SESSION
    SESSION = WineSession(BUILD_DIR).__enter__()


def tearDownModule():
    SESSION.__exit__(None, None, None)


def shown_by_reg(text):
    """Whether reg query shows TEXT as it is: its output is in the OEM code
    page, its lines are split at four spaces and stripped."""
    return text.isascii() and text.isprintable() and text == text.strip() and "    " not in text


class AgentCase(unittest.TestCase):
    def setUp(self):
        self.agent = SESSION.registry
        # The same prefix through reg.exe alone.
        self.reg = WineRegistry(lambda *args: SESSION.runner.run_tool("reg", args, SESSION.work))
        self.addCleanup(self.reg.delete_key, KEY.rsplit("\\", 1)[0])


class RoundTripTest(AgentCase):
    def test_each_kind(self):
        cases = [
            # kind, data written, data read
            ("REG_SZ", "x", "x"),
            ("REG_SZ", "", ""),
            ("REG_EXPAND_SZ", "%TEMP%\\fonts", "%TEMP%\\fonts"),  # not expanded
            ("REG_DWORD", 1, "0x1"),
            ("REG_DWORD", "0", "0x0"),
            ("REG_DWORD", "0x1F", "0x1f"),
            ("REG_DWORD", "010", "0xa"),  # decimal, as reg takes it
            ("REG_DWORD", 4294967295, "0xffffffff"),
            ("REG_DWORD", "", "0x0"),
        ]
        for kind, written, read in cases:
            with self.subTest(kind=kind, data=written):
                self.agent.write_value(KEY, "value", kind, written)
                self.assertEqual(self.agent.read_value(KEY, "value"), (kind, read))
                if shown_by_reg(read):
                    self.assertEqual(self.reg.read_value(KEY, "value"), (kind, read), "what reg.exe shows")
                # And what reg.exe writes, the agent reads.
                self.reg.write_value(KEY, "by reg", kind, written)
                self.assertEqual(self.agent.read_value(KEY, "by reg"), (kind, read))

    def test_awkward_names_and_data(self):
        for text in AWKWARD:
            for kind in ("REG_SZ", "REG_EXPAND_SZ"):
                with self.subTest(text=text, kind=kind):
                    name = text or "empty data"
                    self.agent.write_value(KEY, name, kind, text)
                    self.assertEqual(self.agent.read_value(KEY, name), (kind, text))
                    if shown_by_reg(name) and shown_by_reg(text):
                        self.assertEqual(self.reg.read_value(KEY, name), (kind, text), "what reg.exe shows")
                    self.agent.delete_value(KEY, name)
                    self.assertIsNone(self.agent.read_value(KEY, name))
                    self.assertIsNone(self.reg.read_value(KEY, name))

    def test_reads_what_reg_wrote(self):
        # reg.exe takes its arguments as Unicode but shows values in the
        # OEM code page: the non-ASCII ones go one way only.
        for text in AWKWARD:
            if "\n" in text or "\r" in text:
                continue  # no command line carries them to reg.exe
            with self.subTest(text=text):
                self.reg.write_value(KEY, text or "empty data", "REG_SZ", text)
                self.assertEqual(self.agent.read_value(KEY, text or "empty data"), ("REG_SZ", text))

    def test_refused_writes_raise_as_with_reg(self):
        for data in ("-1", "1a", "0x", "4294967296", "0x100000000"):
            with self.subTest(data=data):
                with self.assertRaises(RegistryError):
                    self.agent.write_value(KEY, "number", "REG_DWORD", data)
                with self.assertRaises(RegistryError):
                    self.reg.write_value(KEY, "number", "REG_DWORD", data)
                self.assertIsNone(self.agent.read_value(KEY, "number"))

    def test_other_kinds_go_through_reg(self):
        cases = [
            ("REG_BINARY", "0aff", ("REG_BINARY", "0AFF")),
            ("REG_MULTI_SZ", "one\\0two", ("REG_MULTI_SZ", "one\\0two")),
        ]
        for kind, data, read in cases:
            with self.subTest(kind=kind):
                self.agent.write_value(KEY, kind, kind, data)
                self.assertEqual(self.agent.read_value(KEY, kind), read)
                self.assertEqual(self.agent.read_value(KEY, kind), self.reg.read_value(KEY, kind))


class MissingTest(AgentCase):
    def test_missing_values_and_keys_read_none(self):
        self.agent.write_value(KEY, "there", "REG_SZ", "x")
        for key, name in [(KEY, "not there"), (KEY + "\\no such key", "there"), (r"No\Such\Key", "x")]:
            with self.subTest(key=key, name=name):
                self.assertIsNone(self.agent.read_value(key, name))
                self.assertIsNone(self.reg.read_value(key, name))

    def test_deleting_what_is_not_there(self):
        self.agent.write_value(KEY, "there", "REG_SZ", "x")
        self.agent.delete_value(KEY, "not there")
        self.agent.delete_value(KEY + "\\no such key", "x")
        self.agent.delete_key(KEY + "\\no such key")
        self.assertEqual(self.agent.read_value(KEY, "there"), ("REG_SZ", "x"))

    def test_a_key_goes_with_everything_under_it(self):
        self.agent.write_value(KEY + r"\deeper\deepest", "a", "REG_DWORD", 5)
        self.agent.write_value(KEY, "b", "REG_SZ", "y")
        self.agent.write_value(KEY + " sibling", "c", "REG_SZ", "z")
        self.addCleanup(self.agent.delete_key, KEY + " sibling")
        self.assertEqual(self.reg.read_value(KEY + r"\deeper\deepest", "a"), ("REG_DWORD", "0x5"))
        self.agent.delete_key(KEY)
        self.assertIsNone(self.agent.read_value(KEY + r"\deeper\deepest", "a"))
        self.assertNotEqual(SESSION.runner.run_tool("reg", ["query", "HKCU\\" + KEY], SESSION.work).status, 0)
        self.assertEqual(self.agent.read_value(KEY + " sibling", "c"), ("REG_SZ", "z"), "a sibling key stays")


class ConcurrencyTest(AgentCase):
    def test_requests_from_several_threads(self):
        def round_trip(number):
            name = f"thread {number}"
            for data in range(20):
                self.agent.write_value(KEY, name, "REG_SZ", f"{number}:{data}")
                if self.agent.read_value(KEY, name) != ("REG_SZ", f"{number}:{data}"):
                    return False
            return True

        with concurrent.futures.ThreadPoolExecutor(4) as pool:
            self.assertEqual(list(pool.map(round_trip, range(4))), [True] * 4)


class RestartTest(AgentCase):
    def test_a_new_agent_after_the_session_restarts(self):
        agent = SESSION._registry_agent
        temp = SESSION.temp_folder()
        self.agent.write_value(KEY, "kept", "REG_SZ", "on disk")
        starts = agent.starts
        SESSION.restart_session()
        self.assertEqual(self.agent.read_value(KEY, "kept"), ("REG_SZ", "on disk"))
        self.assertEqual(agent.starts, starts + 1)
        self.assertEqual(SESSION.temp_folder(), temp)
        self.assertTrue(temp.is_dir(), temp)

    def test_a_new_agent_after_its_server_was_killed_unannounced(self):
        agent = SESSION._registry_agent
        self.agent.write_value(KEY, "kept", "REG_SZ", "on disk")
        starts = agent.starts
        SESSION.prefix.stop()
        SESSION.prefix.warm(os.path.join(SESSION.work, "wine.log"))
        self.assertEqual(self.agent.read_value(KEY, "kept"), ("REG_SZ", "on disk"))
        self.assertEqual(agent.starts, starts + 1)


class ExchangeTest(unittest.TestCase):
    """The agent's side, played by shell commands: no Wine."""

    def agent(self, script, timeout=5):
        log = tempfile.NamedTemporaryFile(prefix="registry-agent-", suffix=".log", delete=False)
        log.close()
        self.addCleanup(os.remove, log.name)
        agent = RegistryAgent(["sh", "-c", script], dict(os.environ), None, log.name, timeout=timeout)
        self.addCleanup(agent.stop)
        return agent

    def test_fields_escape_and_come_back(self):
        for fields in (["read", "a\\b", "c\td"], ["write", "k", "n", "REG_SZ", "x\ny\rz\\t"], ["x", ""]):
            with self.subTest(fields=fields):
                line = encode_request(fields)
                self.assertEqual(line.count(b"\n"), 1)
                self.assertTrue(line.endswith(b"\n"))
                self.assertEqual(decode_answer(line[:-1]), fields)

    def test_an_agent_that_ends_raises_with_what_it_said(self):
        agent = self.agent("read line; echo 'broken here' >&2; exit 3")
        with self.assertRaisesRegex(RegistryAgentError, "(?s)ended.*exit status 3.*broken here"):
            agent.ask("read", "k", "n")

    def test_a_silent_agent_raises_at_the_time_out(self):
        agent = self.agent("exec sleep 60", timeout=1)
        started = time.monotonic()
        with self.assertRaisesRegex(RegistryAgentError, "no answer in 1 s"):
            agent.ask("read", "k", "n")
        self.assertLess(time.monotonic() - started, 30)

    def test_an_agent_killed_between_requests_is_started_again(self):
        agent = self.agent("while read line; do echo \"done $$\"; done")
        first = agent.ask("delete-key", "k")
        os.kill(agent._process.pid, signal.SIGKILL)
        second = agent.ask("delete-key", "k")
        self.assertEqual(agent.starts, 2)
        self.assertNotEqual(first, second, "another process answered")

    def test_an_agent_that_fails_again_raises(self):
        # The first agent answers once and ends at the next request; the one
        # started in its place ends at that request too: no third.
        started = os.path.join(self.state(), "started")
        agent = self.agent(f"if [ -e {started} ]; then read line; exit 4; fi; touch {started}; "
                           "read line; echo done; read line; exit 4")
        self.assertEqual(agent.ask("delete-key", "k"), ["done"])
        with self.assertRaisesRegex(RegistryAgentError, "exit status 4"):
            agent.ask("delete-key", "k")
        self.assertEqual(agent.starts, 2)

    def state(self):
        folder = tempfile.mkdtemp(prefix="registry-agent-")
        self.addCleanup(shutil.rmtree, folder)
        return folder

if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    BUILD_DIR = sys.argv.pop(1)
    unittest.main()
