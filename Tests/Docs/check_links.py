#!/usr/bin/env python3
"""Every relative link of README.md and docs/*.md names a file of the
repository and, after a '#', a heading of that file.

    check_links.py ROOT
"""

import glob
import os
import re
import sys

FENCED = re.compile(r"^```.*?^```", re.M | re.S)
CODE_SPAN = re.compile(r"`[^`\n]*`")
LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")
HEADING = re.compile(r"^#{1,6}\s+(.+?)\s*$", re.M)
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")


def read(path):
    with open(path, encoding="utf-8") as file:
        return FENCED.sub("", file.read())


def anchors(path):
    """The anchors a Markdown viewer gives the file's headings, as GitHub
    makes them: lower case, punctuation dropped, spaces to '-', and a
    repeated one numbered."""
    found = set()
    for heading in HEADING.findall(read(path)):
        slug = re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-")
        number = 0
        while (slug if number == 0 else f"{slug}-{number}") in found:
            number += 1
        found.add(slug if number == 0 else f"{slug}-{number}")
    return found


def broken_links(page):
    for target in LINK.findall(CODE_SPAN.sub("", read(page))):
        if SCHEME.match(target):
            continue
        path, _, anchor = target.partition("#")
        path = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(path):
            yield f"{target}: no file {path}"
        elif anchor and (not path.endswith(".md") or anchor not in anchors(path)):
            yield f"{target}: no heading #{anchor} in {path}"


def main(root):
    pages = [os.path.join(root, "README.md")] + sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    broken = [f"{os.path.relpath(page, root)}: {link}" for page in pages for link in broken_links(page)]
    print("\n".join(broken) or f"every relative link of {len(pages)} pages resolves")
    return 1 if broken else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
