#!/usr/bin/python3
"""For the main job, not a test: the Linux programs on simulated optical drives, showing the
requests each drive got and which trays opened; trayflush's message box on a virtual display,
kept as a screenshot; traywatch at the session's end (a mock logind); and konfigurator: its
window (a screenshot), a save, the autostart entries it wrote, and a logon that starts them.
Usage: demo.py SCREENSHOT-FOLDER"""

import os
import sys

import gi

gi.require_version('Gio', '2.0')
from gi.repository import Gio, GLib  # noqa: E402

from bed import Bed

LETTERS = {'sr0': 'd:', 'sr1': 'e:', 'sr2': 'f:'}
bed = Bed('demo')
d, e, f = (bed.add_drive(name) for name in LETTERS)
e.disc = False
manager, devices = bed.start_udisks()
folder = bed.install('Zelvo CD', 'traypop', 'trayflush', 'komunikat')
print('Simulated drives: c: the root file system, d: sr0 with a disc, e: sr1 without a disc, '
      'f: sr2 with a disc; UDisks2 (a mock) on a private system bus')
print(f'Programs in {folder}')


def show(run=None):
    for name, requests in bed.requests().items():
        if requests:
            print(f'    {LETTERS[name]} /dev/{name}: {", ".join(requests)}')
    opened = ' '.join(LETTERS[name] for name in bed.open_trays())
    print(f'    trays opened: {opened or "none"}')
    if run and run.stderr:
        print(''.join(f'    standard error: {line}\n' for line in run.stderr.splitlines()), end='')
    bed.close_trays()


print('\n== traypop F, started by hand')
show(bed.run([f'{folder}/traypop', 'F']))

print('\n== trayflush, as the desktop starts it at logon')
run = bed.run([f'{folder}/trayflush'])
print(f'    trayflush ended after {run.seconds * 1000:.0f} ms')
bed.settle()
show(run)

print('\n== traypop d with the disc in d: mounted by the desktop')
d.mounted = True
show(bed.run([f'{folder}/traypop', 'd']))
for options in bed.method_calls(devices['sr0'], 'Unmount'):
    print(f'    UDisks2 was asked to unmount /dev/sr0 with {options[0]}')
d.mounted = False

print('\n== traypop g (no such drive), and trayflush while d never answers (a failing drive)')
run = bed.run([f'{folder}/traypop', 'g'])
print(f'    traypop g: exit status {run.returncode}')
show(run)
d.hangs.add('CDROM_DRIVE_STATUS')
run = bed.run([f'{folder}/trayflush'], seconds=20)
print(f'    trayflush gave d up and ended after {run.seconds * 1000:.0f} ms')
bed.settle()
show(run)
d.hangs.clear()

print('\n== trayflush without traypop beside it, with no display')
folder = bed.install('Bez traypop', 'trayflush', 'komunikat')
show(bed.run([f'{folder}/trayflush']))

print('\n== the same on a desktop (a virtual display): the message box')
desktop = bed.start_display()
flush = bed.start([f'{folder}/trayflush'], env=bed.environment(**desktop))


shown = None
for drive in 'df':
    shown = bed.wait_for_box(desktop, other_than=shown)
    if not shown:
        print(f'    no box for {drive}:')
        break
    if drive == 'd':
        picture = os.path.join(sys.argv[1], 'linux-message-box.png')
        bed.picture(desktop, 'root', picture)
        print(f'    the box for d: is up, titled "{shown[1]}"; screenshot: {picture}')
    bed.press(desktop, shown[0], 'Return')
    print(f'    the box for {drive}: was dismissed with Enter')
run = bed.finish(flush, 5)
print(f'    trayflush ended after {run.seconds * 1000:.0f} ms')
show(run)

print('\n== traywatch waits for the end of the session (logind: a mock on the private bus)')
logind, manager = bed.start_logind('3', '5')
suite = bed.install('Program Files/Zelvo CD', 'traypop', 'trayflush', 'traywatch',
                    'konfigurator', 'komunikat')
home = os.path.join(bed.root, 'home')
runtime = os.path.join(bed.root, 'run')
os.makedirs(home)
os.mkdir(runtime, 0o700)


def user(session):
    return bed.environment(**desktop, HOME=home, XDG_RUNTIME_DIR=runtime, XDG_SESSION_ID=session)


def inhibitors():
    return [f'{who}: "{why}" ({mode}, {what})'
            for what, who, why, mode, _uid, _pid in manager.ListInhibitors()]


watch = bed.start([f'{suite}/traywatch'], env=user('3'))
bed.iterate_until(lambda: inhibitors(), 5)
print(f'    waiting; logind holds the shutdown for: {"; ".join(inhibitors()) or "nothing"}')
logind.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForShutdown', 'b', [True])
run = bed.finish(watch, 10)
print(f'    PrepareForShutdown(true): traywatch ended (status {run.returncode}); '
      f'inhibitors left: {len(inhibitors())}')
bed.settle()
show(run)

print('\n== konfigurator: the settings window (GTK 4)')
window, box = 'Konfigurator programu zelvo CD', 'Zelvo CD - konfigurator'
konfigurator = bed.start([f'{suite}/konfigurator'], env=user('3'))
found = bed.tool(['xdotool', 'search', '--sync', '--onlyvisible', '--name', window], desktop)[1]
xid = found.split()[0] if found.split() else None
if xid:
    picture = os.path.join(sys.argv[1], 'linux-konfigurator.png')
    bed.picture(desktop, xid, picture)
    print(f'    the window is up; screenshot: {picture}')
    print('    ticking both boxes with the keyboard (Space, Tab, Space) and saving (Tab, Enter)')
    for key in ('space', 'Tab', 'space', 'Tab', 'Return'):
        bed.press(desktop, xid, key)
    found = bed.tool(['xdotool', 'search', '--sync', '--onlyvisible', '--name', box], desktop)[1]
    if found.split():
        print(f'    a box titled "{box}" confirms the save; Enter closes it')
        bed.press(desktop, found.split()[-1], 'Return')
run = bed.finish(konfigurator, 10)
print(f'    konfigurator ended (status {run.returncode})')
autostart = os.path.join(home, '.config', 'autostart')
for name in sorted(os.listdir(autostart)) if os.path.isdir(autostart) else []:
    print(f'    {autostart}/{name}:')
    with open(os.path.join(autostart, name)) as entry:
        print(''.join(f'        {line}' for line in entry))
print(f'    the save started traywatch at once: {"; ".join(inhibitors()) or "no"}')
logind.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForShutdown', 'b', [True])
bed.iterate_until(lambda: not inhibitors(), 10)
print('    ... and at the end of this session it opened:')
bed.settle()
show()

print('\n== a logon (a new session) starts what the autostart folder holds')
started = []
for name in sorted(os.listdir(autostart)) if os.path.isdir(autostart) else []:
    info = Gio.DesktopAppInfo.new_from_filename(os.path.join(autostart, name))
    if info and not info.get_is_hidden():
        argv = GLib.shell_parse_argv(info.get_commandline())[1]
        print(f'    {name}: {argv}')
        started.append(bed.start(argv, env=user('5')))
bed.iterate_until(lambda: len(bed.open_trays()) == 2 and inhibitors(), 10)
print(f'    traywatch waits: {"; ".join(inhibitors()) or "no"}')
show()
for process in started:
    process.kill()
    bed.finish(process, 5)
bed.close()
