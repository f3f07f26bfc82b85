"""Reads the accessible objects of one running application through AT-SPI, as a screen reader does.

Usage: atspi_names.py APP_NAME TEXT [TIMEOUT_SECONDS]
Waits until APP_NAME shows an object whose name starts with TEXT, then prints one JSON list of
{"name", "role", "description"} for every object of the application. Exit status 1 on time-out.
"""

import json
import sys
import time

import pyatspi


def objects_of(root):
    found = []
    stack = [root]
    while stack:
        obj = stack.pop()
        if obj is None:
            continue
        try:
            found.append({"name": obj.name, "role": obj.getRoleName(), "description": obj.description})
            stack.extend(obj.getChildAtIndex(i) for i in reversed(range(obj.childCount)))
        except Exception:  # an object that went away while being read
            continue
    return found


def main():
    app_name, text = sys.argv[1], sys.argv[2]
    deadline = time.monotonic() + (float(sys.argv[3]) if len(sys.argv) > 3 else 15.0)
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == app_name:
                found = objects_of(app)
                if any(o["name"].startswith(text) for o in found):
                    print(json.dumps(found, ensure_ascii=False))
                    return 0
        time.sleep(0.2)
    return 1


if __name__ == "__main__":
    sys.exit(main())
