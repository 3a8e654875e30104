#!/usr/bin/python3
"""The Debian package as a user gets it: lintian finds no error or warning; it holds the five
programs side by side in /usr/lib/zelvo-cd, each launcher within 64 KiB and konfigurator within
96 KiB (Debian's shared C++ runtime), traypop and konfigurator on the PATH, the menu entry (valid
by desktop-file-validate) with the suite's icon in the hicolor theme and, under the same id, an
AppStream entry that appstreamcli accepts, the guide in /usr/share/zelvo-cd (linked beside the
programs, for WWW, and from the doc folder), the manual pages, the copyright and the changelog;
it declares what it needs. Unpacked, the programs work from where the package puts them, also
without /usr/share/doc, as minimal systems install it: WWW's link reaches the guide, and traypop
started through its /usr/bin link opens the drive."""

import glob
import os
import shutil
import subprocess

from bed import Bed

RELEASE = os.environ['ZELVO_RELEASE']
bed = Bed('package')
package = glob.glob(os.path.join(RELEASE, 'zelvo-cd_*_amd64.deb'))
bed.expect_eq('the release holds one package', 1, len(package))
package = package[0]

lintian = subprocess.run(['lintian', '--no-tag-display-limit', package], capture_output=True,
                         text=True)
bed.expect_eq('lintian: no error, no warning', [],
              [line for line in lintian.stdout.splitlines() if line[:2] in ('E:', 'W:')])

contents = subprocess.run(['dpkg-deb', '--contents', package], capture_output=True, text=True)
listed = {}
for line in contents.stdout.splitlines():
    fields = line.split(None, 5)  # mode, owner, size, date, time, path (-> target)
    path, _, link = fields[5].partition(' -> ')
    listed[path.removeprefix('.')] = (fields[0][0], link or None, int(fields[2]))
files = {path for path, (kind, _, _) in listed.items() if kind != 'd'}
entry_id = 'cd.zelvo.konfigurator'
expected = {f'/usr/lib/zelvo-cd/{program}' for program in
            ('traypop', 'trayflush', 'traywatch', 'konfigurator', 'komunikat',
             'PRZEWODNIK.html')} | {
    '/usr/bin/traypop', '/usr/bin/konfigurator', f'/usr/share/applications/{entry_id}.desktop',
    f'/usr/share/metainfo/{entry_id}.metainfo.xml', '/usr/share/lintian/overrides/zelvo-cd',
    '/usr/share/zelvo-cd/PRZEWODNIK.html',
    '/usr/share/doc/zelvo-cd/PRZEWODNIK.html', '/usr/share/doc/zelvo-cd/copyright',
    '/usr/share/doc/zelvo-cd/changelog.gz', '/usr/share/man/man1/traypop.1.gz',
    '/usr/share/man/man1/konfigurator.1.gz'} | {
    f'/usr/share/icons/hicolor/{size}x{size}/apps/zelvo-cd.png'
    for size in (16, 32, 48, 64, 128, 256)}
bed.expect_eq('its files', sorted(expected), sorted(files))
links = {'/usr/bin/traypop': '../lib/zelvo-cd/traypop',
         '/usr/bin/konfigurator': '../lib/zelvo-cd/konfigurator',
         '/usr/lib/zelvo-cd/PRZEWODNIK.html': '../../share/zelvo-cd/PRZEWODNIK.html',
         '/usr/share/doc/zelvo-cd/PRZEWODNIK.html': '../../zelvo-cd/PRZEWODNIK.html'}
bed.expect_eq('the links: traypop and konfigurator on the PATH, the guide beside the programs '
              'and in the doc folder', {path: ('l', target) for path, target in links.items()},
              {path: listed.get(path, (None,))[:2] for path in links})
limits = {'traypop': 64, 'trayflush': 64, 'traywatch': 64, 'konfigurator': 96}  # KiB
sizes = {program: listed[f'/usr/lib/zelvo-cd/{program}'][2] / 1024 for program in limits}
bed.expect_eq('no program beyond its size (64 KiB for a launcher, 96 KiB for konfigurator)', {},
              {program: f'{size:.1f} KiB' for program, size in sizes.items()
               if size > limits[program]})


def field(name):
    return subprocess.run(['dpkg-deb', '--field', package, name], capture_output=True,
                          text=True).stdout.strip()


needs = {entry.split()[0] for entry in field('Depends').split(', ')}
bed.check('it depends on the libraries its programs use (udev, systemd, GTK 4, C++ runtime)',
          {'libudev1', 'libsystemd0', 'libgtk-4-1', 'libgtkmm-4.0-0', 'libstdc++6',
           'libc6'} <= needs)
bed.expect_eq('and recommends UDisks2, which unmounts a mounted disc', 'udisks2',
              field('Recommends'))

unpacked = os.path.join(bed.root, 'root')
subprocess.run(['dpkg-deb', '--extract', package, unpacked], check=True)
shutil.rmtree(f'{unpacked}/usr/share/doc')  # as minimal systems install packages
menu = subprocess.run(['desktop-file-validate',
                       f'{unpacked}/usr/share/applications/{entry_id}.desktop'],
                      capture_output=True, text=True)
bed.expect_eq('the menu entry is valid', (0, ''), (menu.returncode, menu.stdout + menu.stderr))
with open(f'{unpacked}/usr/share/applications/{entry_id}.desktop') as entry:
    lines = entry.read().splitlines()
bed.check('it is "Konfigurator Zelvo CD", with the suite\'s icon, starting konfigurator',
          {'Name=Konfigurator Zelvo CD', 'Icon=zelvo-cd',
           'Exec=/usr/lib/zelvo-cd/konfigurator'} <= set(lines))
metainfo = f'{unpacked}/usr/share/metainfo/{entry_id}.metainfo.xml'
valid = subprocess.run(['appstreamcli', 'validate', '--no-net', '--pedantic', metainfo],
                       capture_output=True, text=True)
with open(metainfo) as entry:
    text = entry.read()
bed.expect_eq('the AppStream entry is valid, even to pedantic eyes, and launches the menu entry',
              (0, [], True), (valid.returncode,
                              [line for line in valid.stdout.splitlines() if line[1:2] == ':'],
                              f'<launchable type="desktop-id">{entry_id}.desktop<' in text))
guide = os.path.realpath(f'{unpacked}/usr/lib/zelvo-cd/PRZEWODNIK.html')
with open(guide) as page:
    text = page.read()
bed.check('without the doc folder, the guide beside the programs is the whole page, its '
          'pictures in it', guide == f'{unpacked}/usr/share/zelvo-cd/PRZEWODNIK.html' and
          'data:image/png;base64,' in text and '"guide/' not in text)

drive = bed.add_drive('sr0')
run = bed.run([f'{unpacked}/usr/bin/traypop', 'd'])
bed.expect_eq('traypop through its link opens d and ends quietly', (['sr0'], 0, ''),
              (bed.open_trays(), run.returncode, run.stderr))
bed.close()
