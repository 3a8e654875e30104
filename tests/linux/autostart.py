#!/usr/bin/python3
"""konfigurator's start-up entries as the desktops read and keep them, judged by GLib itself
(python3-gi): the user's entry over the administrator's of the same name in $XDG_CONFIG_DIRS (the
first folder winning), each box as GLib and GNOME's session read the entry in force (blanks,
repeated keys, TryExec); a save that changes only the suite's keys and keeps every other line, a
cleared administrator's entry hidden by the user's Hidden=true, and that override removed again
when the box is ticked. konfigurator's store runs without its window (autostart_client); the
window itself shows an administrator's entry in the konfigurator test."""

import os
import re
import shutil

import gi

gi.require_version('Gio', '2.0')
from gi.repository import Gio, GLib  # noqa: E402

from bed import TOOLS, Bed  # noqa: E402

bed = Bed('autostart')
suite = bed.install('Zelvo CD', 'trayflush', 'traywatch')
shutil.copy2(os.path.join(TOOLS, 'autostart_client'), suite)
config = os.path.join(bed.root, 'config')
FOLDERS = {'user': os.path.join(config, 'autostart'),
           'system': os.path.join(bed.root, 'xdg', 'autostart'),
           'system 2': os.path.join(bed.root, 'xdg 2', 'autostart')}
env = bed.environment(XDG_CONFIG_HOME=config, XDG_CONFIG_DIRS=':'.join(
    os.path.dirname(FOLDERS[place]) for place in ('system', 'system 2')))
NAMES = {'WysuwajTeraz': 'trayflush', 'WysuwajPotem': 'traywatch'}
KEEP = GLib.KeyFileFlags.KEEP_COMMENTS | GLib.KeyFileFlags.KEEP_TRANSLATIONS
OURS = {'Type', 'Name', 'Comment', 'Exec', 'TryExec', 'NoDisplay', 'X-GNOME-Autostart-enabled',
        'Hidden'}


def entry(name, *lines, program=None):
    """An application entry that starts the suite's program of that entry, or another."""
    return '\n'.join(['[Desktop Entry]', 'Type=Application', 'Name=Zelvo CD (szkoła)',
                      f'Exec="{program or f"{suite}/{NAMES[name]}"}"', *lines, ''])


def lay_out(name, entries):
    """Puts the entries of one name where they are given ({place: text}), and none elsewhere."""
    for place, folder in FOLDERS.items():
        path = os.path.join(folder, f'{name}.desktop')
        if os.path.exists(path):
            os.remove(path)
        if place in entries:
            os.makedirs(folder, exist_ok=True)
            with open(path, 'w') as file:
                file.write(entries[place])


def read(file_path):
    with open(file_path) as file:
        return file.read()


def path(place, name):
    return os.path.join(FOLDERS[place], f'{name}.desktop')


def glib_starts(place, name):
    """Whether a session that reads entries with GLib starts this one at logon: GLib's
    desktop-entry code takes it (an application whose TryExec and Exec programs are there), it is
    not hidden, and X-GNOME-Autostart-enabled, where given, reads true (GNOME's session)."""
    keys = GLib.KeyFile()
    try:
        keys.load_from_file(path(place, name), GLib.KeyFileFlags.NONE)
    except GLib.Error:
        return False
    try:
        info = Gio.DesktopAppInfo.new_from_keyfile(keys)
    except TypeError:  # GLib gave none
        return False
    enabled = 'X-GNOME-Autostart-enabled'
    return (not info.get_is_hidden() and
            (not info.has_key(enabled) or info.get_boolean(enabled)))


def boxes(*actions):
    """Runs konfigurator's store: the actions on WysuwajTeraz and WysuwajPotem, then each box."""
    run = bed.run([f'{suite}/autostart_client', *actions], env=env)
    shown = [int(line) if line.isdigit() else line for line in run.stdout.splitlines()]
    return run.returncode, (shown + [None, None])[:2]


def foreign(place, name):
    """All of an entry that is not the suite's: its comment lines in order, and every group's keys
    with their values (translations too), but the suite's keys of the desktop entry's group."""
    keys = GLib.KeyFile()
    keys.load_from_file(path(place, name), KEEP)
    comments = [line for line in read(path(place, name)).splitlines()
                if line.lstrip().startswith('#')]
    return comments, {group: {key: keys.get_value(group, key) for key in keys.get_keys(group)[0]
                              if group != 'Desktop Entry' or key not in OURS}
                      for group in keys.get_groups()[0]}


