"""The registry of a Wine prefix through one long-lived helper,
helpers/registry_agent.c (a serving_process.ServingProcess): a read or
write costs a line each way instead of a start of reg.exe."""
import re

from serving_process import TIMEOUT, ServingProcess
from wine_registry import RegistryError

# What the agent reads and writes in a field: tabs part the fields, lines
# part the requests.
_ESCAPES = {"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"}
_UNESCAPES = {"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}
_ESCAPED = re.compile(r"\\(.)")


class RegistryAgentError(RegistryError):
    """The agent ended or fell silent: no answer to the request."""


def encode_request(fields):
    return ("\t".join("".join(_ESCAPES.get(c, c) for c in field) for field in fields) + "\n").encode()


def decode_answer(line):
    """The fields of one answer line (bytes, without its line feed)."""
    return [_ESCAPED.sub(lambda match: _UNESCAPES[match.group(1)], field) for field in line.decode().split("\t")]


class RegistryAgent(ServingProcess):
    Error = RegistryAgentError

    def __init__(self, command, env, cwd, log_path, timeout=TIMEOUT):
        # Every request sets, or reads, the same thing again when made twice.
        super().__init__("the registry agent", command, env, cwd, log_path, timeout, repeatable=True)

    def ask(self, *fields):
        """The fields of the agent's answer to the request FIELDS."""
        return decode_answer(self.exchange(encode_request(fields), fields))
