#!/usr/bin/env python3
"""Announces crevik's race feed the way a site bot says it in its channel.

    feed-announce.py [--once] FEED

Follows FEED like `tail -F`: starts at its end, prints one line per new
event, and when the file is renamed away (rotation) or truncated, carries
on with the file that takes its name. With --once it reads FEED from the
start, announces every line and exits. An example of reading the feed,
not part of crevik: a bot would send these lines to its channel instead.
"""
import argparse
import json
import os
import sys
import time

POLL_SECONDS = 0.5


def size_text(kb):
    """700KB, 1.5MB, 2.0GB: the way crevik's status names show sizes."""
    if kb < 1024:
        return "%dKB" % kb
    for unit in ("MB", "GB", "TB"):
        kb /= 1024.0
        if kb < 1024 or unit == "TB":
            return "%.1f%s" % (kb, unit)


def who(user, group):
    return "%s/%s" % (user, group)


def release(e):
    return e["release"] + ("/" + e["sub"] if e["sub"] else "")


def announce(e):
    """The line a bot says for one event; None for an event it does not know."""
    rel, kind = release(e), e["event"]
    if kind == "sfv":
        return "sfv for %s: %d files, %d good" % (rel, e["files"], e["good"])
    if kind == "newrace":
        return "new race in %s by %s" % (rel, who(e["user"], e["group"]))
    if kind == "good":
        return "%s: %s by %s at %sps, %d of %d files (%d%%)" % (
            rel, e["file"], who(e["user"], e["group"]), size_text(e["speed_kbps"]),
            e["good"], e["files"], e["percent"])
    if kind == "bad":
        return "%s: %s by %s is bad" % (rel, e["file"], who(e["user"], e["group"]))
    if kind == "leader":
        return "%s takes the lead in %s with %s in %d files" % (
            who(e["user"], e["group"]), rel, size_text(e["size_kb"]), e["files"])
    if kind == "halfway":
        return "%s is halfway: %d of %d files, %s leads" % (
            rel, e["good"], e["files"], who(e["leader_user"], e["leader_group"]))
    if kind == "complete":
        racers = e["racers"]
        winner = who(racers[0]["user"], racers[0]["group"]) if racers else "nobody"
        return "%s complete: %d files, %s, %sps, %d racers, winner %s" % (
            rel, e["files"], size_text(e["size_kb"]), size_text(e["avg_speed_kbps"]), len(racers), winner)
    if kind == "incomplete":
        return "%s is incomplete again: %s is gone, %d of %d files" % (rel, e["file"], e["good"], e["files"])
    if kind == "sfvdeleted":
        return "%s: sfv deleted" % rel
    return None


def say(raw):
    """Prints the announcement of one feed line; bad lines go to stderr."""
    try:
        text = announce(json.loads(raw.decode("utf-8")))
    except (ValueError, KeyError, TypeError, IndexError) as err:
        print("feed-announce: unreadable line (%s): %r" % (err, raw[:80]), file=sys.stderr)
        return
    if text is None:
        return
    # Names that were not UTF-8 come back as the server's own bytes.
    sys.stdout.buffer.write(text.encode("utf-8", "surrogateescape") + b"\n")
    sys.stdout.buffer.flush()


def read_once(path):
    with open(path, "rb") as feed:
        for raw in feed:
            if raw.strip():
                say(raw)


def follow(path):
    feed, identity, pending, rotated = None, None, b"", False
    at_start = True
    while True:
        if feed is None:
            try:
                feed = open(path, "rb")
            except FileNotFoundError:
                time.sleep(POLL_SECONDS)
                at_start = False  # a file that appears later is read whole
                continue
            st = os.fstat(feed.fileno())
            identity = (st.st_dev, st.st_ino)
            if at_start:
                feed.seek(0, os.SEEK_END)
            at_start, pending, rotated = False, b"", False
        chunk = feed.read()
        if chunk:
            pending += chunk
            *lines, pending = pending.split(b"\n")
            for raw in lines:
                if raw.strip():
                    say(raw)
            continue
        if rotated:
            feed.close()
            feed = None
            continue
        # At the end: a new file under the name means rotation, a shorter one
        # truncation. After a rotation the old file is read once more, for a
        # run that opened it just before the rename.
        try:
            st = os.stat(path)
        except FileNotFoundError:
            st = None
        if st is not None and (st.st_dev, st.st_ino) != identity:
            rotated = True
        elif st is not None and st.st_size < feed.tell():
            feed.seek(0)
            pending = b""
        else:
            time.sleep(POLL_SECONDS)


def main():
    parser = argparse.ArgumentParser(description="Announce crevik's race feed.")
    parser.add_argument("--once", action="store_true", help="read FEED from the start once and exit")
    parser.add_argument("feed", help="the feed file (GENERAL/FEED)")
    args = parser.parse_args()
    try:
        if args.once:
            read_once(args.feed)
        else:
            follow(args.feed)
    except OSError as err:
        print("feed-announce: %s: %s" % (args.feed, err.strerror), file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
