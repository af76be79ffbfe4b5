#!/usr/bin/python3
"""Checks the relative links of Markdown files: each must lead to a file or
folder that exists and, after a '#', to a heading of that file, as GitHub
names headings. Links with a scheme (https:, mailto:) are not followed.

Usage: markdown_links.py ROOT
Checks every .md file below ROOT, leaving out build folders and hidden ones,
and prints each broken link; the exit status is 1 when there is one.
"""
import os
import re
import sys
import unicodedata
import urllib.parse

FENCE = re.compile(r"^ {0,3}(`{3,}|~{3,})")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
# [text](target) and ![alt](target), the target up to white space or ')'.
INLINE_LINK = re.compile(r"!?\[(?:[^\]\\]|\\.)*\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE_DEFINITION = re.compile(r"^ {0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s.*)?$")
HEADING = re.compile(r"^ {0,3}(#{1,6})\s+(.*?)\s*#*\s*$")
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")


def prose_lines(text, blank_code_spans=True):
    """The lines outside fenced code blocks, with their inline code spans
    blanked unless asked not to, so that a link written as code is not taken
    for one."""
    fence = None
    for line in text.splitlines():
        opening = FENCE.match(line)
        if fence is None and opening:
            fence = opening.group(1)[0] * len(opening.group(1))
            continue
        if fence is not None:
            if line.strip().startswith(fence):
                fence = None
            continue
        yield CODE_SPAN.sub(lambda m: " " * len(m.group(0)), line) if blank_code_spans else line


def slug(heading):
    """The anchor GitHub gives a heading: its text as shown, in lower case,
    without punctuation but '-' and '_', spaces made hyphens."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading).replace("`", "").lower()
    kept = (c for c in text if c in " -" or unicodedata.category(c)[0] in "LMN" or unicodedata.category(c) == "Pc")
    return "".join(kept).replace(" ", "-")


def anchors(path):
    """The anchors of the headings of a Markdown file; a heading met again
    gets -1, -2 and so on, as on GitHub."""
    with open(path, encoding="utf-8") as file:
        text = file.read()
    seen = {}
    found = set()
    for line in prose_lines(text, blank_code_spans=False):
        match = HEADING.match(line)
        if not match:
            continue
        base = slug(match.group(2))
        count = seen.get(base, 0)
        seen[base] = count + 1
        found.add(base if count == 0 else f"{base}-{count}")
    return found


def links(text):
    for number, line in enumerate(prose_lines(text), start=1):
        definition = REFERENCE_DEFINITION.match(line)
        if definition:
            yield number, definition.group(1)
            continue
        for match in INLINE_LINK.finditer(line):
            yield number, match.group(1)


def broken_links(path):
    """(line, target, why) for each relative link of the file that leads
    nowhere."""
    with open(path, encoding="utf-8") as file:
        text = file.read()
    for number, target in links(text):
        if not target or SCHEME.match(target):
            continue
        location, _, fragment = target.partition("#")
        linked = os.path.normpath(os.path.join(os.path.dirname(path), urllib.parse.unquote(location))) if location else path
        if not os.path.exists(linked):
            yield number, target, "no such file or folder"
        elif fragment and (not linked.endswith(".md") or urllib.parse.unquote(fragment) not in anchors(linked)):
            yield number, target, "no such heading"


def markdown_files(root):
    for parent, folders, names in os.walk(root):
        folders[:] = sorted(name for name in folders if not name.startswith((".", "build")) and name != "node_modules")
        for name in sorted(names):
            if name.endswith(".md"):
                yield os.path.join(parent, name)


def check(root):
    """Messages for every broken link of the Markdown files below root."""
    return [
        f"{os.path.relpath(path, root)}:{number}: {target}: {why}"
        for path in markdown_files(root)
        for number, target, why in broken_links(path)
    ]


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    failures = check(argv[1])
    for failure in failures:
        print(failure)
    print(f"{len(list(markdown_files(argv[1])))} Markdown files, {len(failures)} broken links")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
