"""Builds the ja_JP.UTF-8 locale into a folder of the run's own, so that Wine
can run with code page 932 without touching the system's locales."""
import os
import subprocess

from wine_prefix import JAPANESE


def build_japanese_locale(locale_dir):
    os.makedirs(locale_dir, exist_ok=True)
    result = subprocess.run(
        ["localedef", "-i", "ja_JP", "-f", "UTF-8", os.path.join(locale_dir, JAPANESE)],
        capture_output=True, timeout=120, check=False)
    # localedef exits with 1 for mere warnings; the locale is there all the same.
    if result.returncode > 1 or not os.path.isdir(os.path.join(locale_dir, JAPANESE)):
        raise RuntimeError(f"localedef failed ({result.returncode}): {result.stderr.decode(errors='replace')}")
