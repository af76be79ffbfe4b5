"""The current user's registry of a Wine prefix: through a registry agent
(registry_agent.py) where one is given, and through Wine's own `reg` for
what the agent does not serve."""

# The kinds of value the agent reads and writes as reg does.
AGENT_KINDS = ("REG_SZ", "REG_EXPAND_SZ", "REG_DWORD")


class RegistryError(RuntimeError):
    pass


def parse_query(text, name):
    """(kind, data) of the value NAME in what `reg query KEY /v NAME`
    printed, or None when it lists no such value."""
    for line in text.splitlines():
        fields = line.strip().split("    ", 2)
        if len(fields) == 3 and fields[0] == name:
            return fields[1], fields[2]
        if len(fields) == 2 and fields[0] == name:
            return fields[1], ""  # an empty string value
    return None


class WineRegistry:
    def __init__(self, reg, agent=None):
        # reg(*args) runs `reg ARGS` in the prefix and returns its Outcome;
        # agent.ask(*fields) answers as helpers/registry_agent.c.
        self._reg = reg
        self._agent = agent

    def read_value(self, key, name):
        """(kind, data) of the value NAME under HKCU\\KEY, or None. The
        data as reg shows it: a DWORD as 0x1f."""
        if self._agent is not None:
            answer = self._agent.ask("read", key, name)
            if answer[0] == "value":
                return answer[1], answer[2]
            if answer[0] == "absent":
                return None
            # A kind of value that reg shows in its own way, or a failure
            # that reg is to report.
        outcome = self._reg("query", "HKCU\\" + key, "/v", name)
        if outcome.status != 0:
            return None
        return parse_query(outcome.stdout.decode(), name)

    def write_value(self, key, name, kind, data):
        """Sets the value, making the key and those above it as needed; DATA
        as `reg add /d` takes it."""
        if self._agent is not None and kind in AGENT_KINDS:
            self._agent_change("write", key, name, kind, str(data))
            return
        outcome = self._reg("add", "HKCU\\" + key, "/v", name, "/t", kind, "/d", str(data), "/f")
        if outcome.status != 0:
            raise RegistryError(f"reg failed: {outcome}")

    def delete_value(self, key, name):
        """Deletes the value, if it is there."""
        if self._agent is not None:
            self._agent_change("delete-value", key, name)
            return
        outcome = self._reg("delete", "HKCU\\" + key, "/v", name, "/f")
        if outcome.status != 0 and self.read_value(key, name) is not None:
            raise RegistryError(f"reg failed: {outcome}")

    def delete_key(self, key):
        """Deletes HKCU\\KEY and everything under it, if it is there."""
        if self._agent is not None:
            self._agent_change("delete-key", key)
            return
        outcome = self._reg("delete", "HKCU\\" + key, "/f")
        if outcome.status != 0 and self._reg("query", "HKCU\\" + key).status == 0:
            raise RegistryError(f"reg failed: {outcome}")

    def _agent_change(self, *request):
        answer = self._agent.ask(*request)
        if answer != ["done"]:
            raise RegistryError(f"the registry agent refused {request!r}: {answer!r}")
