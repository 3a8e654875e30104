#!/usr/bin/python3
"""For the figures script, not a test: traywatch waiting for the session's end (a mock logind on
a private system bus) beside the minimal C program that holds the same delay inhibitor
(tests/bench/inhibitor_program.c): the CPU each uses over 10 idle seconds, and its resident
memory. Usage: idle.py TEST-TOOLS-FOLDER"""

import os
import sys

from bed import Bed

tools = sys.argv[1]
bed = Bed('idle')
bed.add_drive('sr0')
logind, manager = bed.start_logind('3')
runtime = os.path.join(bed.root, 'run')
os.mkdir(runtime, 0o700)
folder = bed.install('Zelvo CD', 'traywatch', 'traypop')
env = bed.environment(XDG_SESSION_ID='3', XDG_RUNTIME_DIR=runtime)
ticks = os.sysconf('SC_CLK_TCK')


def cpu_ticks(pid):
    with open(f'/proc/{pid}/stat') as stat:
        fields = stat.read().rsplit(')', 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def resident_kib(pid):
    with open(f'/proc/{pid}/status') as status:
        return int(next(line for line in status if line.startswith('VmRSS:')).split()[1])


figures = {}
for name, argv in (('C program', [os.path.join(tools, 'inhibitor_program')]),
                   ('traywatch', [f'{folder}/traywatch'])):
    before = len(manager.ListInhibitors())
    process = bed.start(argv, env=env)
    if not bed.iterate_until(lambda: len(manager.ListInhibitors()) > before, 10):
        print(f'{name}: did not take its inhibitor')
        continue
    bed.iterate_until(lambda: False, 1)  # past its start, so that only the waiting counts
    start = cpu_ticks(process.pid)
    bed.iterate_until(lambda: False, 10)
    used_ms = (cpu_ticks(process.pid) - start) * 1000 // ticks
    figures[name] = resident_kib(process.pid)
    print(f'{name:10} {used_ms} ms CPU over 10 idle seconds, {figures[name]} kB resident')
    process.kill()
    bed.finish(process, 5)
if len(figures) == 2:
    print(f'traywatch / C program, resident memory: '
          f'{figures["traywatch"] / figures["C program"]:.2f}')
bed.close()
