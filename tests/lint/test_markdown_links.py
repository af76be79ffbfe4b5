#!/usr/bin/python3
"""The Markdown link check against a small tree of its own: what it must
find broken, and what it must let pass."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import markdown_links  # noqa: E402

GUIDE = """# A guide

## fontctl.exe or fontctl-utf8.exe

## Install, `1` and 2

## Twice

## Twice

```
[in a fence](missing.md)
```
"""


class MarkdownLinksTest(unittest.TestCase):
    def check(self, readme):
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "docs"))
            with open(os.path.join(root, "docs", "guide.md"), "w", encoding="utf-8") as file:
                file.write(GUIDE)
            with open(os.path.join(root, "README.md"), "w", encoding="utf-8") as file:
                file.write(readme)
            # A build folder's Markdown is not the project's.
            os.makedirs(os.path.join(root, "build"))
            with open(os.path.join(root, "build", "x.md"), "w", encoding="utf-8") as file:
                file.write("[x](nowhere.md)\n")
            return markdown_links.check(root)

    def test_links_that_lead_somewhere_pass(self):
        self.assertEqual(
            self.check(
                "[guide](docs/guide.md) [p](docs/guide.md#fontctlexe-or-fontctl-utf8exe)\n"
                "[q](docs/guide.md#install-1-and-2) [r](docs/guide.md#twice-1) [s](docs/)\n"
                "[self](#readme) [web](https://example.org/x.md) `[code](missing.md)`\n"
                "[ref]: docs/guide.md#twice\n"
                "# Readme\n"
            ),
            [],
        )

    def test_links_that_lead_nowhere_are_named(self):
        cases = [
            ("[a](docs/missing.md)", "no such file or folder"),
            ("[a](docs/guide.md#no-such-heading)", "no such heading"),
            ("[a](docs/guide.md#twice-2)", "no such heading"),
            ("[a](#elsewhere)", "no such heading"),
            ("[a]: ../outside.md", "no such file or folder"),
        ]
        for line, why in cases:
            with self.subTest(line=line):
                failures = self.check(line + "\n")
                self.assertEqual(len(failures), 1, failures)
                self.assertTrue(failures[0].startswith("README.md:1: ") and failures[0].endswith(why), failures)


if __name__ == "__main__":
    unittest.main()
