#!/usr/bin/python3
"""traywatch on Linux: it waits with logind's delay inhibitor taken, touches no drive while it
waits, refuses a second copy in its session (copies in other sessions are their own), and when
the session ends (a shutdown, PrepareForShutdown(true); its session removed or closing; SIGTERM)
it opens the first optical drive that holds a disc and ends, letting the shutdown go on. A
cancelled shutdown changes nothing; the quiet stop ends it without opening anything. On a bus
with Debian's own policy, the same signals sent to it by another user are ignored, and logind's
are still obeyed after logind has restarted. Its session is logind's: konfigurator's side started
outside any session and without XDG_SESSION_ID meets it, copies of other sessions (any ids)
never do. Its runtime folder lies deeper than a socket's path may reach, and without one it meets
its copies in a private folder, where it leaves nothing behind. A drive that never answers and a
drive unplugged during the session hold up nothing. However long logind takes to answer, a quiet
stop right after the start and SIGTERM are heard."""

import os
import signal

import dbus
import dbus.lowlevel
from dbus.mainloop.glib import DBusGMainLoop

from bed import LATER_DRIVE, TOOLS, Bed

bed = Bed('traywatch')
d, e, f = (bed.add_drive(name) for name in ('sr0', 'sr1', 'sr2'))
e.disc = False
logind, manager = bed.start_logind('3', '4', debian_policy=True)
runtime = os.path.join(bed.root, 'run-' + 'r' * 120)
os.mkdir(runtime, 0o700)
client = os.path.join(TOOLS, 'watcher_client')
folder = bed.install('Zelvo CD', 'traywatch', 'traypop')
OPENED = ['CDROM_DRIVE_STATUS', 'CDROM_LOCKDOOR 0', 'CDROMEJECT']
ALREADY = ('Błąd: Program już jest uruchomiony !!! Program jest niewidoczny, w tej chwili czeka '
           'na zamknięcie systemu, aby móc wysunąć tackę napędu CD\n')


def environment(placed_in='', named=None):
    """A program's environment: placed by logind in a session (or in none), with XDG_SESSION_ID
    naming one (or unset)."""
    env = dict(bed.environment(XDG_RUNTIME_DIR=runtime, BED_LOGIND_SESSION=placed_in))
    env.pop('XDG_SESSION_ID', None)
    return dict(env, XDG_SESSION_ID=named) if named else env


def session(number):
    return environment(named=number)


def inhibitors():
    """The inhibitors held (the mock gives them all one made-up process id)."""
    return sorted((str(what), str(who), str(why), str(mode))
                  for what, who, why, mode, _uid, _pid in manager.ListInhibitors())


HELD = ('shutdown', 'Zelvo CD', 'Wysuwanie tacki napędu CD', 'delay')


def waiting(program, number='3', env=None):
    """Starts a traywatch and waits until it holds its inhibitor; returns the process."""
    before = len(inhibitors())
    watch = bed.start([f'{program}/traywatch'], env=env or session(number))
    bed.check(f'traywatch (session {number}) waits holding its delay inhibitor',
              bed.iterate_until(lambda: inhibitors() == [HELD] * (before + 1), 10))
    return watch


def shutdown(starting):
    logind.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForShutdown', 'b', [starting])


def ends(watch, what, requests, stderr='', still_held=0):
    run = bed.finish(watch, 10)
    bed.settle()
    opened = sorted(name for name, asked in requests.items() if 'CDROMEJECT' in asked)
    bed.expect_eq(f'{what}: it ends having asked the drives, opened {opened or "none"}, and let '
                  'go of the shutdown',
                  ((0, False), requests, opened, stderr, [HELD] * still_held),
                  ((run.returncode, run.timed_out), bed.requests(), bed.open_trays(), run.stderr,
                   inhibitors()))
    bed.close_trays()


def quiet_stop(env):
    """Asks the copy in this session for the quiet stop, as konfigurator does; true when none
    waits afterwards."""
    return bed.run([client, 'stop'], env=env).returncode == 0


# -- The first copy waits, touching no drive; a cancelled shutdown changes nothing.
watch = waiting(folder)
shutdown(False)
bed.iterate_until(lambda: watch.ended, 1)
bed.expect_eq('waiting, and after a cancelled shutdown: still there, no drive asked',
              (False, {'sr0': [], 'sr1': [], 'sr2': []}), (watch.ended, bed.requests()))

