#!/usr/bin/python3
"""For the guide, not a test: the picture of konfigurator's window on a Linux desktop (GTK 4 on
Xvfb with openbox), as it opens with both functions switched on. Usage: guide_picture.py OUT"""

import os
import sys

from bed import Bed

bed = Bed('guide')
desktop = bed.start_display()
suite = bed.install('zelvo-cd', 'konfigurator', 'trayflush', 'traywatch', 'traypop')
config = os.path.join(bed.root, 'config')
autostart = os.path.join(config, 'autostart')
os.makedirs(autostart)
for name, program in (('WysuwajTeraz', 'trayflush'), ('WysuwajPotem', 'traywatch')):
    with open(os.path.join(autostart, f'{name}.desktop'), 'w') as entry:
        entry.write(f'[Desktop Entry]\nType=Application\nName={name}\nExec={suite}/{program}\n')
window = 'Konfigurator programu zelvo CD'
konfigurator = bed.start([f'{suite}/konfigurator'],
                         env=bed.environment(**desktop, XDG_CONFIG_HOME=config))
found = bed.tool(['xdotool', 'search', '--sync', '--onlyvisible', '--name', window], desktop)[1]
if not found.split():
    sys.exit('the window did not open')
# The frame of the window manager is left out.
bed.picture(desktop, found.split()[0], sys.argv[1])
bed.press(desktop, found.split()[0], 'alt+F4')  # the close box writes nothing
bed.finish(konfigurator, 5)
print(f'{sys.argv[1]}: konfigurator on Linux')
bed.close()
