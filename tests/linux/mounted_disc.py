#!/usr/bin/python3
"""A disc whose file system the desktop has mounted: the kernel refuses the eject (EBUSY) until
traypop has asked UDisks2, on the system bus, to unmount it without asking the user; then the
tray comes out. When UDisks2 refuses, or there is no bus, traypop ends saying so."""

from bed import Bed

bed = Bed('mounted-disc')
drive = bed.add_drive('sr0', mounted=True)
bed.add_drive('sr1')
manager, devices = bed.start_udisks()
folder = bed.install('Zelvo CD', 'traypop')
REFUSED = ('raise dbus.exceptions.DBusException("Not authorized", '
           'name="org.freedesktop.UDisks2.Error.NotAuthorized")')
OPTIONS = [{'auth.no_user_interaction': True}]

BUSY = (1, '', 'traypop: napęd d (/dev/sr0) nie wysunął tacki: Device or resource busy\n')
CASES = [  # what Unmount does, the bus, the requests, the open trays, the Unmount calls, the end
    ('', None, ['CDROM_LOCKDOOR 0', 'CDROMEJECT busy', 'CDROM_LOCKDOOR 0', 'CDROMEJECT'],
     ['sr0'], [OPTIONS], (0, '', '')),
    (REFUSED, None, ['CDROM_LOCKDOOR 0', 'CDROMEJECT busy'], [], [OPTIONS], BUSY),
    ('', 'unix:path=/nonexistent/bus', ['CDROM_LOCKDOOR 0', 'CDROMEJECT busy'], [], [], BUSY),
]
for unmount, bus, requests, opened, calls, end in CASES:
    devices['sr0'].ClearCalls()
    manager.ClearCalls()
    devices['sr0'].AddMethod('org.freedesktop.UDisks2.Filesystem', 'Unmount', 'a{sv}', '',
                             unmount)
    bed.close_trays()
    env = bed.environment(**({'DBUS_SYSTEM_BUS_ADDRESS': bus} if bus else {}))
    run = bed.run([f'{folder}/traypop', 'd'], env=env)
    what = 'no bus' if bus else 'UDisks2 refuses' if unmount else 'UDisks2 unmounts'
    bed.expect_eq(f'{what}: requests, open trays, Unmount calls, how it ends',
                  ({'sr0': requests, 'sr1': []}, opened, calls, end),
                  (bed.requests(), bed.open_trays(), bed.method_calls(devices['sr0'], 'Unmount'),
                   (run.returncode, run.stdout, run.stderr)))
    if not bus:
        bed.expect_eq(f'{what}: the block device found by its node',
                      [[{'path': '/dev/sr0'}, {}]], bed.method_calls(manager, 'ResolveDevice'))
bed.close()
