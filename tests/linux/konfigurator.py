#!/usr/bin/python3
"""konfigurator on a Linux desktop (Xvfb, openbox, the accessibility bus), used as a user would,
with the keyboard and the mouse, and read back as a screen reader reads it:
- the window: its title and controls by role and name, focus on the first box, Tab, Space,
  Enter, and Alt+F4, which writes nothing; no text clipped, at scale 1 and at scale 2, and with
  an 11 pt desktop font; the message box's title never cut by the window manager's frame;
- every combination of the boxes saved: the XDG autostart entries (valid by desktop-file-validate,
  the folder's blanks quoted), an unrelated entry untouched, the confirmation, and the watcher
  following at once (started in this session, or stopped quietly, no tray opened);
- a missing autostart folder made, a read-only one refused with the failure text;
- entries it cannot read (a FIFO, a file too big): the window opens at once, and a save leaves
  them as they are and names them;
- WWW opening the guide beside the program in the default browser;
- a logon that starts what the autostart folder holds: trayflush opens d and f, traywatch waits.
"""

import os
import re
import shutil
import stat
import textwrap
import xml.etree.ElementTree

import gi

gi.require_version('GdkPixbuf', '2.0')
gi.require_version('Gio', '2.0')
gi.require_version('Pango', '1.0')
gi.require_version('PangoCairo', '1.0')
from gi.repository import GdkPixbuf, Gio, GLib, Pango, PangoCairo  # noqa: E402

from bed import Bed  # noqa: E402

bed = Bed('konfigurator')
d, e, f = (bed.add_drive(name) for name in ('sr0', 'sr1', 'sr2'))
e.disc = False
logind, manager = bed.start_logind('3', '5')
desktop = bed.start_display(accessible=True)
import pyatspi  # noqa: E402  (after the accessibility bus is there)

WINDOW, BOX = 'Konfigurator programu zelvo CD', 'Zelvo CD - konfigurator'
NOW, AT_SHUTDOWN = 'Wysuwaj tacki teraz', 'Wysuwaj tacki przy zamykaniu systemu'
suite = bed.install('Program Files/Zelvo CD', 'konfigurator', 'trayflush', 'traywatch',
                    'traypop', 'komunikat')
with open(f'{suite}/PRZEWODNIK.html', 'w') as guide:
    guide.write('<html><body>Przewodnik</body></html>\n')
home = os.path.join(bed.root, 'home')
config, autostart = os.path.join(home, '.config'), os.path.join(home, '.config', 'autostart')
runtime = os.path.join(bed.root, 'run')
os.makedirs(autostart)
os.mkdir(runtime, 0o700)
with open(f'{autostart}/inny.desktop', 'w') as other:
    other.write('[Desktop Entry]\nType=Application\nName=Inny\nExec=inny --tak\n')

# The default browser: a desktop entry of the user's that notes the address it was given.
opened = os.path.join(bed.root, 'opened.txt')
applications = os.path.join(home, '.local', 'share', 'applications')
os.makedirs(applications)
with open(f'{applications}/przegladarka.desktop', 'w') as browser:
    browser.write(textwrap.dedent(f'''\
        [Desktop Entry]
        Type=Application
        Name=Przeglądarka
        Exec=sh -c 'echo "$1" >> {opened}' sh %u
        MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;
        '''))
with open(f'{config}/mimeapps.list', 'w') as defaults:
    defaults.write('[Default Applications]\ntext/html=przegladarka.desktop\n'
                   'x-scheme-handler/http=przegladarka.desktop\n')


def user_env(session='3', **extra):
    return bed.environment(**dict(desktop, HOME=home, XDG_CONFIG_HOME=config,
                                  XDG_DATA_HOME=os.path.join(home, '.local', 'share'),
                                  XDG_RUNTIME_DIR=runtime, XDG_SESSION_ID=session, **extra))


def frame_title_width(title):
    """The title's width in openbox's font for an active window's title (from its configuration)
    at the display's resolution."""
    rc = next(path for path in (os.path.expanduser('~/.config/openbox/rc.xml'),
                                '/etc/xdg/openbox/rc.xml') if os.path.exists(path))
    ob = '{http://openbox.org/3.4/rc}'
    font = next(font for font in xml.etree.ElementTree.parse(rc).iter(f'{ob}font')
                if font.get('place') == 'ActiveWindow')
    fonts = PangoCairo.FontMap.new()
    fonts.set_resolution(float(re.search(r'resolution:\s+(\d+)x',
                                         bed.tool(['xdpyinfo'], desktop)[1]).group(1)))
    layout = Pango.Layout.new(fonts.create_context())
    layout.set_font_description(Pango.FontDescription.from_string(' '.join(
        font.findtext(f'{ob}{part}') for part in ('name', 'weight', 'size'))))
    layout.set_text(title, -1)
    return layout.get_pixel_size()[0]


