#!/usr/bin/python3
"""konfigurator's store (autostart_client, without the window) against GLib's own reading of the
entry in force (python3-gi): the boxes, and saves that keep every line but the suite's keys."""

import os
import re

import gi

gi.require_version('Gio', '2.0')
from gi.repository import Gio, GLib  # noqa: E402

from bed import TOOLS, Bed  # noqa: E402

bed = Bed('autostart')
trayflush = f'{bed.install("Zelvo CD", "trayflush")}/trayflush'
config, xdg = os.path.join(bed.root, 'config'), os.path.join(bed.root, 'xdg')
# Where the desktops look for WysuwajTeraz.desktop, in their order.
PLACES = {'user': f'{config}/autostart', 'system': f'{xdg}/autostart',
          'system 2': f'{xdg} 2/autostart'}
ENTRY = f'[Desktop Entry]\nType=Application\nName=Zelvo CD (szkoła)\nExec="{trayflush}"\n'
OURS = {'Type', 'Name', 'Comment', 'Exec', 'TryExec', 'NoDisplay', 'X-GNOME-Autostart-enabled',
        'Hidden'}


def read(place):
    path = f'{PLACES[place]}/WysuwajTeraz.desktop'
    return open(path).read() if os.path.exists(path) else None


def store(entries, *action):
    """Lays out the entries ({place: text}), runs the store with the action: its status, box."""
    for place, folder in PLACES.items():
        os.makedirs(folder, exist_ok=True)
        path = f'{folder}/WysuwajTeraz.desktop'
        if os.path.exists(path):
            os.remove(path)
        if place in entries:
            open(path, 'w').write(entries[place])
    run = bed.run([f'{TOOLS}/autostart_client', 'WysuwajTeraz', *action], env=bed.environment(
        XDG_CONFIG_HOME=config, XDG_CONFIG_DIRS=f'{xdg}:{xdg} 2'))
    return run.returncode, run.stdout.strip()


def glib_starts():
    """Whether GLib takes the entry in force (TryExec and Exec programs there), not hidden, and
    GNOME's session finds X-GNOME-Autostart-enabled true where given."""
    text = next((read(place) for place in PLACES if read(place) is not None), None)
    keys = GLib.KeyFile()
    try:
        keys.load_from_data(text, len(text.encode()), GLib.KeyFileFlags.NONE)
        info = Gio.DesktopAppInfo.new_from_keyfile(keys)
    except (AttributeError, GLib.Error, TypeError):  # no entry, not loaded, or not taken
        return False
    enabled = 'X-GNOME-Autostart-enabled'
    return not info.get_is_hidden() and (not info.has_key(enabled) or info.get_boolean(enabled))


def foreign(text):
    """An entry's comment lines, and its keys (translations too) but the suite's, by group."""
    keys = GLib.KeyFile()
    keys.load_from_data(text, len(text.encode()), GLib.KeyFileFlags.KEEP_TRANSLATIONS)
    return ([line for line in text.splitlines() if line.lstrip().startswith('#')],
            {group: {key: keys.get_value(group, key) for key in keys.get_keys(group)[0]
                     if group != 'Desktop Entry' or key not in OURS}
             for group in keys.get_groups()[0]})


READINGS = [  # the case, the entries' lines after ENTRY by place, whether it starts
    ('Hidden=true with a trailing blank', {'user': 'Hidden=true \n'}, False),
    ('Hidden=true after leading blanks', {'user': '   Hidden=true\n'}, False),
    ('X-GNOME-Autostart-enabled=false with a trailing blank',
     {'user': 'X-GNOME-Autostart-enabled=false \n'}, False),
    ('Hidden=true, then Hidden=false', {'user': 'Hidden=true\nHidden=false\n'}, True),
    ('a TryExec naming a missing program', {'user': f'TryExec={trayflush}-brak\n'}, False),
    ('the administrator\'s entry alone', {'system 2': ''}, True),
    ('the user\'s Hidden=true over it', {'user': 'Hidden=true\n', 'system': ''}, False),
    ('the first system folder\'s over the second\'s',
     {'system': 'X-GNOME-Autostart-enabled=false\n', 'system 2': ''}, False),
]
for what, lines, on in READINGS:
    status, box = store({place: ENTRY + text for place, text in lines.items()})
    bed.expect_eq(f'{what}: {"on" if on else "off"} by GLib and in the box',
                  (on, str(int(on)), 0), (glib_starts(), box, status))

RICH = ENTRY + ('# Opóźnione, tylko w GNOME i Xfce\nX-GNOME-Autostart-Delay=30\n'
                'OnlyShowIn=GNOME;XFCE;\nName[en]=Zelvo CD (school)\nHidden=true\nHidden=false\n'
                '\n# Akcja\n[Desktop Action sprawdz]\nName=Sprawdź\nExec=true\n')
ADMIN = ENTRY + '# Dla całej szkoły\nX-GNOME-Autostart-Delay=5\n'
SAVES = [  # the case, the entries before, the action, what the user's entry keeps, starts
    ('the box left ticked: the suite\'s keys, every other line kept', {'user': RICH}, 'add',
     RICH, True),
    ('the administrator\'s entry cleared: the user\'s copy of it with Hidden=true',
     {'system': ADMIN}, 'remove', ADMIN, False),
    ('ticked again: the user\'s override gone', {'user': ADMIN + 'Hidden=true\n',
                                                 'system': ADMIN}, 'add', None, True),
    ('ticked over an administrator\'s entry of another program: the user\'s own entry',
     {'system': ENTRY.replace(trayflush, '/bin/true')}, 'add', '[Desktop Entry]\n', True),
]
for what, entries, action, kept, on in SAVES:
    status, box = store(entries, action, *([trayflush] if action == 'add' else []))
    user = read('user')
    # Each of the suite's keys once: GLib reads a key's last line, systemd's generator a text
    # key's first, and an earlier line outlives a change of the last.
    hidden = re.findall(r'^[ \t]*Hidden[ \t]*=.*$', user or '', re.MULTILINE)
    command = re.findall(r'^Exec=(.*)$', (user or '').split('\n[Desktop Action')[0], re.MULTILINE)
    bed.expect_eq(f'{what}: saved; GLib and the box; the user\'s other lines, Hidden once at '
                  'most, the suite\'s program; the administrator\'s entries untouched',
                  (0, on, str(int(on)), kept and foreign(kept), [] if on else ['Hidden=true'],
                   [f'"{trayflush}"'] if user else [],
                   {place: text for place, text in entries.items() if place != 'user'}),
                  (status, glib_starts(), box, user and foreign(user), hidden, command,
                   {place: read(place) for place in entries if place != 'user'}))
bed.close()