# -- Which entry is in force, and what each box shows: as the table says the desktops read it,
#    and as GLib reads it. Two cases at a time, one for each entry.
READINGS = [  # what it shows, the entries by place, the one in force (None: none), on
    ('Hidden=true with a trailing blank', {'user': ['Hidden=true ']}, 'user', False),
    ('Hidden=true after leading blanks', {'user': ['   Hidden=true']}, 'user', False),
    ('X-GNOME-Autostart-enabled=false with a trailing blank',
     {'user': ['X-GNOME-Autostart-enabled=false ']}, 'user', False),
    ('Hidden=true, then Hidden=false: the last one counts',
     {'user': ['Hidden=true', 'Hidden=false']}, 'user', True),
    ('a TryExec naming a missing program', {'user': [f'TryExec={suite}/brak']}, 'user', False),
    ('the user\'s plain entry', {'user': []}, 'user', True),
    ('the administrator\'s entry alone', {'system': []}, 'system', True),
    ('the user\'s Hidden=true over the administrator\'s entry',
     {'user': ['Hidden=true'], 'system': []}, 'user', False),
    ('the user\'s entry over the administrator\'s hidden one',
     {'user': [], 'system': ['Hidden=true']}, 'user', True),
    ('the first system folder over the second',
     {'system': ['X-GNOME-Autostart-enabled=false'], 'system 2': []}, 'system', False),
    ('the second system folder when the first has none', {'system 2': []}, 'system 2', True),
    ('no entry anywhere', {}, None, False),
]
for pair in zip(READINGS[::2], READINGS[1::2]):
    for (_, entries, _, _), name in zip(pair, NAMES):
        lay_out(name, {place: entry(name, *lines) for place, lines in entries.items()})
    status, shown = boxes()
    for (what, _, in_force, on), name, box in zip(pair, NAMES, shown):
        glib = in_force is not None and glib_starts(in_force, name)
        bed.expect_eq(f'{what}: GLib and the box read it as {"on" if on else "off"}',
                      (on, int(on), 0), (glib, box, status))

# -- Saves, one box at a time: the entries before, the action, then the user's entry (None: no
#    file, or written, or the same bytes), the entry in force and whether it starts, by GLib and
#    by the box. The administrator's entries are never touched; every line that is not one of
#    the suite's keys stays, in the user's entry or in its copy of the administrator's.
RICH = ['# Opóźnione, tylko w GNOME i Xfce', 'X-GNOME-Autostart-Delay=30',
        'OnlyShowIn=GNOME;XFCE;', 'Name[en]=Zelvo CD (school)', 'Hidden=true', 'Hidden=false',
        'X-GNOME-Autostart-enabled=true', '', '# Akcja', '[Desktop Action sprawdz]',
        'Name=Sprawdź', 'Exec=true']
ANOTHER = os.path.join(suite, 'autostart_client')
name = 'WysuwajTeraz'
SAVES = [
    ('a save with the box unchanged: the suite\'s keys written once, every other line kept',
     {'user': RICH}, 'add', 'written', 'user', True),
    ('the box of the administrator\'s entry cleared: the user\'s copy of it says Hidden=true',
     {'system': ['# Dla całej szkoły', 'X-GNOME-Autostart-Delay=5']}, 'remove', 'written',
     'user', False),
    ('the box of the user\'s entry over the administrator\'s cleared: Hidden=true in the user\'s',
     {'user': RICH, 'system': []}, 'remove', 'written', 'user', False),
    ('ticked again: the user\'s override removed, the administrator\'s entry starts it',
     {'user': ['Hidden=true', 'X-GNOME-Autostart-Delay=30'], 'system': []}, 'add', None,
     'system', True),
    ('ticked over an administrator\'s entry that runs another program: the user\'s own entry',
     {'system': entry(name, program=ANOTHER)}, 'add', 'written', 'user', True),
    ('the user\'s entry alone cleared: deleted', {'user': []}, 'remove', None, None, False),
    ('the user\'s switched-off entry, its box left clear: left as it is',
     {'user': ['X-GNOME-Autostart-enabled=false', '# Wyłączone w GNOME']}, 'remove', 'same',
     'user', False),
]
for what, before, action, user_after, in_force, on in SAVES:
    lay_out(name, {place: entry(name, *lines) if isinstance(lines, list) else lines
                   for place, lines in before.items()})
    texts = {place: read(path(place, name)) for place in before}
    kept = {place: foreign(place, name) for place in before}
    status, shown = boxes(action, '-')
    now = {place: foreign(place, name) for place in FOLDERS if os.path.exists(path(place, name))}
    expected = {place: kept[place] for place in before if place != 'user'}
    if user_after:
        expected['user'] = kept['user' if 'user' in before else 'system']
    user = read(path('user', name)) if os.path.exists(path('user', name)) else None
    bed.expect_eq(f'{what}: saved; the lines kept; GLib and the box; the administrator\'s entry '
                  'and the user\'s', (0, expected, on, int(on), True, user_after),
                  (status, now, in_force is not None and glib_starts(in_force, name), shown[0],
                   all(read(path(place, name)) == texts[place] for place in before
                       if place != 'user'),
                   user and ('same' if user == texts.get('user') else 'written')))
    if user_after == 'written':
        # Read as systemd's generator reads a key given twice too (the first line counts).
        keys = GLib.KeyFile()
        keys.load_from_data(user, len(user.encode()), GLib.KeyFileFlags.NONE)
        bed.expect_eq(f'{what}: Hidden written once at most, the suite\'s program in Exec',
                      ([] if on else ['Hidden=true'], [f'{suite}/trayflush']),
                      (re.findall(r'^[ \t]*Hidden[ \t]*=.*$', user, re.MULTILINE),
                       GLib.shell_parse_argv(keys.get_string('Desktop Entry', 'Exec'))[1]))
bed.close()
