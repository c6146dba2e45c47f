#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the shared page's head file: every element that is opened is closed in order, the
document has one html, head and body, and nothing is loaded from another site."""
import sys
from html.parser import HTMLParser

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
        "track", "wbr"}


class Checker(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.errors, self.counts = [], [], {}

    def where(self):
        return "line %d" % self.getpos()[0]

    def handle_starttag(self, tag, attrs):
        self.counts[tag] = self.counts.get(tag, 0) + 1
        for name, value in attrs:
            if name in ("src", "href") and value and "//" in value:
                self.errors.append("%s: <%s %s> points to another site" % (self.where(), tag, name))
        if tag not in VOID:
            self.stack.append(tag)

    def handle_endtag(self, tag):
        if tag in VOID:
            self.errors.append("%s: </%s> closes a void element" % (self.where(), tag))
        elif not self.stack or self.stack[-1] != tag:
            self.errors.append("%s: </%s> does not close <%s>" %
                               (self.where(), tag, self.stack[-1] if self.stack else "nothing"))
        else:
            self.stack.pop()


def main(path):
    checker = Checker()
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if not text.lstrip().lower().startswith("<!doctype html>"):
        checker.errors.append("no <!DOCTYPE html> at the start")
    checker.feed(text)
    checker.close()
    if checker.stack:
        checker.errors.append("left open: " + ", ".join(checker.stack))
    for tag in ("html", "head", "body", "title"):
        if checker.counts.get(tag) != 1:
            checker.errors.append("<%s> appears %d times" % (tag, checker.counts.get(tag, 0)))
    for error in checker.errors:
        print(error)
    print("%s: %s" % (path, "invalid" if checker.errors else "well formed"))
    return 1 if checker.errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
