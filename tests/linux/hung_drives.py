#!/usr/bin/python3
"""traywatch at a shutdown while drives hang. Its disc tests run all at once, each waited for
until its deadline or until the time logind's inhibitor delay (InhibitDelayMaxUSec, here 2 s)
leaves for the scan, whichever comes first: with three drives that never answer before the one
with a disc, the eject is asked within four fifths of the delay. A drive unplugged while its
test waits costs only itself: the next drive, lettered anew, opens."""

import time

import dbus

from bed import LATER_DRIVE, Bed

DELAY = 2.0  # logind's InhibitDelayMaxUSec, in seconds: shorter than a disc test's deadline
OPENED = ['CDROM_DRIVE_STATUS', 'CDROM_LOCKDOOR 0', 'CDROMEJECT']
HUNG = ['CDROM_DRIVE_STATUS (no answer)']

bed = Bed('hung-drives')
drives = [bed.add_drive(name) for name in ('sr0', 'sr1', 'sr2', 'sr3')]
logind, manager = bed.start_logind('3')
logind.AddProperty('org.freedesktop.login1.Manager', 'InhibitDelayMaxUSec',
                   dbus.UInt64(int(DELAY * 1_000_000)))
folder = bed.install('Zelvo CD', 'traywatch', 'traypop')
env = bed.environment(XDG_SESSION_ID='3')


def shutdown_with(what, expected, unplugging=None):
    """Starts traywatch and, once it holds its inhibitor, a shutdown (unplugging a drive once
    its test waits); checks what it asked of the drives and returns when the shutdown began."""
    watch = bed.start([f'{folder}/traywatch'], env=env)
    bed.check(f'{what}: traywatch waits holding its inhibitor',
              bed.iterate_until(lambda: len(manager.ListInhibitors()) == 1, 10))
    started = time.monotonic()
    logind.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForShutdown', 'b', [True])
    if unplugging:
        bed.iterate_until(lambda: bed.drives[unplugging].requests, 5)
        bed.remove_drive(unplugging)
    run = bed.finish(watch, 10)
    bed.expect_eq(f'{what}: the drives asked, the end, the shutdown let go, nothing left running',
                  (expected, (0, False, ''), [], True),
                  (bed.requests(), (run.returncode, run.timed_out, run.stderr),
                   list(manager.ListInhibitors()), bed.settle()))
    return started


# -- sr0 to sr2 never answer, sr3 holds a disc: the eject is asked well within the delay.
for drive in drives[:3]:
    drive.hangs.add('CDROM_DRIVE_STATUS')
started = shutdown_with('three drives that never answer',
                        {'sr0': HUNG, 'sr1': HUNG, 'sr2': HUNG, 'sr3': OPENED})
asked = (drives[3].eject_asked or float('inf')) - started
bed.check(f'the eject asked {asked:.2f} s after the shutdown began, within four fifths of '
          f'logind\'s {DELAY:.0f} s', asked < DELAY * 4 / 5)

# -- sr0 still never answers and is unplugged while its test waits; sr1 to sr3 hold discs:
#    sr1, lettered d by then, opens.
for drive in drives[1:3]:
    drive.hangs.clear()
shutdown_with('sr0 unplugged while its test waits',
              {'sr1': OPENED, 'sr2': LATER_DRIVE, 'sr3': LATER_DRIVE}, unplugging='sr0')
bed.close()
