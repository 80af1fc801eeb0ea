#!/usr/bin/python3
"""Prints what a screen reader finds in the running QZ4VELD window: one line per
object on screen, indented by depth, with its role, name, description and the
objects it is labelled by; then every control that has no name. Exit status 1
when there is such a control. Needs the AT-SPI bus (at-spi2-core) and pyatspi.

    accessibility-tree.py ["application name"]"""
import sys
import time

import pyatspi


def find_app(name, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def labelled_by(acc):
    for rel in acc.getRelationSet():
        if rel.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return [rel.getTarget(i).name for i in range(rel.getNTargets())]
    return []


def chosen_entry(combo):
    """The entry a combo box shows: the selected item of its list of entries."""
    for i in range(combo.childCount):
        entries = combo.getChildAtIndex(i)
        for j in range(entries.childCount if entries is not None else 0):
            item = entries.getChildAtIndex(j)
            if item is not None and item.getState().contains(pyatspi.STATE_SELECTED):
                return item.name
    return ""


def walk(acc, depth, out, problems):
    """Appends the showing objects under acc; returns how many hidden ones it left out."""
    states = acc.getState()
    if not states.contains(pyatspi.STATE_SHOWING) and depth > 1:
        return 1
    role = acc.getRoleName()
    name = acc.name or ""
    line = "  " * depth + f"[{role}] {name!r}"
    if role == "combo box":
        line += f"  value={chosen_entry(acc)!r}"
    desc = (acc.description or "").replace("\n", " / ") if depth > 0 else ""
    if desc:
        line += f"  description={desc!r}"
    labels = labelled_by(acc)
    if labels:
        line += f"  labelled-by={labels!r}"
    out.append(line)
    interactive = states.contains(pyatspi.STATE_FOCUSABLE) or role in ("push button", "combo box", "check box",
                                                                       "image", "text", "list", "menu item")
    if interactive and not name:
        problems.append(line.strip())
    hidden = 0
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            hidden += walk(child, depth + 1, out, problems)
    return hidden


def main():
    app_name = sys.argv[1] if len(sys.argv) > 1 else "QZ4VELD Config"
    app = find_app(app_name, 20)
    if app is None:
        print(f"no accessible application named {app_name}", file=sys.stderr)
        return 1
    out, problems = [], []
    hidden = walk(app, 0, out, problems)
    print("\n".join(out))
    print(f"\n{len(out)} objects shown, {hidden} hidden ones left out; "
          f"{len(problems)} controls without a name")
    for p in problems:
        print("  no name: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
