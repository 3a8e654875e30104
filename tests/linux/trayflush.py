#!/usr/bin/python3
"""trayflush on Linux: half a second after it starts it opens every optical drive that holds a
disc, by starting traypop beside it for each, and it is gone about a second later; a missing
traypop is reported drive by drive (without a display, on standard error). A drive that never
answers, even one unplugged while it keeps the scan waiting, costs only itself."""

import json
import os
import signal
import textwrap

from bed import Bed

bed = Bed('trayflush')
d, e, f = (bed.add_drive(name) for name in ('sr0', 'sr1', 'sr2'))
e.disc = False
STATUS, OPENED = ['CDROM_DRIVE_STATUS'], ['CDROM_DRIVE_STATUS', 'CDROM_LOCKDOOR 0', 'CDROMEJECT']


def ends_on_time(run):
    """Ended by itself, not before its third tick. How soon after it is for the figures: a busy
    machine may delay any process by seconds."""
    return (run.returncode, run.timed_out, 1.2 <= run.seconds)


def deepest_folder(folder, program):
    """The folder, made so deep that the program's path in it is the longest the kernel gives for
    a running program (PATH_MAX less its end)."""
    path = os.path.join(bed.root, folder)
    length = os.pathconf('/', 'PC_PATH_MAX') - 1 - len(f'/{program}')
    while (left := length - len(os.fsencode(path))) > 202:
        path += '/' + 'g' * 200
    return path + '/' + 'g' * (left - 1)


# -- Discs in d and f, traypop beside trayflush in a folder with blanks and Polish letters.
folder = bed.install('Program Files/Zażółć Zelvo', 'trayflush', 'traypop')
flush = bed.start([f'{folder}/trayflush'])
bed.iterate_until(lambda: d.tray_open and f.tray_open, 5)
# Each traypop has ended by now; trayflush, which runs on for a second, has reaped them.
reaped = bed.iterate_until(lambda: not bed.children_of(flush.pid), 0.8) and not flush.ended
run = bed.finish(flush, 10)
print(f'trayflush ran for {run.seconds * 1000:.0f} ms')
bed.expect_eq('d and f are asked and opened, e (no disc) only asked',
              ({'sr0': OPENED, 'sr1': STATUS, 'sr2': OPENED}, ['sr0', 'sr2']),
              (bed.requests(), bed.open_trays()))
bed.expect_eq('trayflush ends about 1.5 s after it starts, quietly', ((0, False, True), ''),
              (ends_on_time(run), run.stderr))
bed.check('no traypop is left a zombie while trayflush runs on', reaped)
bed.check('no program of the test outlived it', bed.settle())

# -- How traypop is started: by its full path, in its own folder, with the lower-case letter
#    alone as its argument, with no blocked signal and no descriptor beyond the standard three
#    (not even one that trayflush's own parent left open to it).
folder = bed.install('Ścieżka z odstępami', 'trayflush')
with open(f'{folder}/traypop', 'w') as recorder:
    recorder.write(textwrap.dedent('''\
        #!/usr/bin/python3
        import json, os, sys
        def is_open(fd):
            try:
                os.fstat(fd)
                return True
            except OSError:
                return False
        fds = [fd for fd in range(3, 1024) if is_open(fd)]
        with open('/proc/self/status') as status:
            blocked = [line.split()[1] for line in status if line.startswith('SigBlk:')][0]
        with open(os.path.join(os.path.dirname(sys.argv[0]), 'record.txt'), 'a') as record:
            record.write(json.dumps([sys.argv, os.getcwd(), int(blocked, 16), fds]) + '\\n')
        '''))
os.chmod(f'{folder}/traypop', 0o755)
bed.close_trays()
inherited = os.open('/dev/null', os.O_RDONLY)
os.set_inheritable(inherited, True)
run = bed.run([f'{folder}/trayflush'], pass_fds=(inherited,))
bed.requests()
os.close(inherited)
bed.settle()
with open(f'{folder}/record.txt') as record:
    starts = sorted(json.loads(line) for line in record)
bed.expect_eq('traypop started for d and f: full path, own folder, no blocked signal, no '
              'descriptor', [[[f'{folder}/traypop', letter], folder, 0, []] for letter in 'df'],
              starts)

