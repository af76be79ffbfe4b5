"""The current user's registry on Windows, through the winreg module: exact
text, where `reg query` would print names in the console's code page."""

# The kinds of value the cases read and write, by the names `reg` uses.
KINDS = ("REG_SZ", "REG_EXPAND_SZ", "REG_DWORD")


class WindowsRegistry:
    def __init__(self, winreg):
        self._winreg = winreg

    def read_value(self, key, name):
        """(kind, data) of the value NAME under HKCU\\KEY, or None."""
        winreg = self._winreg
        try:
            with winreg.OpenKey(winreg.HKEY_CURRENT_USER, key) as handle:
                data, kind = winreg.QueryValueEx(handle, name)
        except FileNotFoundError:
            return None
        kinds = {getattr(winreg, kind_name): kind_name for kind_name in KINDS}
        return kinds.get(kind, f"kind {kind}"), str(data)

    def write_value(self, key, name, kind, data):
        winreg = self._winreg
        with winreg.CreateKeyEx(winreg.HKEY_CURRENT_USER, key, 0, winreg.KEY_SET_VALUE) as handle:
            winreg.SetValueEx(handle, name, 0, getattr(winreg, kind), int(data) if kind == "REG_DWORD" else data)

    def delete_value(self, key, name):
        """Deletes the value, if it is there."""
        winreg = self._winreg
        try:
            with winreg.OpenKey(winreg.HKEY_CURRENT_USER, key, 0, winreg.KEY_SET_VALUE) as handle:
                winreg.DeleteValue(handle, name)
        except FileNotFoundError:
            pass

    def delete_key(self, key):
        """Deletes HKCU\\KEY and everything under it, if it is there."""
        winreg = self._winreg
        try:
            with winreg.OpenKey(winreg.HKEY_CURRENT_USER, key) as handle:
                subkeys = [winreg.EnumKey(handle, index) for index in range(winreg.QueryInfoKey(handle)[0])]
        except FileNotFoundError:
            return
        for subkey in subkeys:
            self.delete_key(key + "\\" + subkey)
        winreg.DeleteKey(winreg.HKEY_CURRENT_USER, key)
