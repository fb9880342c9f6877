#!/usr/bin/python3
# A small GTK 3 sign-in form for the privacy tests: a user-name entry and a hidden-text entry.
# It prints "ready" once shown, then reads commands on stdin: "focus user", "focus password",
# "texts", "quit". Each focus change answers "focused NAME" once GTK has moved the focus;
# "texts" answers "texts USER LENGTH": the user name typed and the password's length.
import sys

import gi

gi.require_version('Gtk', '3.0')
from gi.repository import GLib, Gtk  # noqa: E402

window = Gtk.Window(title='Sign in')
box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=4)
entries = {'user': Gtk.Entry(), 'password': Gtk.Entry()}
entries['password'].set_visibility(False)
for entry in entries.values():
    box.pack_start(entry, False, False, 0)
window.add(box)
window.connect('destroy', Gtk.main_quit)


def say(text):
    print(text, flush=True)


def on_command(channel, condition):
    line = channel.readline()
    if not line:
        Gtk.main_quit()
        return False
    words = line.split()
    if words[:1] == ['focus'] and len(words) == 2 and words[1] in entries:
        window.present()
        entries[words[1]].grab_focus()
        say(f'focused {words[1]}')
    elif words[:1] == ['texts']:
        say(f"texts {entries['user'].get_text()} {len(entries['password'].get_text())}")
    elif words[:1] == ['quit']:
        Gtk.main_quit()
        return False
    return True


def shown(*_):
    say('ready')
    return False


window.connect('map-event', shown)
GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, on_command)
window.show_all()
Gtk.main()
