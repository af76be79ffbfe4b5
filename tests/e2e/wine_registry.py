"""The current user's registry of a Wine prefix, through Wine's own `reg`."""


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
    def __init__(self, reg):
        # reg(*args) runs `reg ARGS` in the prefix and returns its Outcome.
        self._reg = reg

    def read_value(self, key, name):
        """(kind, data) of the value NAME under HKCU\\KEY, or None."""
        outcome = self._reg("query", "HKCU\\" + key, "/v", name)
        if outcome.status != 0:
            return None
        return parse_query(outcome.stdout.decode(), name)

    def write_value(self, key, name, kind, data):
        outcome = self._reg("add", "HKCU\\" + key, "/v", name, "/t", kind, "/d", str(data), "/f")
        if outcome.status != 0:
            raise RegistryError(f"reg failed: {outcome}")

    def delete_value(self, key, name):
        """Deletes the value, if it is there."""
        outcome = self._reg("delete", "HKCU\\" + key, "/v", name, "/f")
        if outcome.status != 0 and self.read_value(key, name) is not None:
            raise RegistryError(f"reg failed: {outcome}")

    def delete_key(self, key):
        """Deletes HKCU\\KEY and everything under it, if it is there."""
        outcome = self._reg("delete", "HKCU\\" + key, "/f")
        if outcome.status != 0 and self._reg("query", "HKCU\\" + key).status == 0:
            raise RegistryError(f"reg failed: {outcome}")