# -- Another user (nobody) says that logind's name is now theirs and sends logind's signals to
#    every connection by its unique name, as Debian's policy lets anyone: traywatch ignores them
#    all, though a connection of its user (a probe) hears them.
SPOOFER = '''
import sys, dbus, dbus.lowlevel
bus, session, login = dbus.bus.BusConnection(sys.argv[1]), sys.argv[3], '/org/freedesktop/login1'
for destination in [name for name in bus.list_names() if name.startswith(':')]:
    for path, member, signature, arguments in (
            ('/org/freedesktop/DBus', 'org.freedesktop.DBus.NameOwnerChanged', 'sss',
             ('org.freedesktop.login1', sys.argv[2], bus.get_unique_name())),
            (login, 'org.freedesktop.login1.Manager.PrepareForShutdown', 'b', (True,)),
            (login, 'org.freedesktop.login1.Manager.SessionRemoved', 'so', ('3', session)),
            (session, 'org.freedesktop.DBus.Properties.PropertiesChanged', 'sa{sv}as',
             ('org.freedesktop.login1.Session', {'State': dbus.String('closing', variant_level=1)},
              dbus.Array(signature='s')))):
        message = dbus.lowlevel.SignalMessage(path, *member.rsplit('.', 1))
        message.set_destination(destination)
        message.append(*arguments, signature=signature)
        bus.send_message(message)
bus.flush()
'''
probe, heard = dbus.bus.BusConnection(os.environ['DBUS_SYSTEM_BUS_ADDRESS'],
                                      mainloop=DBusGMainLoop()), []
probe.add_message_filter(lambda _probe, message: heard.append(message.get_member()) if (
    message.get_type() == dbus.lowlevel.MESSAGE_TYPE_SIGNAL and
    message.get_sender() != 'org.freedesktop.DBus') else None)
spoofer = bed.tool(['setpriv', '--reuid=65534', '--regid=65534', '--clear-groups',
                    '/usr/bin/python3', '-c', SPOOFER, os.environ['DBUS_SYSTEM_BUS_ADDRESS'],
                    probe.get_name_owner('org.freedesktop.login1'), bed.sessions['3']], {})
bed.iterate_until(lambda: len(heard) == 4, 10)
bed.iterate_until(lambda: watch.ended, 1)
bed.expect_eq("another user's NameOwnerChanged, PrepareForShutdown(true), SessionRemoved and "
              "State closing: heard by the probe, ignored by traywatch (still waiting, no drive "
              "asked, the inhibitor held)",
              ((0, ''), ['NameOwnerChanged', 'PrepareForShutdown', 'SessionRemoved',
                         'PropertiesChanged'], False, {'sr0': [], 'sr1': [], 'sr2': []}, [HELD]),
              (spoofer, heard, watch.ended, bed.requests(), inhibitors()))

# -- A second copy in the same session says so and ends; one in another session waits on its
#    own, and the quiet stop ends it without a look at the drives.
second = bed.run([f'{folder}/traywatch'], env=session('3'))
bed.expect_eq('a second copy in the session: the message (no display: on standard error), '
              'the end, no scan', (0, ALREADY, {'sr0': [], 'sr1': [], 'sr2': []}),
              (second.returncode, second.stderr, bed.requests()))
other = waiting(folder, '4')
bed.check('the quiet stop ends the copy in session 4', quiet_stop(session('4')))
ends(other, 'the quiet stop', {'sr0': [], 'sr1': [], 'sr2': []}, still_held=1)
bed.check('the first copy still waits', not watch.ended)

# -- The shutdown: d opens, f (also with a disc) stays closed.
shutdown(True)
ends(watch, 'a shutdown (f, with a disc too, stays closed)',
     {'sr0': OPENED, 'sr1': LATER_DRIVE, 'sr2': LATER_DRIVE})

# -- A logout: the session removed, or closing; or SIGTERM. With d empty, f opens.
d.disc = False
for what, env, end_session in [
        ('its session removed', session('3'), lambda: logind.EmitSignal(
            'org.freedesktop.login1.Manager', 'SessionRemoved', 'so',
            ['3', dbus.ObjectPath(bed.sessions['3'])])),
        ('its session (logind placed it there; no XDG_SESSION_ID) closing',
         environment(placed_in='3'), lambda: bed.session_mock('3').UpdateProperties(
             'org.freedesktop.login1.Session', {'State': 'closing'})),
        ('SIGTERM', session('3'), lambda: os.kill(watch.pid, signal.SIGTERM))]:
    watch = waiting(folder, env=env)
    end_session()
    ends(watch, what, {'sr0': ['CDROM_DRIVE_STATUS'], 'sr1': ['CDROM_DRIVE_STATUS'], 'sr2': OPENED})
bed.session_mock('3').UpdateProperties('org.freedesktop.login1.Session', {'State': 'active'})

# -- No disc anywhere: each drive asked, nothing opened, nothing said.
f.disc = False
watch = waiting(folder)
shutdown(True)
ends(watch, 'no disc', {name: ['CDROM_DRIVE_STATUS'] for name in ('sr0', 'sr1', 'sr2')})

# -- No traypop beside it: the message once, for the first drive with a disc, then the end.
d.disc = f.disc = True
alone = bed.install('Bez traypop', 'traywatch')
watch = waiting(alone)
shutdown(True)
ends(watch, 'traypop missing',
     {'sr0': ['CDROM_DRIVE_STATUS'], 'sr1': LATER_DRIVE, 'sr2': LATER_DRIVE},
     f'Błąd: Nie mogę znaleźć pliku: {alone}/traypop\n')

