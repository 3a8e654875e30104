#!/usr/bin/python3
"""For the figures script, not a test: traypop's run time, start to end, on a simulated drive,
beside util-linux's `eject -r` on the same drive and the minimal C program that makes the same
open and ioctls (tests/bench/eject_program.c), and what the shared C++ runtime costs a start
(an empty C++ program beside an empty C one). All run under umockdev, whose answers cost them
the same, interleaved, one run of each in turn, so that the machine's load weighs on each alike.
Prints the medians of 31 rounds."""

import os
import shutil
import statistics
import sys

from bed import Bed

ROUNDS = 31
tools = sys.argv[1]  # the folder of the Linux baselines
bed = Bed('timing')
for name in ('sr0', 'sr1', 'sr2'):
    bed.add_drive(name)
folder = bed.install('Zelvo CD', 'traypop')
eject = shutil.which('eject')  # util-linux's; scripts/setup.sh installs it

programs = {
    'empty C program': [os.path.join(tools, 'empty_linux_program')],
    'empty C++ program': [os.path.join(tools, 'runtime_program')],
    'C program opening and ejecting /dev/sr1': [os.path.join(tools, 'eject_program'), '/dev/sr1'],
    'traypop e': [f'{folder}/traypop', 'e'],
    # A letter with no drive: traypop's start and end alone, without a drive to find or open.
    'traypop 7': [f'{folder}/traypop', '7'],
}
if eject:
    programs['eject -r /dev/sr1'] = [eject, '-r', '/dev/sr1']


def medians_ms(programs, env=None):
    times = {name: [] for name in programs}
    for argv in programs.values():
        bed.run(argv, env=env)  # the first run pays for the page cache
    for _ in range(ROUNDS):
        for name, argv in programs.items():
            bed.close_trays()
            times[name].append(bed.run(argv, env=env).seconds * 1000)
    bed.requests()
    return {name: statistics.median(runs) for name, runs in times.items()}


ms = medians_ms(programs)
print(f'medians of {ROUNDS} interleaved rounds: ' +
      ', '.join(f'{name} {value:.2f} ms' for name, value in ms.items()))
traypop = ms['traypop e']
if eject:
    print(f'traypop e / eject -r: {traypop / ms["eject -r /dev/sr1"]:.2f} (aim: at most 1.2)')
else:
    print('traypop e / eject -r: util-linux eject is not installed (scripts/setup.sh does it)')
print(f'traypop e / C program: {traypop / ms["C program opening and ejecting /dev/sr1"]:.2f}')
runtime = ms['empty C++ program'] - ms['empty C program']
print(f'the shared C++ runtime costs a start {runtime:.2f} ms '
      f'({ms["empty C++ program"] / ms["empty C program"]:.2f}x an empty C program)')
# The same lookup through this machine's own udev, without the simulation's redirected files
# (there is no optical drive here, so nothing is opened): what the lookup costs for real.
real = {key: value for key, value in os.environ.items()
        if key not in ('LD_PRELOAD', 'UMOCKDEV_DIR')}
real_ms = medians_ms({'empty C program': programs['empty C program'],
                      'traypop d': [f'{folder}/traypop', 'd']}, real)
print(f'on this machine\'s own udev: traypop d {real_ms["traypop d"]:.2f} ms beside the empty C '
      f'program\'s {real_ms["empty C program"]:.2f} ms')
bed.close()
