#!/usr/bin/env python3
"""A GTK 3 application to paste into: one focused entry. Same commands and
answers as paste_target_qt ("text", "clipboard", "focus"), and "field" (the
entry's rectangle in its window, device pixels); prints "ready <xid>".

With "--date-keys-back", every key press after the first reaches the entry
with the time of the first, as an input method that hands key presses on
with a stale time does: a paste then asks for the clipboard with that time."""
import base64
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import Gdk, GdkX11, GLib, Gtk  # noqa: E402,F401


def reply(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def b64(text):
    return base64.b64encode((text or "").encode("utf-8")).decode("ascii")


first_key_time = None


def date_key_back(_widget, event):
    global first_key_time
    if first_key_time is None:
        first_key_time = event.time
    else:
        event.time = first_key_time
    return False


window = Gtk.Window(title="paste target gtk")
entry = Gtk.Entry()
window.add(entry)
window.set_default_size(400, 60)
clipboard = Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD)


def describe_clipboard():
    text = clipboard.wait_for_text()
    image = clipboard.wait_for_image()
    if image is None:
        return "clipboard %s none none" % b64(text)
    pixels = image.get_pixels()
    return "clipboard %s %dx%d #%02x%02x%02x" % (
        b64(text), image.get_width(), image.get_height(), pixels[0], pixels[1], pixels[2])


def on_input(source, condition):
    line = sys.stdin.readline()
    if not line:
        Gtk.main_quit()
        return False
    command = line.strip()
    if command == "text":
        reply("text " + b64(entry.get_text()))
    elif command == "clipboard":
        reply(describe_clipboard())
    elif command == "focus":
        # Off the entry and back: the entry is announced as focused anew.
        window.set_focus(None)
        entry.grab_focus()
        reply("focused")
    elif command == "field":
        # The entry within its window, in the X server's pixels: what the
        # toolkit's own scale makes of it.
        scale = entry.get_scale_factor()
        x, y = entry.translate_coordinates(window, 0, 0)
        reply("field %d %d %d %d" % (x * scale, y * scale, entry.get_allocated_width() * scale,
                                     entry.get_allocated_height() * scale))
    return True


def on_shown(*_):
    entry.grab_focus()
    reply("ready %d" % window.get_window().get_xid())
    return False


window.connect("destroy", Gtk.main_quit)
if "--date-keys-back" in sys.argv[1:]:
    window.connect("key-press-event", date_key_back)
window.show_all()
GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
GLib.idle_add(on_shown)
Gtk.main()
