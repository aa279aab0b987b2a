#!/usr/bin/env python3
"""Checks a crevik feed: every line a JSON object with exactly its event's
fields, numbers as numbers. Prints one line per feed line: the event and its
names as hex of their original bytes. Exit 1 at the first fault."""
import json
import re
import sys

TIME = re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d\Z")
COMMON = {"time": str, "event": str, "release": str, "sub": str, "dir": str}
RACER = {"user": str, "group": str, "files": int, "size_kb": int, "speed_kbps": int}
GROUP = {"group": str, "files": int, "size_kb": int, "speed_kbps": int}
FASTEST = {"user": str, "group": str, "file": str, "speed_kbps": int}
EVENTS = {
    "sfv": {"files": int, "good": int, "percent": int},
    "newrace": {"user": str, "group": str, "file": str},
    "good": {"user": str, "group": str, "file": str, "size_kb": int, "speed_kbps": int, "good": int,
             "files": int, "percent": int},
    "bad": {"user": str, "group": str, "file": str},
    "leader": {"user": str, "group": str, "size_kb": int, "files": int},
    "halfway": {"good": int, "files": int, "leader_user": str, "leader_group": str},
    "complete": {"files": int, "size_kb": int, "avg_speed_kbps": int, "racers": [RACER], "groups": [GROUP],
                 "fastest": FASTEST},
    "incomplete": {"file": str, "good": int, "files": int},
    "sfvdeleted": {},
}
NAMES = ("release", "sub", "dir", "file", "user", "group")


def check(value, shape, where):
    if isinstance(shape, list):
        if not isinstance(value, list):
            raise ValueError("%s is no array" % where)
        for i, item in enumerate(value):
            check(item, shape[0], "%s[%d]" % (where, i))
    elif isinstance(shape, dict):
        if not isinstance(value, dict) or set(value) != set(shape):
            raise ValueError("%s has fields %s, not %s" % (where, sorted(value), sorted(shape)))
        for key, kind in shape.items():
            check(value[key], kind, where + "." + key)
    elif type(value) is not shape:  # bool is no number here
        raise ValueError("%s is %s, not %s" % (where, type(value).__name__, shape.__name__))


def reject(constant):
    raise ValueError("%s is no JSON number" % constant)


def main():
    data = open(sys.argv[1], "rb").read()
    if data and not data.endswith(b"\n"):
        return "the feed ends in a torn line"
    for number, raw in enumerate(data.splitlines(), 1):
        try:
            event = json.loads(raw.decode("utf-8"), parse_constant=reject)
            if not isinstance(event, dict) or event.get("event") not in EVENTS:
                raise ValueError("no known event")
            check(event, dict(COMMON, **EVENTS[event["event"]]), "line")
            if not TIME.match(event["time"]):
                raise ValueError("time %r" % event["time"])
        except ValueError as err:  # UnicodeDecodeError and JSONDecodeError too
            return "line %d: %s: %r" % (number, err, raw[:120])
        names = ["%s=%s" % (n, event[n].encode("utf-8", "surrogateescape").hex()) for n in NAMES if n in event]
        print(event["event"], *names)
    return 0


if __name__ == "__main__":
    sys.exit(main())