def entries():
    """The autostart folder: each file's text, by name."""
    found = {}
    for name in sorted(os.listdir(autostart) if os.path.isdir(autostart) else ()):
        with open(os.path.join(autostart, name)) as entry:
            found[name] = entry.read()
    return found


def entry(program, description, comment):
    path = f'{suite}/{program}'
    return (f'[Desktop Entry]\nType=Application\nName={description}\nComment={comment}\n'
            f'Exec="{path}"\nTryExec={path}\nNoDisplay=true\nX-GNOME-Autostart-enabled=true\n')


OTHER = {'inny.desktop': '[Desktop Entry]\nType=Application\nName=Inny\nExec=inny --tak\n'}
NOW_ENTRY = {'WysuwajTeraz.desktop': entry(
    'trayflush', 'Zelvo CD – wysuwanie tacek po zalogowaniu',
    'Wysuwa tacki napędów CD, w których jest płyta, zaraz po zalogowaniu')}
AT_SHUTDOWN_ENTRY = {'WysuwajPotem.desktop': entry(
    'traywatch', 'Zelvo CD – wysuwanie tacki przy zamykaniu systemu',
    'Czeka niewidocznie i wysuwa tackę napędu CD z płytą przy wylogowaniu lub zamykaniu '
    'systemu')}


def watchers():
    return len(manager.ListInhibitors())