# -- No runtime folder: the copies meet in a private folder in the cache folder, one per
#    session still, and the quiet stop reaches them there.
home = os.path.join(bed.root, 'home')
os.mkdir(home, 0o700)
no_runtime = {key: value for key, value in session('3').items()
              if key not in ('XDG_RUNTIME_DIR', 'XDG_CACHE_HOME')}
no_runtime['HOME'] = home
watch = waiting(folder, env=no_runtime)
second = bed.run([f'{folder}/traywatch'], env=no_runtime)
bed.expect_eq('no runtime folder: a second copy is refused', (0, ALREADY),
              (second.returncode, second.stderr))
bed.check('no runtime folder: the quiet stop ends the first', quiet_stop(no_runtime))
ends(watch, 'no runtime folder: the quiet stop', {'sr0': [], 'sr1': [], 'sr2': []})
place = os.path.join(home, '.cache', 'zelvo-cd')
bed.expect_eq('no runtime folder: the place is private, and empty once the copy has ended',
              (0o700, []), (os.stat(place).st_mode & 0o777, os.listdir(place)))

# -- One session, different environments: konfigurator's side started outside any session and
#    without XDG_SESSION_ID (a user service of systemd's autostart generator) meets the traywatch
#    logind placed in the user's display session; outside any session XDG_SESSION_ID counts only
#    for a session of the user's; the session logind places a program in comes first. Copies of
#    other sessions, with long and odd ids too, never meet.
ODD = ['sesja:' + 'ż' * 40 + '/1', 'sesja:' + 'ż' * 40 + '/2']
for odd, uid in [*((odd, None) for odd in ODD), ('9', 4242)]:
    bed.add_session(odd, uid)
watchers = {number: waiting(folder, number[:8], environment(number)) for number in ('3', '4', *ODD)}
for what, display, env, stopped in [
        ('outside any session, no XDG_SESSION_ID: the display session', '3', environment(), '3'),
        ("outside, XDG_SESSION_ID of another user's: the display session", '4',
         environment(named='9'), '4'),
        ("outside, XDG_SESSION_ID of the user's: that", '3', environment(named=ODD[0]), ODD[0]),
        ('placed in 4, XDG_SESSION_ID of another: 4, where none waits now', '3',
         environment('4', ODD[1]), None),
        ('placed in a session with a long odd id: that', '3', environment(ODD[1]), ODD[1])]:
    bed.set_display(display)
    asked = bed.run([client, 'stop'], env=env).returncode
    bed.iterate_until(lambda: stopped is None or watchers[stopped].ended, 5)
    bed.expect_eq(f"konfigurator's side {what}: stops {stopped and stopped[:8]!r} alone",
                  (0, [stopped] if stopped else []),
                  (asked, [number for number, watch in watchers.items() if watch.ended]))
    if stopped:
        ends(watchers.pop(stopped), f'the quiet stop in session {stopped[:8]}',
             {'sr0': [], 'sr1': [], 'sr2': []}, still_held=len(watchers))

# -- d never answers and e is unplugged during the session: at the shutdown d is given up, and
#    the letter traypop gets for f's drive (now e) is the one it finds there.
d.hangs.add('CDROM_DRIVE_STATUS')
watch = waiting(folder)
bed.remove_drive('sr1')
shutdown(True)
ends(watch, 'a drive that never answers, one unplugged',
     {'sr0': ['CDROM_DRIVE_STATUS (no answer)'], 'sr2': OPENED})

# -- logind restarted under a new unique name: its shutdown still ends the watch.
d.hangs.clear()
watch = waiting(folder)
logind, manager = bed.restart_logind()
shutdown(True)
ends(watch, 'a shutdown from the restarted logind', {'sr0': OPENED, 'sr2': LATER_DRIVE})

# -- logind does not answer at all (frozen): traywatch still listens at once. A quiet stop sent
#    the moment konfigurator's start returns is never lost, and SIGTERM still ends it with its
#    scan.
os.kill(bed.logind_server.pid, signal.SIGSTOP)
outcomes = []
for attempt in range(5):
    outcomes.append((bed.run([client, 'start', f'{folder}/traywatch'], env=session('3')).returncode,
                     bed.run([client, 'stop'], env=session('3')).returncode))
bed.expect_eq('start then stop at once, five times, logind silent: each stop heard, none waits, '
              'no drive asked', ([(0, 0)] * 5, 1, {'sr0': [], 'sr2': []}, True),
              (outcomes, bed.run([client, 'waiting'], env=session('3')).returncode,
               bed.requests(), bed.settle()))
watch = bed.start([f'{folder}/traywatch'], env=session('3'))
bed.iterate_until(lambda: bed.run([client, 'waiting'], env=session('3')).returncode == 0, 10)
os.kill(watch.pid, signal.SIGTERM)
run = bed.finish(watch, 10)
bed.settle()
bed.expect_eq('SIGTERM while logind is silent: the scan, then the end',
              ((0, False), {'sr0': OPENED, 'sr2': LATER_DRIVE}),
              ((run.returncode, run.timed_out), bed.requests()))
os.kill(bed.logind_server.pid, signal.SIGCONT)
bed.close()
