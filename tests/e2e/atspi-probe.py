#!/usr/bin/python3
"""Reads one control of a running application over AT-SPI, as a screen reader meets it.

Commands, one a line on standard input:
  find APP NAME-PREFIX   looks in the application APP for the button on screen whose name starts with
                         NAME-PREFIX and answers "found X Y WIDTH HEIGHT" (its place on the screen) or "found none"
  find-check-box APP NAME-PREFIX
                         the same for a check box
  find-label APP NAME-PREFIX
                         the same for a label (its name is its text)
  read                   answers "name ..." and "description ..." of the control found, read afresh
Every change of the found control's name or description is one line as it arrives:
  "event accessible-name NAME" or "event accessible-description DESCRIPTION".
A popup menu is no child of its application, so a screen reader meets its items only as they take the focus: each
item that does is one line as it does, "menu-item NAME".
"ready" comes once the listeners are registered, so that the application sends those events.
"""
import sys

import pyatspi
from gi.repository import GLib

found = None
ROLES = {"find": pyatspi.ROLE_PUSH_BUTTON, "find-check-box": pyatspi.ROLE_CHECK_BOX, "find-label": pyatspi.ROLE_LABEL}


def say(line):
    print(line.replace("\n", " "), flush=True)


def fresh(accessible, read):
    # The bridge's change events carry no text, so a cached name or description may be stale.
    accessible.clearCache()
    return read(accessible) or ""


def search(node, prefix, role, depth=0):
    if node is None or depth > 40:
        return None
    try:
        if (fresh(node, lambda a: a.name).startswith(prefix) and node.getRole() == role
                and node.getState().contains(pyatspi.STATE_SHOWING)):
            return node
        for index in range(node.childCount):
            match = search(node.getChildAtIndex(index), prefix, role, depth + 1)
            if match is not None:
                return match
    except Exception:  # an object that went away while being read
        return None
    return None


def find(application, prefix, role):
    global found
    found = None
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and (app.name or "").lower() == application.lower():
            found = search(app, prefix, role)
            if found is not None:
                break
    if found is None:
        say("found none")
        return
    extents = found.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    say("found %d %d %d %d" % (extents.x, extents.y, extents.width, extents.height))


def on_change(event):
    if found is None or event.source != found:
        return
    kind = event.type.minor or event.type.detail or ""
    if kind == "accessible-name":
        say("event accessible-name " + fresh(found, lambda a: a.name))
    elif kind == "accessible-description":
        say("event accessible-description " + fresh(found, lambda a: a.description))


def on_focus(event):
    if not event.detail1 or event.source is None:
        return
    try:
        item = event.source
        if item.getRole() != pyatspi.ROLE_MENU_ITEM:
            return
        say("menu-item " + fresh(item, lambda a: a.name))
    except Exception:  # a menu that closed while being read
        return


def on_command(channel, condition):
    line = sys.stdin.readline()
    if not line:
        pyatspi.Registry.stop()
        return False
    words = line.split(None, 2)
    try:
        if words[:1] and words[0] in ROLES and len(words) == 3:
            find(words[1], words[2].rstrip("\n"), ROLES[words[0]])
        elif words[:1] == ["read"] and found is not None:
            say("name " + fresh(found, lambda a: a.name))
            say("description " + fresh(found, lambda a: a.description))
        else:
            say("unknown " + line.strip())
    except Exception as error:
        say("error %s" % error)
    return True


pyatspi.Registry.registerEventListener(on_change, "object:property-change:accessible-name",
                                       "object:property-change:accessible-description")
pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_command)
GLib.idle_add(lambda: say("ready") and False)
pyatspi.Registry.start()
