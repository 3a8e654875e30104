#!/usr/bin/python3
"""For the figures script, not a test: konfigurator's quiet stop racing the start of traywatch
(200 saves that start it, each followed at once by one that stops it, with logind answering, and
20 with logind silent, where each side waits out its session lookup), how long a drive that never
answers holds up trayflush and traypop, and how soon after a shutdown's start traywatch asks for
the eject when three drives never answer before the one with a disc.
Usage: faults.py TEST-TOOLS-FOLDER"""

import os
import signal
import sys
import time

import dbus

from bed import Bed

client = os.path.join(sys.argv[1], 'watcher_client')
bed = Bed('faults')
d, f = bed.add_drive('sr0'), bed.add_drive('sr1')
mock_logind, manager = bed.start_logind('3')
runtime = os.path.join(bed.root, 'run')
os.mkdir(runtime, 0o700)
folder = bed.install('Zelvo CD', 'traywatch', 'trayflush', 'traypop')
env = bed.environment(XDG_SESSION_ID='3', XDG_RUNTIME_DIR=runtime)

for logind, pairs in (('answering', 200), ('silent', 20)):
    if logind == 'silent':
        os.kill(bed.logind_server.pid, signal.SIGSTOP)
    lost, started = 0, time.monotonic()
    for _ in range(pairs):
        bed.run([client, 'start', f'{folder}/traywatch'], env=env)
        bed.run([client, 'stop'], env=env)
        if bed.run([client, 'waiting'], env=env).returncode == 0:
            lost += 1
            bed.run([client, 'stop'], env=env)
        bed.settle(1)
    print(f'start then stop at once, {pairs} times, logind {logind}: {lost} stops lost '
          f'({(time.monotonic() - started) / pairs * 1000:.0f} ms a pair)')
os.kill(bed.logind_server.pid, signal.SIGCONT)
bed.requests()

d.hangs.add('CDROM_DRIVE_STATUS')
flush = bed.start([f'{folder}/trayflush'])
bed.iterate_until(lambda: f.tray_open, 20)
print(f'trayflush, d never answers: f opened {time.monotonic() - flush.started:.1f} s after the '
      f'start (0.5 s without the sick drive)')
bed.finish(flush, 20)
d.hangs = {'CDROMEJECT'}
run = bed.run([f'{folder}/traypop', 'd'], seconds=20)
print(f'traypop, d never answers the eject: gave up after {run.seconds:.1f} s, status '
      f'{run.returncode}: {run.stderr.strip()}')
bed.settle()

# Three drives that never answer before the one with a disc: at a shutdown the disc tests run
# at once, each waited for until its deadline or the time logind's delay leaves, whichever
# comes first.
g = bed.add_drive('sr2')
h = bed.add_drive('sr3')
for drive in (d, f, g):
    drive.hangs = {'CDROM_DRIVE_STATUS'}
for delay in (None, 2):
    if delay:
        mock_logind.AddProperty('org.freedesktop.login1.Manager', 'InhibitDelayMaxUSec',
                           dbus.UInt64(delay * 1_000_000))
    watch = bed.start([f'{folder}/traywatch'], env=env)
    bed.iterate_until(lambda: len(manager.ListInhibitors()) == 1, 10)
    h.tray_open, h.eject_asked = False, None
    started = time.monotonic()
    mock_logind.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForShutdown', 'b', [True])
    bed.iterate_until(lambda: h.eject_asked, 10)
    asked = f'{h.eject_asked - started:.2f} s' if h.eject_asked else 'never'
    print(f'three drives never answer, logind\'s delay {delay or 5} s'
          f'{"" if delay else " (its default: the mock does not say)"}: the fourth drive\'s '
          f'eject asked {asked} after the shutdown began (aim: within {(delay or 5) * 0.8:.1f} s)')
    bed.finish(watch, 10)
    bed.settle()
bed.close()
