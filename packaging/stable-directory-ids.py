#!/usr/bin/python3
"""Gives the directories of a wixl-heat fragment on standard input identifiers that follow from their
paths, on standard output. wixl-heat draws them at random, so two builds of the same runtime would
differ in every Directory row."""
import hashlib
import re
import sys

DIRECTORY = re.compile(r'<Directory Id="[^"]*" Name="([^"]*)"')
path = []
for line in sys.stdin:
    found = DIRECTORY.search(line)
    if found:
        path.append(found.group(1))
        identifier = "dir" + hashlib.md5("/".join(path).encode("utf-8")).hexdigest().upper()
        line = line.replace(found.group(0), f'<Directory Id="{identifier}" Name="{found.group(1)}"', 1)
        if line.rstrip().endswith("/>"):
            path.pop()
    elif "</Directory>" in line:
        path.pop()
    sys.stdout.write(line)
if path:
    sys.exit("stable-directory-ids.py: a Directory element is not closed")
