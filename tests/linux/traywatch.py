#!/usr/bin/python3
"""traywatch on Linux: it waits with logind's delay inhibitor taken, touches no drive while it
waits, refuses a second copy in its session (copies in other sessions are their own), and when
the session ends (a shutdown, PrepareForShutdown(true); its session removed or closing; SIGTERM)
it opens the first optical drive that holds a disc and ends, letting the shutdown go on. A
cancelled shutdown changes nothing; the quiet stop ends it without opening anything. Its runtime
folder lies deeper than a socket's path may reach, and without one it meets its copies in a
private folder. A drive that never answers and a drive unplugged during the session hold up
nothing. However long logind takes to answer, a quiet stop right after the start and SIGTERM
are heard."""

import os
import signal

import dbus

from bed import LATER_DRIVE, TOOLS, Bed

bed = Bed('traywatch')
d, e, f = (bed.add_drive(name) for name in ('sr0', 'sr1', 'sr2'))
e.disc = False
logind, manager = bed.start_logind('3', '4')
runtime = os.path.join(bed.root, 'run-' + 'r' * 120)
os.mkdir(runtime, 0o700)
client = os.path.join(TOOLS, 'watcher_client')
folder = bed.install('Zelvo CD', 'traywatch', 'traypop')
OPENED = ['CDROM_DRIVE_STATUS', 'CDROM_LOCKDOOR 0', 'CDROMEJECT']
ALREADY = ('Błąd: Program już jest uruchomiony !!! Program jest niewidoczny, w tej chwili czeka '
           'na zamknięcie systemu, aby móc wysunąć tackę napędu CD\n')


def session(number):
    return bed.environment(XDG_SESSION_ID=number, XDG_RUNTIME_DIR=runtime)


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
for what, end_session in [
        ('its session removed', lambda: logind.EmitSignal(
            'org.freedesktop.login1.Manager', 'SessionRemoved', 'so',
            ['3', dbus.ObjectPath('/org/freedesktop/login1/session/3')])),
        ('its session closing', lambda: bed.session_mock('3').UpdateProperties(
            'org.freedesktop.login1.Session', {'State': 'closing'})),
        ('SIGTERM', lambda: os.kill(watch.pid, signal.SIGTERM))]:
    watch = waiting(folder)
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
bed.expect_eq('no runtime folder: the place is private',
              0o700, os.stat(os.path.join(home, '.cache', 'zelvo-cd')).st_mode & 0o777)

# -- d never answers and e is unplugged during the session: at the shutdown d is given up, and
#    the letter traypop gets for f's drive (now e) is the one it finds there.
d.hangs.add('CDROM_DRIVE_STATUS')
watch = waiting(folder)
bed.remove_drive('sr1')
shutdown(True)
ends(watch, 'a drive that never answers, one unplugged',
     {'sr0': ['CDROM_DRIVE_STATUS (no answer)'], 'sr2': OPENED})

# -- logind does not answer at all (frozen): traywatch still listens at once. A quiet stop sent
#    the moment konfigurator's start returns is never lost, and SIGTERM still ends it with its
#    scan.
os.kill(bed.logind_server.pid, signal.SIGSTOP)
d.hangs.clear()
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
