#!/usr/bin/python3
"""Checks that every relative link of the documentation leads somewhere: the file or folder is in the tree,
and an anchor (#...) names a heading of the Markdown file it points into, by GitHub's rule for heading ids
(Cyrillic headings included), or a line (#L12) of another file. Also that every page under docs/ is linked
from the README, so that none is left where no one finds it. Prints "check ok FILE: ..." per page whose
links all resolve and "check FAILED FILE:LINE: ..." per broken link; exits 1 when any failed.
    scripts/check-links.py                 README.md and docs/*.md of this tree
    scripts/check-links.py FILE.md...      the pages given (the README's reach is checked only by default)"""
import re
import sys
from pathlib import Path
from urllib.parse import unquote

ROOT = Path(__file__).resolve().parent.parent

FENCE = re.compile(r"^ {0,3}(```+|~~~+)")
ATX_HEADING = re.compile(r"^ {0,3}#{1,6}(?:[ \t]+(.*?))?(?:[ \t]+#+)?[ \t]*$")
SETEXT_UNDERLINE = re.compile(r"^ {0,3}(=+|-+)[ \t]*$")
HTML_ID = re.compile(r"""<a\s[^>]*\b(?:name|id)\s*=\s*["']([^"']+)["']""", re.IGNORECASE)
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
# [text](target) and ![alt](target); the target may hold one level of parentheses.
INLINE_LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\[\]]*\])*\]\(\s*(<[^>]*>|(?:[^()\s]|\([^()\s]*\))*)(?:\s+[^)]*)?\)")
REFERENCE_DEFINITION = re.compile(r"^ {0,3}\[[^\]]+\]:\s*(<[^>]*>|\S+)")
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:|^//")
LINE_ANCHOR = re.compile(r"^L(\d+)(?:-L(\d+))?$")


def text_lines(path):
    """The page's lines outside fenced code blocks, with their numbers."""
    fence = None
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        opening = FENCE.match(line)
        if fence:
            if opening and opening.group(1)[0] == fence[0] and len(opening.group(1)) >= len(fence):
                fence = None
            continue
        if opening:
            fence = opening.group(1)
            continue
        yield number, line


def slug(heading):
    """The id GitHub gives a heading: its text as shown, lower case, without punctuation, blanks as hyphens."""
    text = CODE_SPAN.sub(lambda m: m.group(2), heading)
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", text)
    text = re.sub(r"<[^>]+>", "", text)
    text = text.replace("*", "")
    text = text.strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    """Every id a Markdown page offers: its headings' (a repeated one numbered -1, -2, ...) and its HTML ids."""
    found = set()
    seen = {}
    previous = None
    for _, line in text_lines(path):
        heading = None
        atx = ATX_HEADING.match(line)
        if atx:
            heading = atx.group(1) or ""
        elif previous and previous.strip() and SETEXT_UNDERLINE.match(line) and not previous.startswith("    "):
            heading = previous.strip()
        if heading is not None:
            base = slug(heading)
            count = seen.get(base, 0)
            seen[base] = count + 1
            found.add(base if count == 0 else f"{base}-{count}")
        found.update(HTML_ID.findall(line))
        previous = None if atx else line
    return found


def links(path):
    """(line number, target) of every link on the page, outside code."""
    for number, line in text_lines(path):
        definition = REFERENCE_DEFINITION.match(line)
        if definition:
            yield number, definition.group(1)
            continue
        prose = CODE_SPAN.sub(lambda m: " " * len(m.group(0)), line)
        for match in INLINE_LINK.finditer(prose):
            yield number, match.group(1)


def problem(page, target, anchor_cache):
    """Why a link of `page` leads nowhere; None when it resolves or is not relative."""
    if target.startswith("<") and target.endswith(">"):
        target = target[1:-1]
    if not target or SCHEME.match(target):
        return None if target else "empty link"
    path_part, _, anchor = target.partition("#")
    path_part = unquote(path_part)
    if path_part.startswith("/"):
        destination = ROOT / path_part.lstrip("/")
    elif path_part:
        destination = page.parent / path_part
    else:
        destination = page
    destination = destination.resolve()
    if destination != ROOT and ROOT not in destination.parents:
        return f"{target}: leads out of the tree"
    if not destination.exists():
        return f"{target}: no such file or folder ({destination.relative_to(ROOT)})"
    if not anchor:
        return None
    anchor = unquote(anchor)
    if destination.is_dir():
        return f"{target}: an anchor into a folder"
    if destination.suffix.lower() in (".md", ".markdown"):
        if destination not in anchor_cache:
            anchor_cache[destination] = anchors(destination)
        if anchor.lower() not in anchor_cache[destination]:
            return f"{target}: no heading with the id '{anchor}' in {destination.relative_to(ROOT)}"
        return None
    lines = LINE_ANCHOR.match(anchor)
    if not lines:
        return f"{target}: '{anchor}' is neither a heading nor a line of {destination.relative_to(ROOT)}"
    count = len(destination.read_bytes().splitlines())
    last = int(lines.group(2) or lines.group(1))
    if not 1 <= int(lines.group(1)) <= last <= count:
        return f"{target}: {destination.relative_to(ROOT)} has {count} lines"
    return None


def linked_pages(page):
    """The Markdown files `page` links to, resolved."""
    found = set()
    for _, target in links(page):
        target = target.strip("<>")
        if SCHEME.match(target):
            continue
        path_part = unquote(target.partition("#")[0])
        if path_part:
            base = ROOT if path_part.startswith("/") else page.parent
            found.add((base / path_part.lstrip("/")).resolve())
    return found


def main(arguments):
    by_default = not arguments
    pages = [ROOT / "README.md"] + sorted((ROOT / "docs").glob("*.md")) if by_default else [
        Path(a).resolve() for a in arguments]
    failures = 0
    anchor_cache = {}
    for page in pages:
        name = page.relative_to(ROOT) if ROOT in page.parents else page
        if not page.is_file():
            print(f"check FAILED {name}: no such page")
            failures += 1
            continue
        checked = 0
        broken = 0
        for number, target in links(page):
            reason = problem(page, target, anchor_cache)
            if target.strip("<>") and not SCHEME.match(target.strip("<>")):
                checked += 1
            if reason:
                print(f"check FAILED {name}:{number}: {reason}")
                broken += 1
        failures += broken
        if not broken:
            what = "relative link resolves" if checked == 1 else "relative links resolve"
            print(f"check ok {name}: {checked} {what}")
    if by_default:
        readme = ROOT / "README.md"
        if readme.is_file():
            reached = linked_pages(readme)
            unlinked = [p for p in sorted((ROOT / "docs").glob("*.md")) if p.resolve() not in reached]
            for page in unlinked:
                print(f"check FAILED {page.relative_to(ROOT)}: not linked from README.md")
            failures += len(unlinked)
            if not unlinked:
                print("check ok every page under docs/ is linked from README.md")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
