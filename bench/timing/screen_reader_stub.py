#!/usr/bin/python3
"""Stands in for a screen reader in bench/timing.sh: takes every event the
accessible applications send on the session's AT-SPI bus and, as a screen
reader does, asks for the name and role of the object it came from. Prints
"listening" once registered and "events N" on SIGUSR1 and on exit; with any
argument, also each event's type, source role and name as it comes."""
import signal
import sys

import pyatspi

count = 0


def on_event(event):
    global count
    count += 1
    described = "(gone)"
    try:
        source = event.source
        if source is not None:
            described = f"{source.getRoleName()} {source.name!r}"
    except Exception:  # the object may be gone by now
        pass
    if len(sys.argv) > 1:
        print(event.type, described, flush=True)


def report(*_):
    print(f"events {count}", flush=True)


def stop(*_):
    report()
    pyatspi.Registry.stop()


signal.signal(signal.SIGUSR1, report)
signal.signal(signal.SIGTERM, stop)
pyatspi.Registry.registerEventListener(on_event, "object:", "focus:", "window:")
print("listening", flush=True)
pyatspi.Registry.start()
sys.exit(0)
