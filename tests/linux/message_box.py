#!/usr/bin/python3
"""Message boxes on a display: trayflush without traypop shows its message for d in komunikat's
dialog, with the title, the text and the OK button, waits while the box is open (no tick ends
it), shows the box for f only once the first is gone, and ends soon after the last. Enter,
Escape and the close box (Alt+F4) each dismiss a box."""

import os

from bed import Bed

bed = Bed('message-box')
for name, disc in (('sr0', True), ('sr1', False), ('sr2', True)):
    bed.add_drive(name, disc=disc)
desktop = bed.start_display()
folder = bed.install('Zelvo CD', 'trayflush', 'komunikat')


def ended(box):
    """Whether the box's program has ended (and been reaped by whoever waits for it)."""
    return bed.iterate_until(lambda: not os.path.exists(f'/proc/{box[2]}'), 10)


flush = bed.start([f'{folder}/trayflush'], env=bed.environment(**desktop))
first = bed.wait_for_box(desktop)
bed.check('the box for d appears, titled "Błąd"', first and first[1] == 'Błąd')
if first:
    bed.press(desktop, first[0], 'ctrl+c')
    # The box takes the clipboard when it gets to the key, which may be after xdotool ends.
    copied = []
    bed.iterate_until(lambda: copied.append(bed.tool(
        ['xclip', '-selection', 'clipboard', '-o'], desktop)[1]) or copied[-1], 5)
    copied = copied[-1]
    bed.expect_eq('it tells which file is missing (Ctrl+C copies title and text)',
                  f'Błąd\n\nNie mogę znaleźć pliku: {folder}/traypop\n', copied)
    bed.iterate_until(lambda: flush.ended, 2)  # four timer intervals
    bed.check('the box outlives several ticks, and trayflush waits behind it',
              not flush.ended and bed.visible_box(desktop) == first)
    bed.check('Enter dismisses it: its komunikat ends',
              bed.press(desktop, first[0], 'Return') and ended(first))
    second = bed.wait_for_box(desktop, other_than=first)
    bed.check('then the box for f appears', second and second[2] != first[2])
    if second:
        bed.check('Escape dismisses it', bed.press(desktop, second[0], 'Escape') and ended(second))
run = bed.finish(flush, 10)
bed.expect_eq('trayflush ends soon after the last box, with nothing on standard error',
              (0, False, ''), (run.returncode, run.timed_out, run.stderr))
bed.check('no box is left', bed.visible_box(desktop) is None)

information = bed.start([f'{folder}/komunikat', '64', 'Zelvo CD - konfigurator',
                         'Ustawienia zostały zapisane'], env=bed.environment(**desktop))
shown = bed.wait_for_box(desktop)
bed.check('an information box shows its own title',
          shown and shown[1] == 'Zelvo CD - konfigurator')
bed.check('Alt+F4 closes it', shown and bed.press(desktop, shown[0], 'alt+F4'))
bed.expect_eq('and komunikat ends with status 0', (0, False),
              (lambda run: (run.returncode, run.timed_out))(bed.finish(information, 10)))
bed.close()
