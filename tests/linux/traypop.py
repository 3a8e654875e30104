#!/usr/bin/python3
"""traypop on Linux: for the first character of its argument text it unlocks and ejects the
optical drive of that letter (d: sr0, e: sr1, f: sr2), asks nothing else of any drive, shows
nothing and ends at once, whatever the letter."""

import shlex

from bed import Bed

bed = Bed('traypop')
for name in ('sr0', 'sr1', 'sr2'):
    bed.add_drive(name, disc=True)
folder = bed.install('Zelvo CD', 'traypop')
traypop = f'{folder}/traypop'

OPENED = ['CDROM_LOCKDOOR 0', 'CDROMEJECT']
CASES = [  # arguments, the drive whose tray opens (None: no drive is touched)
    (['E'], 'sr1'),
    (['e'], 'sr1'),
    (['F:'], 'sr2'),
    (['F:\\'], 'sr2'),
    (['F', 'G'], 'sr2'),
    (['F G'], 'sr2'),
    (['d'], 'sr0'),
    (['7'], None),
    ([], None),
    (['g'], None),  # a letter with no drive
    (['c'], None),  # the root file system is no optical drive
]
for arguments, opened in CASES:
    bed.close_trays()
    run = bed.run([traypop, *arguments])
    requests = {name: OPENED if name == opened else [] for name in bed.drives}
    bed.expect_eq(f'traypop {shlex.join(arguments) or "(no argument)"}: requests per drive, '
                  'open trays, a quiet end within a second',
                  (requests, [opened] if opened else [], 0, '', '', True),
                  (bed.requests(), bed.open_trays(), run.returncode, run.stdout, run.stderr,
                   run.seconds < 1))
bed.close()