# -- No disc anywhere: every drive is asked, nothing is started, nothing is said.
d.disc = f.disc = False
os.remove(f'{folder}/record.txt')
run = bed.run([f'{folder}/trayflush'])
bed.expect_eq('no disc: only asked, nothing started, ends on time quietly',
              ({'sr0': STATUS, 'sr1': STATUS, 'sr2': STATUS}, False, (0, False, True), ''),
              (bed.requests(), os.path.exists(f'{folder}/record.txt'), ends_on_time(run),
               run.stderr))

# -- d never answers: given up after its deadline, the others served in letter order, and the
#    program ends with nothing left behind.
d.hangs.add('CDROM_DRIVE_STATUS')
f.disc = True
folder = bed.install('Zelvo CD', 'trayflush', 'traypop')
run = bed.run([f'{folder}/trayflush'], seconds=20)
bed.expect_eq('a drive that never answers: skipped, f opened, the end',
              ({'sr0': ['CDROM_DRIVE_STATUS (no answer)'], 'sr1': STATUS, 'sr2': OPENED},
               ['sr2'], (0, False, ''), True),
              (bed.requests(), bed.open_trays(), (run.returncode, run.timed_out, run.stderr),
               bed.settle()))
print(f'with a drive that never answers trayflush ran for {run.seconds:.1f} s')
d.hangs.clear()
bed.close_trays()

# -- No traypop beside trayflush, no display: the message for d, then the one for f, go to
#    standard error, and the program ends on time. trayflush lies as deep as a running program
#    can, and still names the whole path.
d.disc = f.disc = True
folder = bed.install(deepest_folder('Bez traypop', 'trayflush'), 'trayflush')
run = bed.run([f'{folder}/trayflush'])
message = f'Błąd: Nie mogę znaleźć pliku: {folder}/traypop\n'
bed.expect_eq('traypop missing: the message for d and for f on standard error',
              message + message, run.stderr)
bed.expect_eq('traypop missing: the drives were only asked, no tray opened, ends on time',
              ({'sr0': STATUS, 'sr1': STATUS, 'sr2': STATUS}, [], (0, False, True)),
              (bed.requests(), bed.open_trays(), ends_on_time(run)))

# -- Closed before its first tick (the session ends, the user presses Ctrl+C): the program ends
#    at once through its unload, with no scan, and leaves as a program that ended by itself.
def takes_signal(pid, number):
    """Whether the process has blocked the signal, as its loop does to take it as an event: its
    timer, and so its first tick, comes after that."""
    try:
        with open(f'/proc/{pid}/status') as status:
            blocked = [line.split()[1] for line in status if line.startswith('SigBlk:')][0]
        return bool(int(blocked, 16) >> (number - 1) & 1)
    except (OSError, IndexError):
        return False


for closing in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
    flush = bed.start([f'{folder}/trayflush'])
    bed.iterate_until(lambda: takes_signal(flush.pid, closing), 10)
    flush.send_signal(closing)
    run = bed.finish(flush, 10)
    bed.expect_eq(f'{closing.name}: ends at once, quietly, with no scan',
                  (0, False, '', {'sr0': [], 'sr1': [], 'sr2': []}),
                  (run.returncode, run.timed_out, run.stderr, bed.requests()))

# -- d never answers and is unplugged while its test waits: the scan goes on with the drives it
#    started with, and hands traypop the letters it finds for them now (e's drive is d by then).
d.hangs.add('CDROM_DRIVE_STATUS')
e.disc = True
folder = bed.install('Zelvo CD', 'trayflush', 'traypop')
flush = bed.start([f'{folder}/trayflush'])
bed.iterate_until(lambda: d.requests, 5)
bed.remove_drive('sr0')
run = bed.finish(flush, 20)
bed.expect_eq('d unplugged while its test waits: e and f opened, its own end, quietly',
              ({'sr1': OPENED, 'sr2': OPENED}, (0, False), ''),
              (bed.requests(), (run.returncode, run.timed_out), run.stderr))
bed.check('no program of the test outlived it', bed.settle())
bed.close()
