#!/usr/bin/env python3
"""Follows every relative link of a tree's Markdown pages: README.md and
docs/*.md under each folder given (the repository, or an unpacked release
archive). A link must name a file or folder inside that tree, and an #anchor
must name a heading of the page it points to, by the anchor names GitHub
gives headings. Web addresses are not fetched.

    tests/markdown-link-check.py <folder>...

Prints "error: <page>:<line>: ..." for each broken link; exit code 1 if any.
"""
import os
import re
import sys
import unicodedata
from urllib.parse import unquote

FENCE = re.compile(r"^ {0,3}(`{3,}|~{3,})")
CODE_SPAN = re.compile(r"(`+)(?!`)(.+?)(?<!`)\1(?!`)", re.S)
# [text](target "title") and ![alt](target); the text may hold one level of
# brackets and run over lines.
INLINE_LINK = re.compile(
    r"!?\[(?:[^\[\]]|\[[^\[\]]*\])*\]\(\s*(<[^>\n]*>|[^\s()]*(?:\([^\s()]*\)[^\s()]*)*)"
    r"(?:\s+(?:\"[^\"]*\"|'[^']*'|\([^)]*\)))?\s*\)")
REFERENCE_DEFINITION = re.compile(r"^ {0,3}\[([^\]]+)\]:\s*(<[^>]*>|\S+)", re.M)
HTML_TARGET = re.compile(r"<(?:a|img)\b[^>]*?\b(?:href|src)=\"([^\"]*)\"", re.I)
HTML_ANCHOR = re.compile(r"<a\b[^>]*?\b(?:name|id)=\"([^\"]*)\"", re.I)
ATX_HEADING = re.compile(r"^ {0,3}(#{1,6})(?:[ \t]+(.*?))?(?:[ \t]+#+)?[ \t]*$")
SETEXT_UNDERLINE = re.compile(r"^ {0,3}(=+|-+)[ \t]*$")
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")


def without_code_blocks(text):
    """The text with fenced code blocks blanked out, line breaks kept, so that
    positions still give line numbers."""
    lines = text.split("\n")
    fence = None
    for i, line in enumerate(lines):
        match = FENCE.match(line)
        if fence:
            if match and match.group(1)[0] == fence[0] and len(match.group(1)) >= len(fence):
                fence = None
            lines[i] = ""
        elif match:
            fence = match.group(1)
            lines[i] = ""
    return "\n".join(lines)


def heading_text(raw):
    """What a heading shows: code spans keep their text, links their words,
    emphasis and tags go."""
    text = re.sub(r"(`+)(.+?)\1", lambda m: m.group(2), raw)
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", text)
    text = re.sub(r"<[^>]+>", "", text)
    return re.sub(r"\\(.)", r"\1", text).replace("*", "")


def slug(text):
    """GitHub's anchor name: lower case, letters, digits, marks, '-' and '_'
    kept, blanks become '-', everything else dropped."""
    kept = []
    for ch in text.lower():
        if ch == " ":
            kept.append("-")
        elif ch in "-_" or unicodedata.category(ch)[0] in "LNM":
            kept.append(ch)
    return "".join(kept)


def anchors(text):
    """Every anchor of a page: its headings' names (a repeated one gets -1,
    -2, ...) and explicit <a name> or id anchors."""
    names = set()
    seen = {}
    lines = without_code_blocks(text).split("\n")
    for i, line in enumerate(lines):
        raw = None
        match = ATX_HEADING.match(line)
        if match:
            raw = match.group(2) or ""
        elif (i + 1 < len(lines) and SETEXT_UNDERLINE.match(lines[i + 1]) and line.strip()
              and not line.lstrip().startswith(("-", "*", "+", "|", ">"))):
            raw = line.strip()
        if raw is None:
            continue
        name = slug(heading_text(raw))
        count = seen.get(name, 0)
        seen[name] = count + 1
        names.add(name if count == 0 else "%s-%d" % (name, count))
    names.update(HTML_ANCHOR.findall(text))
    return names


def targets(text):
    """(line, target) for every link of a page outside code."""
    plain = CODE_SPAN.sub(lambda m: re.sub(r"[^\n]", " ", m.group(0)), without_code_blocks(text))
    found = []
    for pattern in (INLINE_LINK, HTML_TARGET):
        for match in pattern.finditer(plain):
            found.append((match.start(1), match.group(1)))
    for match in REFERENCE_DEFINITION.finditer(plain):
        found.append((match.start(2), match.group(2)))
    return sorted((plain.count("\n", 0, at) + 1, target.strip("<>")) for at, target in found)


def check_tree(folder):
    root = os.path.realpath(folder)
    pages = [os.path.join(root, "README.md")]
    docs = os.path.join(root, "docs")
    if os.path.isdir(docs):
        pages += sorted(os.path.join(docs, name) for name in os.listdir(docs) if name.endswith(".md"))
    errors = []
    if not os.path.isfile(pages[0]):
        return ["error: %s: no README.md" % folder], 0
    anchor_cache = {}

    def anchors_of(path):
        if path not in anchor_cache:
            with open(path, encoding="utf-8") as f:
                anchor_cache[path] = anchors(f.read())
        return anchor_cache[path]

    links = 0
    for page in pages:
        with open(page, encoding="utf-8") as f:
            text = f.read()
        shown = os.path.normpath(os.path.join(folder, os.path.relpath(page, root)))
        for line, target in targets(text):
            if not target or SCHEME.match(target) or target.startswith("//"):
                continue
            links += 1
            path, _, anchor = target.partition("#")
            where = "error: %s:%d: " % (shown, line)
            resolved = os.path.realpath(os.path.join(os.path.dirname(page), unquote(path))) if path else page
            if os.path.commonpath([root, resolved]) != root:
                errors.append(where + "%s leads out of the tree" % target)
                continue
            if not os.path.exists(resolved):
                errors.append(where + "%s: no such file" % target)
                continue
            if anchor and resolved.endswith(".md") and unquote(anchor) not in anchors_of(resolved):
                errors.append(where + "%s: no heading or anchor #%s in %s" % (target, anchor, os.path.relpath(resolved, root)))
    return errors, links


def main(folders):
    if not folders:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    failed = False
    for folder in folders:
        errors, links = check_tree(folder)
        for error in errors:
            print(error, file=sys.stderr)
        failed = failed or bool(errors)
        print("markdown-link-check: %s: %d relative links, %d broken" % (folder, links, len(errors)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