class Konfigurator:
    """One run of konfigurator: its window as the accessibility tree and X show it."""

    def __init__(self, argv=None, **env):
        self.process = bed.start(argv or [f'{suite}/konfigurator'], env=user_env(**env))
        # A window held back (by a FIFO as an entry, say) never comes; on a loaded machine one
        # that is not held back may take some 10 s to be seen by the accessibility bus.
        self.window = bed.accessible('frame', WINDOW, 30)
        self.checks = [bed.accessible('check box', name, within=self.window)
                       for name in (NOW, AT_SHUTDOWN)]
        ids = bed.tool(['xdotool', 'search', '--sync', '--onlyvisible', '--name', WINDOW],
                       desktop)[1].split()
        self.xid = ids[0] if ids else None

    def boxes(self):
        return [int(check.getState().contains(pyatspi.STATE_CHECKED)) for check in self.checks]

    def focused(self):
        focus = [node.name for node in [*self.checks, *self.buttons()]
                 if node.getState().contains(pyatspi.STATE_FOCUSED)]
        return focus[0] if focus else None

    def buttons(self):
        return [bed.accessible('push button', name, within=self.window)
                for name in ('Zapisz ustawienia', 'WWW')]

    def keys(self, *keys):
        for key in keys:
            bed.press(desktop, self.xid, key)

    def click(self, role, name):
        """A click of the mouse in the middle of the control."""
        control = bed.accessible(role, name, within=self.window)
        extents = control.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        bed.tool(['xdotool', 'mousemove', '--window', self.xid,
                  str(extents.x + extents.width // 2), str(extents.y + extents.height // 2),
                  'click', '1'], desktop)

    def wait_focus(self, name):
        return bed.iterate_until(lambda: self.focused() == name, 5)

    def set_boxes(self, wanted, mouse):
        """Ticks or clears the boxes as wanted: by clicks, or from the first box with Space and
        Tab; then the keyboard rests on "Zapisz ustawienia". Each step waits for the window."""
        for index, (name, want) in enumerate(zip((NOW, AT_SHUTDOWN), wanted)):
            if not mouse:
                self.wait_focus(name)
            if self.boxes()[index] != want:
                self.click('check box', name) if mouse else self.keys('space')
                bed.iterate_until(lambda: self.boxes()[index] == want, 5)
            if not mouse:
                self.keys('Tab')
        if not mouse:
            self.wait_focus('Zapisz ustawienia')

    def save(self, wanted, mouse):
        """Sets the boxes and saves; returns the confirmation's texts, with the box still open."""
        self.set_boxes(wanted, mouse)
        self.click('push button', 'Zapisz ustawienia') if mouse else self.keys('Return')
        return self.confirmation()

    def confirmation(self):
        """The message box: its title and text."""
        box = bed.accessible('dialog', BOX) or bed.accessible('alert', BOX)
        if box is None:
            return None
        labels = []

        def collect(node):
            if node.getRoleName() == 'label' and node.name and \
                    node.parent.getRoleName() != 'push button':
                labels.append(node.name)
            for index in range(node.childCount):
                collect(node.getChildAtIndex(index))
        collect(box)
        return labels

    def box_title_fits(self):
        """Whether the box's frame has room for its whole title beside the frame's icon and
        three buttons, taken generously as six title bars' heights."""
        box = bed.tool(['xdotool', 'search', '--sync', '--onlyvisible', '--name', BOX],
                       desktop)[1].split()[-1]
        left, right, top, _ = map(int, re.findall(r'\d+', bed.tool(
            ['xprop', '-id', box, '_NET_FRAME_EXTENTS'], desktop)[1].partition('=')[2]))
        width = re.search(r'Geometry: (\d+)x', bed.tool(['xdotool', 'getwindowgeometry', box],
                                                        desktop)[1]).group(1)
        return left + int(width) + right >= frame_title_width(BOX) + 6 * top

    def dismiss_and_end(self):
        ids = bed.tool(['xdotool', 'search', '--sync', '--onlyvisible', '--name', BOX],
                       desktop)[1].split()
        if ids:
            bed.press(desktop, ids[-1], 'Return')
        return self.end()

    def end(self):
        return bed.finish(self.process, 10)


# -- The window, read by the accessibility tree: focus on the first box, nothing ticked.
k = Konfigurator()
bed.check('the window opens, with its two boxes and two buttons by role and name',
          k.window is not None and None not in k.checks and None not in k.buttons())
bed.check('its frame is named for a screen reader',
          bed.accessible('panel', 'Dodaj do autostartu programy:', 2, k.window) is not None or
          bed.accessible('filler', 'Dodaj do autostartu programy:', 2, k.window) is not None)
bed.check('the keyboard starts at the first box', k.wait_focus(NOW))
bed.expect_eq('nothing ticked', [0, 0], k.boxes())
k.keys('Tab', 'Tab')
bed.check('Tab goes on by the second box to the first button', k.wait_focus('Zapisz ustawienia'))
k.keys('shift+Tab', 'shift+Tab')
k.wait_focus(NOW)
k.keys('space')
bed.check('Space ticks the focused box', bed.iterate_until(lambda: k.boxes() == [1, 0], 5))
k.keys('alt+F4')
run = k.end()
bed.expect_eq('Alt+F4 closes it and writes nothing, starts nothing',
              ((0, False), OTHER, 0), ((run.returncode, run.timed_out), entries(), watchers()))

# -- Every combination saved, by keyboard and by mouse in turn; the watcher follows at once.
for wanted, mouse in (((1, 1), False), ((1, 0), True), ((0, 0), False), ((0, 1), True)):
    k = Konfigurator()
    shown = k.save(wanted, mouse)
    title_fits = k.box_title_fits()
    watching = bed.iterate_until(lambda: watchers() == wanted[1], 10)
    run = k.dismiss_and_end()
    expected = dict(OTHER, **(NOW_ENTRY if wanted[0] else {}),
                    **(AT_SHUTDOWN_ENTRY if wanted[1] else {}))
    how = 'mouse' if mouse else 'keyboard'
    bed.expect_eq(f'saved {wanted} by {how}: the confirmation, the entries, the other entry kept',
                  (['Ustawienia zostały zapisane'], expected, (0, False)),
                  (shown, entries(), (run.returncode, run.timed_out)))
    bed.check(f'saved {wanted}: a watcher waits in the session exactly when the box is ticked',
              watching)
    bed.check(f'saved {wanted}: the box\'s frame shows its whole title', title_fits)
    valid = [bed.tool(['desktop-file-validate', os.path.join(autostart, name)], desktop)
             for name in entries() if name.startswith('Wysuwaj')]
    bed.expect_eq(f'saved {wanted}: desktop-file-validate finds nothing', [(0, '')] * len(valid),
                  valid)
bed.expect_eq('no tray opened by any of it', {'sr0': [], 'sr1': [], 'sr2': []}, bed.requests())

# -- A missing folder is made; a read-only one is refused, and nothing changes in it.
shutil.rmtree(autostart)
k = Konfigurator()
shown = k.save((1, 0), mouse=False)
k.dismiss_and_end()
bed.expect_eq('a missing folder: made, private, with the entry',
              (['Ustawienia zostały zapisane'], NOW_ENTRY, 0o700),
              (shown, entries(), os.stat(autostart).st_mode & 0o777))
before = entries()
# A folder the user may not write to. Root writes anywhere, so when the test runs as root,
# konfigurator runs without the capabilities that let it (mount namespaces, the other way to
# make a folder read-only, are not granted in every container).
os.chmod(autostart, 0o500)
read_only = ['setpriv', '--bounding-set=-dac_override,-dac_read_search', '--',
             f'{suite}/konfigurator'] if os.geteuid() == 0 else None
k = Konfigurator(read_only)
shown = k.save((0, 1), mouse=True)
k.dismiss_and_end()
bed.expect_eq('a read-only folder: the failure is said, nothing changes, no watcher',
              (['Nie udało się zapisać ustawień.'], before, 0),
              (shown, entries(), watchers()))
os.chmod(autostart, 0o700)

# -- Entries it cannot read: a FIFO (opened the usual way, it waits for a writer) and a file far
#    bigger than any entry. The window opens at once, both boxes clear; a save that would replace
#    the one and delete the other leaves both as they are and names them.
fifo, big = (os.path.join(autostart, f'{name}.desktop')
             for name in ('WysuwajTeraz', 'WysuwajPotem'))
os.remove(fifo)
os.mkfifo(fifo, 0o600)
with open(big, 'w') as entry:
    entry.write(f'[Desktop Entry]\nExec={suite}/traywatch\n' + '#' * 100_000 + '\n')
size = os.path.getsize(big)
k = Konfigurator()
opened_with = k.boxes() if k.window else None
shown = k.save((1, 0), mouse=False)
run = k.dismiss_and_end()
bed.expect_eq('unreadable entries: the window at once, unticked; a save leaves them, names them',
              ([0, 0], [f'Nie mogę odczytać pliku: {fifo}\nNie mogę odczytać pliku: {big}\n\n'
                        f'Ustawienia „{NOW}” i „{AT_SHUTDOWN}” nie zostały zapisane, a pliki '
                        'zostały pozostawione bez zmian. Sprawdź, czy to zwykłe pliki, które '
                        'możesz odczytać, albo usuń je i zapisz ustawienia jeszcze raz.'],
               True, size, (0, False)),
              (opened_with, shown, stat.S_ISFIFO(os.stat(fifo).st_mode), os.path.getsize(big),
               (run.returncode, run.timed_out)))
os.remove(fifo)
os.remove(big)
with open(fifo, 'w') as entry:
    entry.write(NOW_ENTRY['WysuwajTeraz.desktop'])

# -- WWW: the guide beside the program, in the default browser; the window stays as it was.
k = Konfigurator()
k.click('push button', 'WWW')
# The shell makes the file before it writes the line: the line ends the wait.
bed.iterate_until(lambda: os.path.exists(opened) and open(opened).read().endswith('\n'), 10)

def page(address):
    """A local page as a path, whether the browser was handed its path or its file URL."""
    return Gio.File.new_for_commandline_arg(address.strip()).get_path() if address else None


bed.expect_eq('WWW opens the guide in the default browser; the window stays, boxes as they were',
              (f'{suite}/PRZEWODNIK.html', [1, 0], False),
              (page(open(opened).read() if os.path.exists(opened) else None), k.boxes(),
               k.process.ended))

# -- No text clipped: at scale 1 and 2, each control's text stays inside it: a column just right
#    of each box and label (and a row just below the paragraph) is the window's background, the
#    two edges of a button's text area match row by row (its face, which shades from top to
#    bottom; centred text that runs over would mark both), and no control lies outside the
#    window.
PARAGRAPH = 'Programy które dodajesz do autostartu'


def clipped(konfigurator, scale):
    shot = os.path.join(bed.root, f'konfigurator-{scale}.png')
    bed.tool(['import', '-window', konfigurator.xid, shot], desktop)
    image = GdkPixbuf.Pixbuf.new_from_file(shot)
    pixels, stride, channels = image.get_pixels(), image.get_rowstride(), image.get_n_channels()
    window = konfigurator.window.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    factor = image.get_width() / window.width

    def pixel(x, y):
        start = int(y * factor) * stride + int(x * factor) * channels
        return pixels[start:start + 3]
    controls = {}

    def collect(node):
        # A box's or a button's own label lies inside it; the other labels stand alone.
        role = node.getRoleName()
        if role in ('check box', 'push button') or (role == 'label' and node.name and
                                                     node.parent.getRoleName() not in
                                                     ('check box', 'push button')):
            controls[node.name] = (role, node.queryComponent().getExtents(pyatspi.WINDOW_COORDS))
        for index in range(node.childCount):
            collect(node.getChildAtIndex(index))
    collect(konfigurator.window)
    cut = []
    for name, (role, box) in controls.items():
        if role == 'push button':
            edges = [((box.x + box.width - 2, y), (box.x + 1, y))
                     for y in range(box.y, box.y + box.height)]
        else:
            edges = [((box.x + box.width + 3, y), (2, 2)) for y in range(box.y, box.y + box.height)]
        if name.startswith(PARAGRAPH):
            edges += [((x, box.y + box.height + 3), (2, 2)) for x in range(box.x, box.x + box.width)]
        inside = box.x >= 0 and box.y >= 0 and box.x + box.width <= window.width and \
            box.y + box.height <= window.height
        if not inside or any(pixel(*edge) != pixel(*reference) for edge, reference in edges):
            cut.append(name[:40])
    return sorted(cut), len(controls), shot


cut, looked_at, shot = clipped(k, 1)
width_at_10 = k.window.queryComponent().getExtents(pyatspi.WINDOW_COORDS).width
k.keys('alt+F4')
k.end()
bed.expect_eq('scale 1: every text inside its control (frame label, 2 boxes, paragraph, 2 '
              'buttons)', ([], 6), (cut, looked_at))
k = Konfigurator(GDK_SCALE='2')
cut, looked_at, shot2 = clipped(k, 2)
k.keys('alt+F4')
k.end()
bed.expect_eq('scale 2: every text inside its control', ([], 6), (cut, looked_at))

# GNOME's 11 pt (a Wayland session's too), through GTK's settings file: the window grows, no text
# is clipped, and the box's title still fits its frame.
settings = os.path.join(bed.root, 'settings')
os.makedirs(os.path.join(settings, 'gtk-4.0'))
with open(os.path.join(settings, 'gtk-4.0', 'settings.ini'), 'w') as ini:
    ini.write('[Settings]\ngtk-font-name=DejaVu Sans 11\n')
k = Konfigurator(XDG_CONFIG_DIRS=settings)
cut, looked_at, shot11 = clipped(k, 11)
width_at_11 = k.window.queryComponent().getExtents(pyatspi.WINDOW_COORDS).width
shown = k.save(k.boxes(), mouse=False)
title_fits = k.box_title_fits()
k.dismiss_and_end()
bed.expect_eq('11 pt: a wider window, every text inside its control, the whole title on the box',
              (True, [], 6, ['Ustawienia zostały zapisane'], True),
              (width_at_11 > width_at_10, cut, looked_at, shown, title_fits))
screenshots = os.path.join(os.environ.get('ZELVO_LINUX_SCRATCH', bed.root), 'screenshots')
os.makedirs(screenshots, exist_ok=True)
for picture in (shot, shot2, shot11):
    shutil.copy(picture, screenshots)

# -- A logon in a new session starts what the autostart folder holds, by the desktop-entry
#    rules: trayflush opens d and f, traywatch waits.
for name in list(entries()):
    if name.startswith('Wysuwaj'):
        os.remove(os.path.join(autostart, name))
k = Konfigurator()
k.save((1, 1), mouse=False)
k.dismiss_and_end()
logind.EmitSignal('org.freedesktop.login1.Manager', 'PrepareForShutdown', 'b', [True])
bed.iterate_until(lambda: watchers() == 0, 10)
bed.requests()
bed.close_trays()
d.disc = f.disc = True
started = []
for name, text in entries().items():
    info = Gio.DesktopAppInfo.new_from_filename(os.path.join(autostart, name))
    if info is None or info.get_is_hidden() or not name.startswith('Wysuwaj'):
        continue
    argv = GLib.shell_parse_argv(info.get_commandline())[1]
    started.append(bed.start(argv, env=user_env('5')))
bed.iterate_until(lambda: d.tray_open and f.tray_open and watchers() == 1, 10)
bed.expect_eq('the logon: trayflush opens d and f, traywatch waits with its inhibitor',
              (['sr0', 'sr2'], 1), (bed.open_trays(), watchers()))
for process in started:
    bed.finish(process, 3)
bed.close()
