#!/usr/bin/python3
"""The Debian package as a user gets it: lintian finds no error or warning; it holds the five
programs side by side in /usr/lib/zelvo-cd, traypop and konfigurator on the PATH, the menu entry
(valid by desktop-file-validate) with the suite's icon in the hicolor theme, the guide (also
beside the programs, for WWW), the manual pages, the copyright and the changelog; it declares
what it needs. Unpacked, the programs work from where the package puts them: traypop started
through its /usr/bin link opens the drive."""

import glob
import os
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
    listed[path.removeprefix('.')] = (fields[0][0], link or None)
files = {path for path, (kind, _) in listed.items() if kind != 'd'}
expected = {f'/usr/lib/zelvo-cd/{program}' for program in
            ('traypop', 'trayflush', 'traywatch', 'konfigurator', 'komunikat',
             'PRZEWODNIK.html')} | {
    '/usr/bin/traypop', '/usr/bin/konfigurator',
    '/usr/share/applications/zelvo-cd-konfigurator.desktop',
    '/usr/share/doc/zelvo-cd/PRZEWODNIK.html', '/usr/share/doc/zelvo-cd/copyright',
    '/usr/share/doc/zelvo-cd/changelog.gz', '/usr/share/man/man1/traypop.1.gz',
    '/usr/share/man/man1/konfigurator.1.gz'} | {
    f'/usr/share/icons/hicolor/{size}x{size}/apps/zelvo-cd.png'
    for size in (16, 32, 48, 64, 128, 256)}
bed.expect_eq('its files', sorted(expected), sorted(files))
bed.expect_eq('the links: traypop and konfigurator on the PATH, the guide beside the programs',
              [('l', '../lib/zelvo-cd/traypop'), ('l', '../lib/zelvo-cd/konfigurator'),
               ('l', '../../share/doc/zelvo-cd/PRZEWODNIK.html')],
              [listed.get(path) for path in ('/usr/bin/traypop', '/usr/bin/konfigurator',
                                             '/usr/lib/zelvo-cd/PRZEWODNIK.html')])


def field(name):
    return subprocess.run(['dpkg-deb', '--field', package, name], capture_output=True,
                          text=True).stdout.strip()


needs = {entry.split()[0] for entry in field('Depends').split(', ')}
bed.check('it depends on the libraries its programs use (udev, systemd, GTK 4)',
          {'libudev1', 'libsystemd0', 'libgtk-4-1', 'libgtkmm-4.0-0', 'libc6'} <= needs)
bed.expect_eq('and recommends UDisks2, which unmounts a mounted disc', 'udisks2',
              field('Recommends'))

unpacked = os.path.join(bed.root, 'root')
subprocess.run(['dpkg-deb', '--extract', package, unpacked], check=True)
menu = subprocess.run(['desktop-file-validate',
                       f'{unpacked}/usr/share/applications/zelvo-cd-konfigurator.desktop'],
                      capture_output=True, text=True)
bed.expect_eq('the menu entry is valid', (0, ''), (menu.returncode, menu.stdout + menu.stderr))
with open(f'{unpacked}/usr/share/applications/zelvo-cd-konfigurator.desktop') as entry:
    lines = entry.read().splitlines()
bed.check('it is "Konfigurator Zelvo CD", with the suite\'s icon, starting konfigurator',
          {'Name=Konfigurator Zelvo CD', 'Icon=zelvo-cd',
           'Exec=/usr/lib/zelvo-cd/konfigurator'} <= set(lines))
guide = os.path.realpath(f'{unpacked}/usr/lib/zelvo-cd/PRZEWODNIK.html')
with open(guide) as page:
    text = page.read()
bed.check('the guide beside the programs is the whole page, its pictures in it',
          guide == f'{unpacked}/usr/share/doc/zelvo-cd/PRZEWODNIK.html' and
          'data:image/png;base64,' in text and '"guide/' not in text)

drive = bed.add_drive('sr0')
run = bed.run([f'{unpacked}/usr/bin/traypop', 'd'])
bed.expect_eq('traypop through its link opens d and ends quietly', (['sr0'], 0, ''),
              (bed.open_trays(), run.returncode, run.stderr))
bed.close()
