#!/usr/bin/python3
"""traywatch on Linux: it waits with logind's delay inhibitor taken, touches no drive while it
waits, refuses a second copy in its session (copies in other sessions are their own), and when
the session ends (a shutdown, PrepareForShutdown(true); its session removed or closing; SIGTERM)
it opens the first optical drive that holds a disc and ends, letting the shutdown go on. A
cancelled shutdown changes nothing; the quiet stop ends it without opening anything."""

import os
import signal
import socket

import dbus

from bed import Bed

bed = Bed('traywatch')
d, e, f = (bed.add_drive(name) for name in ('sr0', 'sr1', 'sr2'))
e.disc = False
logind, manager = bed.start_logind('3', '4')
runtime = os.path.join(bed.root, 'run')
os.mkdir(runtime, 0o700)
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


def waiting(program, number='3'):
    """Starts a traywatch and waits until it holds its inhibitor; returns the process."""
    before = len(inhibitors())
    watch = bed.start([f'{program}/traywatch'], env=session(number))
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


def quiet_stop(number):
    """Asks the copy in this session for the quiet stop, as konfigurator does; true when its
    connection closed (the copy ended) within the deadline."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
        client.connect(os.path.join(runtime, f'zelvo-cd-traywatch-session-{number}.stop'))
        client.sendall(b'stop\n')
        client.settimeout(10)
        return client.recv(1) == b''


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
bed.check('the quiet stop ends the copy in session 4', quiet_stop('4'))
ends(other, 'the quiet stop', {'sr0': [], 'sr1': [], 'sr2': []}, still_held=1)
bed.check('the first copy still waits', not watch.ended)

# -- The shutdown: d opens, f (also with a disc) stays closed.
shutdown(True)
ends(watch, 'a shutdown (f, with a disc too, stays closed)', {'sr0': OPENED, 'sr1': [], 'sr2': []})

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
ends(watch, 'traypop missing', {'sr0': ['CDROM_DRIVE_STATUS'], 'sr1': [], 'sr2': []},
     f'Błąd: Nie mogę znaleźć pliku: {alone}/traypop\n')
bed.close()
