#!/usr/bin/python3
"""For the figures script, not a test: konfigurator's quiet stop racing the start of traywatch
(200 saves that start it, each followed at once by one that stops it, with logind answering, and
20 with logind silent, where each side waits out its session lookup), and how long a drive that
never answers holds up trayflush and traypop. Usage: faults.py TEST-TOOLS-FOLDER"""

import os
import signal
import sys
import time

from bed import Bed

client = os.path.join(sys.argv[1], 'watcher_client')
bed = Bed('faults')
d, f = bed.add_drive('sr0'), bed.add_drive('sr1')
bed.start_logind('3')
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
bed.close()
