#!/usr/bin/python3
"""traypop on Linux: for the first character of its argument text it unlocks and ejects the
optical drive of that letter (d: sr0, e: sr1, f: sr2), asks nothing else of any drive and shows
nothing. Its exit status and one line on standard error tell a script what happened: 0 the tray
was asked to open, 2 no such drive, 1 a drive that failed, also one that never answers, whether
it is the eject or the open that does not return; the line is valid UTF-8 whatever the
argument's bytes."""

import os
import shlex

from bed import TOOLS, Bed

bed = Bed('traypop')
for name in ('sr0', 'sr1', 'sr2'):
    bed.add_drive(name, disc=True)
folder = bed.install('Zelvo CD', 'traypop')
traypop = f'{folder}/traypop'

OPENED = ['CDROM_LOCKDOOR 0', 'CDROMEJECT']
NO_DRIVE = 'traypop: nie ma napędu optycznego o literze {}\n'
CASES = [  # arguments, the drive whose tray opens (None: no drive is touched), status, error
    (['E'], 'sr1', 0, ''),
    (['e'], 'sr1', 0, ''),
    (['F:'], 'sr2', 0, ''),
    (['F:\\'], 'sr2', 0, ''),
    (['F', 'G'], 'sr2', 0, ''),
    (['F G'], 'sr2', 0, ''),
    (['d'], 'sr0', 0, ''),
    (['7'], None, 2, NO_DRIVE.format('7')),
    ([], None, 2, 'traypop: nie podano litery napędu\n'),
    (['g'], None, 2, NO_DRIVE.format('g')),  # a letter with no drive
    (['c'], None, 2, NO_DRIVE.format('c')),  # the root file system is no optical drive
]
for arguments, opened, status, error in CASES:
    bed.close_trays()
    run = bed.run([traypop, *arguments])
    requests = {name: OPENED if name == opened else [] for name in bed.drives}
    bed.expect_eq(f'traypop {shlex.join(arguments) or "(no argument)"}: requests per drive, '
                  'open trays, its status and error, its own end',
                  (requests, [opened] if opened else [], status, '', error, False),
                  (bed.requests(), bed.open_trays(), run.returncode, run.stdout, run.stderr,
                   run.timed_out))

# -- A drive that never answers the eject: given up at the deadline and reported; the call
#    left behind ends with it.
bed.drives['sr1'].hangs.add('CDROMEJECT')
run = bed.run([traypop, 'e'], seconds=20)
bed.expect_eq('a drive that never answers: traypop gives up, says so and fails',
              ({'sr0': [], 'sr1': ['CDROM_LOCKDOOR 0', 'CDROMEJECT (no answer)'], 'sr2': []},
               False, 1, 'traypop: napęd e (/dev/sr1) nie odpowiada\n'),
              (bed.requests(), run.timed_out, run.returncode, run.stderr))
print(f'a hung eject was given up after {run.seconds:.1f} s')
bed.drives['sr1'].hangs.clear()

# -- An open of the drive that does not return (a stuck command holds the drive's lock): given
#    up at the deadline too, and said alike.
stuck_open = os.path.join(TOOLS, 'stuck_open.so')
stuck = bed.environment(LD_PRELOAD=f'{stuck_open} libumockdev-preload.so.0',
                        ZELVO_STUCK_NODE='/dev/sr1')
run = bed.run([traypop, 'e'], seconds=20, env=stuck)
bed.expect_eq('an open that does not return: traypop gives up, says so and fails',
              ({'sr0': [], 'sr1': [], 'sr2': []}, False, 1,
               'traypop: napęd e (/dev/sr1) nie odpowiada\n'),
              (bed.requests(), run.timed_out, run.returncode, run.stderr))
print(f'a hung open was given up after {run.seconds:.1f} s')

# -- A byte that is no part of UTF-8 as the letter ($'\xff'): written out, so that the line
#    stays valid UTF-8.
run = bed.run([traypop, '\udcff'])
bed.expect_eq("traypop $'\\xff': no such drive, said in valid UTF-8",
              (2, 'traypop: nie ma napędu optycznego o literze \\xff\n'),
              (run.returncode, run.stderr))
bed.check('nothing traypop started outlived it', bed.settle())
bed.close()
