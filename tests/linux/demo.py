#!/usr/bin/python3
"""For the main job, not a test: the Linux programs on simulated optical drives, showing the
requests each drive got and which trays opened; and trayflush's message box on a virtual
display, kept as a screenshot. Usage: demo.py SCREENSHOT"""

import sys

from bed import Bed

LETTERS = {'sr0': 'd:', 'sr1': 'e:', 'sr2': 'f:'}
bed = Bed('demo')
d, e, f = (bed.add_drive(name) for name in LETTERS)
e.disc = False
manager, devices = bed.start_udisks()
folder = bed.install('Zelvo CD', 'traypop', 'trayflush', 'komunikat')
print('Simulated drives: c: the root file system, d: sr0 with a disc, e: sr1 without a disc, '
      'f: sr2 with a disc; UDisks2 (a mock) on a private system bus')
print(f'Programs in {folder}')


def show(run=None):
    for name, requests in bed.requests().items():
        if requests:
            print(f'    {LETTERS[name]} /dev/{name}: {", ".join(requests)}')
    opened = ' '.join(LETTERS[name] for name in bed.open_trays())
    print(f'    trays opened: {opened or "none"}')
    if run and run.stderr:
        print(''.join(f'    standard error: {line}\n' for line in run.stderr.splitlines()), end='')
    bed.close_trays()


print('\n== traypop F, started by hand')
show(bed.run([f'{folder}/traypop', 'F']))

print('\n== trayflush, as the desktop starts it at logon')
run = bed.run([f'{folder}/trayflush'])
print(f'    trayflush ended after {run.seconds * 1000:.0f} ms')
bed.settle()
show(run)

print('\n== traypop d with the disc in d: mounted by the desktop')
d.mounted = True
show(bed.run([f'{folder}/traypop', 'd']))
for options in bed.method_calls(devices['sr0'], 'Unmount'):
    print(f'    UDisks2 was asked to unmount /dev/sr0 with {options[0]}')
d.mounted = False

print('\n== trayflush without traypop beside it, with no display')
folder = bed.install('Bez traypop', 'trayflush', 'komunikat')
show(bed.run([f'{folder}/trayflush']))

print('\n== the same on a desktop (a virtual display): the message box')
desktop = bed.start_display()
flush = bed.start([f'{folder}/trayflush'], env=bed.environment(**desktop))


shown = None
for drive in 'df':
    shown = bed.wait_for_box(desktop, other_than=shown)
    if not shown:
        print(f'    no box for {drive}:')
        break
    if drive == 'd':
        bed.iterate_until(lambda: False, 1)  # drawn by now
        bed.tool(['import', '-window', 'root', sys.argv[1]], desktop)
        bed.tool(['mogrify', '-trim', '+repage', sys.argv[1]], desktop)
        print(f'    the box for d: is up, titled "{shown[1]}"; screenshot: {sys.argv[1]}')
    bed.press(desktop, shown[0], 'Return')
    print(f'    the box for {drive}: was dismissed with Enter')
run = bed.finish(flush, 5)
print(f'    trayflush ended after {run.seconds * 1000:.0f} ms')
show(run)
bed.close()
