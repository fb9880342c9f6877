#!/usr/bin/python3
# A stand-in screen locker on the session bus: owns org.freedesktop.ScreenSaver at
# /org/freedesktop/ScreenSaver, answers GetActive and emits ActiveChanged. Prints "ready" once
# it owns the name, then reads commands on stdin: "lock" and "unlock" (with the signal),
# "quiet-unlock" (GetActive says false, no signal: a lost signal), "quit".
import sys

from gi.repository import Gio, GLib

NAME = 'org.freedesktop.ScreenSaver'
PATH = '/org/freedesktop/ScreenSaver'
XML = f'''<node><interface name="{NAME}">
  <method name="GetActive"><arg type="b" direction="out"/></method>
  <signal name="ActiveChanged"><arg type="b"/></signal>
</interface></node>'''

state = {'active': False, 'connection': None}
loop = GLib.MainLoop()


def on_call(connection, sender, path, interface, method, params, invocation):
    if method == 'GetActive':
        invocation.return_value(GLib.Variant('(b)', (state['active'],)))
    else:
        invocation.return_dbus_error('org.freedesktop.DBus.Error.UnknownMethod', method)


def set_active(active, signal):
    state['active'] = active
    if signal:
        state['connection'].emit_signal(None, PATH, NAME, 'ActiveChanged', GLib.Variant('(b)', (active,)))
        state['connection'].flush_sync(None)
    print(f'{"locked" if active else "unlocked"}', flush=True)


def on_command(channel, condition):
    line = channel.readline()
    word = line.strip()
    if word == 'lock':
        set_active(True, True)
    elif word == 'unlock':
        set_active(False, True)
    elif word == 'quiet-unlock':
        set_active(False, False)
    elif not line or word == 'quit':
        loop.quit()
        return False
    return True


def on_bus(connection, name):
    state['connection'] = connection
    info = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    connection.register_object(PATH, info, on_call, None, None)


Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.NONE, on_bus,
                 lambda *_: print('ready', flush=True), lambda *_: (print('lost', flush=True), loop.quit()))
GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, on_command)
loop.run()
