#!/usr/bin/python3
"""For the figures script, not a test: traypop's run time, start to end, on a simulated drive,
beside the minimal C program that makes the same open and ioctls (tests/bench/eject_program.c).
Both run under umockdev, whose answers cost them the same. Prints the medians of 31 runs."""

import os
import statistics
import sys

from bed import Bed

RUNS = 31
tools = sys.argv[1]  # the folder of the Linux baselines
bed = Bed('timing')
for name in ('sr0', 'sr1', 'sr2'):
    bed.add_drive(name)
folder = bed.install('Zelvo CD', 'traypop')


def median_ms(argv, env=None):
    times = []
    for _ in range(RUNS):
        bed.close_trays()
        times.append(bed.run(argv, env=env).seconds * 1000)
    bed.requests()
    return statistics.median(times)


bed.run([f'{folder}/traypop', 'e'])  # the first run pays for the page cache
true_ms = median_ms(['/bin/true'])  # what any program costs here, to start and to end
baseline = median_ms([os.path.join(tools, 'eject_program'), '/dev/sr1'])
traypop = median_ms([f'{folder}/traypop', 'e'])
# A letter with no drive: traypop's start and end alone, without udev's lookup of the drive.
started = median_ms([f'{folder}/traypop', '7'])
print(f'medians of {RUNS}: C program opening and ejecting /dev/sr1 {baseline:.2f} ms, '
      f'traypop e {traypop:.2f} ms, traypop 7 (no drive to look up or open) {started:.2f} ms')
print(f'traypop / C program: {traypop / baseline:.2f}; '
      f'of traypop\'s {traypop:.2f} ms, udev\'s lookup of the drive takes about '
      f'{traypop - started - (baseline - true_ms):.2f} ms')
# The same lookup through this machine's own udev, without the simulation's redirected files
# (there is no optical drive here, so nothing is opened): what the lookup costs for real.
real = {key: value for key, value in os.environ.items() if key not in ('LD_PRELOAD', 'UMOCKDEV_DIR')}
real_true, real_lookup = median_ms(['/bin/true'], real), median_ms([f'{folder}/traypop', 'd'], real)
print(f'on this machine\'s own udev: traypop d {real_lookup:.2f} ms beside /bin/true '
      f'{real_true:.2f} ms: the lookup and the start cost {real_lookup - real_true:.2f} ms there')
bed.close()
