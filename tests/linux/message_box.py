#!/usr/bin/python3
"""Message boxes on a display: trayflush without traypop shows its message for d in komunikat's
dialog, with the title, the text and the OK button, waits while the box is open (no tick ends
it), shows the box for f only once the first is gone, and ends soon after the last. Enter,
Escape and the close box (Alt+F4) each dismiss a box."""

from bed import Bed

bed = Bed('message-box')
for name, disc in (('sr0', True), ('sr1', False), ('sr2', True)):
    bed.add_drive(name, disc=disc)
desktop = bed.start_display()
folder = bed.install('Zelvo CD', 'trayflush', 'komunikat')


def box():
    """The one visible box's window id, title and process; None while there is none. (A new
    box may get the window id of the last, never its process.)"""
    status, ids = bed.tool(['xdotool', 'search', '--onlyvisible', '--class', 'komunikat'],
                           desktop)
    ids = ids.split()
    if status != 0 or len(ids) != 1:
        return None
    return (ids[0], bed.tool(['xdotool', 'getwindowname', ids[0]], desktop)[1].strip(),
            bed.tool(['xdotool', 'getwindowpid', ids[0]], desktop)[1].strip())


def wait_for_box(seconds=10):
    shown = []
    bed.iterate_until(lambda: shown.append(box()) or shown[-1], seconds)
    return shown[-1]


def press(window, key):
    return bed.tool(['xdotool', 'windowactivate', '--sync', window, 'key', '--clearmodifiers',
                     key], desktop)[0] == 0


flush = bed.start([f'{folder}/trayflush'], env=bed.environment(**desktop))
first = wait_for_box()
bed.check('the box for d appears, titled "Błąd"', first and first[1] == 'Błąd')
if first:
    press(first[0], 'ctrl+c')
    copied = bed.tool(['xclip', '-selection', 'clipboard', '-o'], desktop)[1]
    bed.expect_eq('it tells which file is missing (Ctrl+C copies title and text)',
                  f'Błąd\n\nNie mogę znaleźć pliku: {folder}/traypop\n', copied)
    bed.iterate_until(lambda: flush.ended, 2)  # four timer intervals
    bed.check('the box outlives several ticks, and trayflush waits behind it',
              not flush.ended and box() == first)
    bed.check('Enter dismisses it', press(first[0], 'Return'))
    second = wait_for_box()
    bed.check('then the box for f appears', second and second[2] != first[2])
    if second:
        bed.check('Escape dismisses it', press(second[0], 'Escape'))
run = bed.finish(flush, 3)
bed.expect_eq('trayflush ends soon after the last box, with nothing on standard error',
              (0, False, ''), (run.returncode, run.timed_out, run.stderr))
bed.check('no box is left', box() is None)

information = bed.start([f'{folder}/komunikat', '64', 'Zelvo CD - konfigurator',
                         'Ustawienia zostały zapisane'], env=bed.environment(**desktop))
shown = wait_for_box()
bed.check('an information box shows its own title',
          shown and shown[1] == 'Zelvo CD - konfigurator')
bed.check('Alt+F4 closes it', shown and press(shown[0], 'alt+F4'))
bed.expect_eq('and komunikat ends with status 0', (0, False),
              (lambda run: (run.returncode, run.timed_out))(bed.finish(information, 5)))
bed.close()
