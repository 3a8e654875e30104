"""Shared by the Linux end-to-end tests: simulated optical drives (umockdev), a private system
bus with a mock UDisks2 (python-dbusmock), the programs copied into a folder of the test's own,
runs with deadlines while the drives answer, and checks that print as the Wine tests' do.

Every test makes one Bed and closes it at the end, which ends whatever it started and removes
its folder. Run by Debian's /usr/bin/python3, which sees python3-gi and python3-dbusmock.
"""

import atexit
import ctypes
import errno
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version('UMockdev', '1.0')
from gi.repository import GLib, UMockdev  # noqa: E402

BIN = os.environ['ZELVO_LINUX_BIN']
TOOLS = os.path.join(BIN, '..', 'test-tools')
SCRATCH = os.environ.get('ZELVO_LINUX_SCRATCH', tempfile.gettempdir())

# <linux/cdrom.h>
CDROMEJECT = 0x5309
CDROM_DRIVE_STATUS = 0x5326
CDROM_LOCKDOOR = 0x5329
CDS_NO_DISC, CDS_TRAY_OPEN, CDS_DISC_OK = 1, 2, 4
PR_SET_CHILD_SUBREAPER = 36

# The mock logind finds a session by its Id (its object named as logind escapes ids), and the
# session of a process by BED_LOGIND_SESSION in the process's environment: the mock's stand-in for
# the session's control group, which children inherit (the programs never read it). The
# template's own GetUser cannot take a uid.
FIND_SESSION = '''
ret = None
for path, found in objects.items():
    if '/session/' in path and found.Get('org.freedesktop.login1.Session', 'Id') == wanted:
        ret = path
if ret is None:
    raise dbus.exceptions.DBusException(wanted, name='org.freedesktop.login1.' + missing)
'''
LOGIND_METHODS = [
    ('GetSession', 's', 'o', "wanted, missing = args[0], 'NoSuchSession'" + FIND_SESSION),
    ('GetSessionByPID', 'u', 'o', "missing, wanted = 'NoSessionForPID', dict(entry.split(b'=', 1) "
     "for entry in open(f'/proc/{args[0]}/environ', 'rb').read().split(bytes(1)) if b'=' in entry"
     ").get(b'BED_LOGIND_SESSION', b'').decode()" + FIND_SESSION),
    ('GetUser', 'u', 'o', "ret = f'/org/freedesktop/login1/user/{args[0]}'\n"
     "if ret not in objects: raise dbus.exceptions.DBusException(ret, "
     "name='org.freedesktop.login1.NoSuchUser')")]

UDEV_RECORD = '''P: /devices/pci0000:00/0000:00:1f.2/ata{n}/host{n}/target{n}:0:0/{n}:0:0:0/block/{name}
N: {name}
E: SUBSYSTEM=block
E: DEVNAME=/dev/{name}
E: DEVTYPE=disk
E: ID_CDROM=1
E: ID_TYPE=cd
E: MAJOR=11
E: MINOR={n}
A: dev=11:{n}
A: removable=1
'''


def end(pid, seconds=10):
    """Ends a child of this process (SIGTERM, then SIGKILL at the deadline) and reaps it."""
    try:
        pidfd = os.pidfd_open(pid)
    except ProcessLookupError:
        return  # gone and reaped already
    try:
        os.kill(pid, signal.SIGTERM)
        if not select.select([pidfd], [], [], seconds)[0]:
            os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
    except ChildProcessError:
        pass  # not this process's child after all: ended, and reaped by its own parent
    finally:
        os.close(pidfd)


class Drive:
    """One optical drive: its tray, its disc, whether a mounted file system holds the disc, and
    every ioctl request the programs sent it, in order."""

    def __init__(self, name, disc, mounted=False):
        self.name, self.node = name, f'/dev/{name}'
        self.disc, self.mounted = disc, mounted
        self.unmounted = lambda: False  # whether the disc's file system was unmounted since
        self.tray_open = False
        self.requests = []
        # Requests the drive never answers, as a failing drive in error recovery; their callers
        # wait until they give up.
        self.hangs = set()
        # Kept for the rest of the test: a request is pending while it is held. (umockdev says
        # "Destroying IoctlClient with open stream" of each when the test ends.)
        self.unanswered = []
        self.eject_asked = None  # when the last eject was asked (time.monotonic())

    def handle(self, client):
        request = client.get_request()
        if request == CDROMEJECT:
            self.eject_asked = time.monotonic()
        name = {CDROM_DRIVE_STATUS: 'CDROM_DRIVE_STATUS', CDROMEJECT: 'CDROMEJECT'}.get(request)
        if name in self.hangs:
            self.requests.append(f'{name} (no answer)')
            self.unanswered.append(client)
            return True
        if request == CDROM_DRIVE_STATUS:
            self.requests.append('CDROM_DRIVE_STATUS')
            status = (CDS_TRAY_OPEN if self.tray_open else
                      CDS_DISC_OK if self.disc else CDS_NO_DISC)
            client.complete(status, 0)
        elif request == CDROM_LOCKDOOR:
            # An argument of 0 reaches the handler as a null pointer, with no data.
            data = client.get_arg().data
            lock = int.from_bytes(bytes(data), 'little') if data else 0
            self.requests.append(f'CDROM_LOCKDOOR {lock}')
            client.complete(0, 0)
        elif request == CDROMEJECT:
            if self.mounted and not self.unmounted():
                self.requests.append('CDROMEJECT busy')
                client.complete(-1, errno.EBUSY)
            else:
                self.requests.append('CDROMEJECT')
                self.tray_open = True
                client.complete(0, 0)
        else:
            self.requests.append(hex(request))
            client.complete(-1, errno.ENOTTY)
        return True


class LaterDrive:
    """What traywatch asked of a drive after the first with a disc: its disc test starts with
    the others', so the drive may have been asked its status before traywatch ended, and
    nothing else. Compares equal to either."""

    def __eq__(self, requests):
        return requests in ([], ['CDROM_DRIVE_STATUS'])

    def __contains__(self, request):
        return False

    def __repr__(self):
        return "[] or ['CDROM_DRIVE_STATUS']"


LATER_DRIVE = LaterDrive()


class Run:
    def __init__(self, returncode, stdout, stderr, seconds, timed_out):
        self.returncode, self.stdout, self.stderr = returncode, stdout, stderr
        self.seconds, self.timed_out = seconds, timed_out


class Bed:
    def __init__(self, name):
        self.root = tempfile.mkdtemp(prefix=f'zelvo-{name}-', dir=SCRATCH)
        self.testbed = UMockdev.Testbed.new()
        self.drives = {}
        self._handlers = []
        self._context = GLib.MainContext.default()
        self._bus_pids = []
        self._servers = []
        self.sessions = {}  # the mock logind's session objects by id
        self._display = []
        self._started = set()  # the bed's own children, which are never adopted
        self.failures = 0
        # Whatever happens to the test, what it started ends and its folder goes.
        atexit.register(self._clean_up)
        # Programs that outlive the one that started them come back to this process, to be
        # waited for and reaped like its own children.
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)

    # -- Drives

    def add_drive(self, name, disc=True, mounted=False):
        drive = Drive(name, disc, mounted)
        number = int(name.removeprefix('sr'))
        self.testbed.add_from_string(UDEV_RECORD.format(n=number, name=name))
        handler = UMockdev.IoctlBase()
        handler.connect('handle-ioctl', lambda _handler, client: drive.handle(client))
        self.testbed.attach_ioctl(drive.node, handler)
        self._handlers.append(handler)
        self.drives[name] = drive
        return drive

    def remove_drive(self, name):
        """Unplugs a drive: udev forgets it and its node goes."""
        record = UDEV_RECORD.format(n=int(name.removeprefix('sr')), name=name)
        self.testbed.remove_device('/sys' + record.split('\n')[0].removeprefix('P: '))
        del self.drives[name]

    def requests(self):
        """Each drive's requests since the last call, by drive name; the record starts anew."""
        seen = {name: drive.requests for name, drive in self.drives.items()}
        for drive in self.drives.values():
            drive.requests = []
        return seen

    def open_trays(self):
        return sorted(name for name, drive in self.drives.items() if drive.tray_open)

    def close_trays(self):
        for drive in self.drives.values():
            drive.tray_open = False

    # -- Programs

    def install(self, folder, *programs):
        """Copies programs of the suite into a folder of the test; returns its path."""
        path = os.path.join(self.root, folder)
        os.makedirs(path, exist_ok=True)
        for program in programs:
            shutil.copy2(os.path.join(BIN, program), path)
        return path

    def environment(self, **extra):
        env = {key: value for key, value in os.environ.items()
               if key not in ('DISPLAY', 'WAYLAND_DISPLAY')}
        env.update(LD_PRELOAD='libumockdev-preload.so.0', UMOCKDEV_DIR=self.testbed.get_root_dir(),
                   LC_ALL='C.UTF-8')
        env.update(extra)
        return env

    def start(self, argv, env=None, pass_fds=()):
        out = open(os.path.join(self.root, 'stdout'), 'w+b')
        err = open(os.path.join(self.root, 'stderr'), 'w+b')
        process = subprocess.Popen(argv, env=env or self.environment(), stdout=out, stderr=err,
                                   pass_fds=pass_fds)
        process.started = time.monotonic()
        self._started.add(process.pid)
        process.outputs = (out, err)
        process.pidfd = os.pidfd_open(process.pid)
        process.ended = False

        def on_end(*_):
            process.ended = True
            return GLib.SOURCE_REMOVE
        GLib.unix_fd_add_full(GLib.PRIORITY_DEFAULT, process.pidfd, GLib.IOCondition.IN, on_end)
        return process

    def finish(self, process, seconds):
        """Lets the drives answer until the program ends, or kills it at the deadline."""
        self.iterate_until(lambda: process.ended, seconds)
        timed_out = not process.ended
        if timed_out:
            process.kill()
        process.wait(5)
        os.close(process.pidfd)
        elapsed = time.monotonic() - process.started
        texts = []
        for output in process.outputs:
            output.seek(0)
            texts.append(output.read().decode('utf-8', 'replace'))
            output.close()
        return Run(process.returncode, texts[0], texts[1], elapsed, timed_out)

    def run(self, argv, seconds=10, env=None, pass_fds=()):
        return self.finish(self.start(argv, env, pass_fds), seconds)

    def iterate_until(self, condition, seconds):
        """Runs the main context (where the drives answer) until the condition holds or the
        deadline passes; the condition is looked at after every event and every 50 ms."""
        deadline = time.monotonic() + seconds
        ticker = GLib.timeout_add(50, lambda: GLib.SOURCE_CONTINUE)
        try:
            while not condition() and time.monotonic() < deadline:
                self._context.iteration(True)
        finally:
            GLib.source_remove(ticker)
        return condition()

    def adopted(self):
        """Programs of this test that outlived the program that started them: adopted by this
        process, running or waiting to be reaped. Returns {pid: name}."""
        found = {}
        for entry in os.listdir('/proc'):
            if not entry.isdigit():
                continue
            try:
                with open(f'/proc/{entry}/stat') as stat:
                    fields = stat.read()
            except OSError:
                continue
            name = fields[fields.index('(') + 1:fields.rindex(')')]
            parent = int(fields[fields.rindex(')') + 2:].split()[1])
            if (parent == os.getpid() and int(entry) not in self._started and
                    name in ('traypop', 'trayflush', 'traywatch', 'komunikat')):
                found[int(entry)] = name
        return found

    def children_of(self, pid):
        """The processes whose parent is pid (zombies included)."""
        try:
            with open(f'/proc/{pid}/task/{pid}/children') as children:
                return [int(child) for child in children.read().split()]
        except OSError:
            return []

    def settle(self, seconds=5):
        """Waits for the adopted programs to end and reaps them; true when none had to be
        killed."""
        def all_ended():
            for pid in self.adopted():
                with open(f'/proc/{pid}/stat') as stat:
                    if stat.read().rsplit(')', 1)[1].split()[0] != 'Z':
                        return False
            return True
        clean = self.iterate_until(all_ended, seconds)
        for pid in self.adopted():
            try:
                os.kill(pid, signal.SIGKILL)
                os.waitpid(pid, 0)
            except (ProcessLookupError, ChildProcessError):
                pass
        return clean

    # -- The system bus

    def start_udisks(self):
        """A private system bus with a mock UDisks2 that knows every drive added so far: each
        is a block device with a file system, and unmounting it frees the disc. Returns the mock
        interfaces of the manager and of each drive's block device, by drive name."""
        import dbus
        import dbusmock
        from dbusmock import DBusTestCase
        self._start_system_bus()
        service, root = 'org.freedesktop.UDisks2', '/org/freedesktop/UDisks2'
        self._servers.append(DBusTestCase.spawn_server(
            service, root, 'org.freedesktop.DBus.ObjectManager', system_bus=True,
            stdout=subprocess.DEVNULL))
        bus = DBusTestCase.get_dbus(system_bus=True)
        mock = dbus.Interface(bus.get_object(service, root), dbusmock.MOCK_IFACE)
        known = {drive.node: f'{root}/block_devices/{name}' for name, drive in self.drives.items()}
        mock.AddObject(f'{root}/Manager', 'org.freedesktop.UDisks2.Manager', {}, [
            ('ResolveDevice', 'a{sv}a{sv}', 'ao',
             f'path = {known!r}.get(str(args[0].get("path", ""))); '
             'ret = [dbus.ObjectPath(path)] if path else []'),
        ])
        devices = {}
        for name, drive in self.drives.items():
            path = known[drive.node]
            mock.AddObject(path, 'org.freedesktop.UDisks2.Block',
                           {'Device': dbus.ByteArray(drive.node.encode() + b'\0')}, [])
            device = dbus.Interface(bus.get_object(service, path), dbusmock.MOCK_IFACE)
            device.AddMethod('org.freedesktop.UDisks2.Filesystem', 'Unmount', 'a{sv}', '', '')
            drive.unmounted = lambda device=device: bool(device.GetMethodCalls('Unmount'))
            devices[name] = device
        manager = dbus.Interface(bus.get_object(service, f'{root}/Manager'), dbusmock.MOCK_IFACE)
        return manager, devices

    def _start_system_bus(self, debian_policy=False):
        from dbusmock import DBusTestCase
        if DBusTestCase.system_bus_pid is not None:
            return
        if debian_policy:
            DBusTestCase.system_bus_pid, os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = (
                DBusTestCase.start_dbus(conf=self._debian_policy()))
        else:
            DBusTestCase.start_system_bus()
        self._bus_pids.append(DBusTestCase.system_bus_pid)

    def _debian_policy(self):
        """The path of a copy of Debian's system.conf without what belongs to the daemon process,
        listening in /tmp (a socket's path holds at most 107 bytes), for every user."""
        with open('/usr/share/dbus-1/system.conf') as conf:
            text = re.sub(r'<(user|pidfile|servicehelper|listen)>.*?</\1>|<(fork|syslog|'
                          r'standard_system_servicedirs)/>', '', conf.read(), flags=re.S)
        text = text.replace('>system.d<', '>/usr/share/dbus-1/system.d<').replace(
            '</busconfig>', '<listen>unix:dir=/tmp</listen></busconfig>')
        if not os.path.exists('/usr/share/dbus-1/system.d/org.freedesktop.login1.conf'):
            # Without systemd, which ships logind's part of the policy: root's part of it.
            text = text.replace('</busconfig>', '<policy user="root"><allow own="org.freedesktop.'
                                'login1"/><allow send_destination="org.freedesktop.login1"/>'
                                '</policy></busconfig>')
        path = os.path.join(self.root, 'system-bus.conf')
        with open(path, 'w') as conf:
            conf.write(text)
        return path

    def start_logind(self, *sessions, debian_policy=False):
        """A mock logind on the private system bus (python-dbusmock's template, with the methods
        above; the bus under Debian's own policy when asked) with these sessions of the user;
        returns its mock interface (EmitSignal, AddSession) and its Manager interface
        (ListInhibitors)."""
        import dbus
        import dbusmock
        from dbusmock import DBusTestCase
        self._start_system_bus(debian_policy)
        server, _ = DBusTestCase.spawn_server_template('logind', {}, stdout=subprocess.DEVNULL)
        self._servers.append(server)
        self.logind_server = server
        bus = DBusTestCase.get_dbus(system_bus=True)
        login = bus.get_object('org.freedesktop.login1', '/org/freedesktop/login1')
        self.logind = dbus.Interface(login, dbusmock.MOCK_IFACE)
        self.logind.AddMethods('org.freedesktop.login1.Manager', LOGIND_METHODS)
        for session in sessions:
            self.add_session(session)
        return self.logind, dbus.Interface(login, 'org.freedesktop.login1.Manager')

    def restart_logind(self):
        """Ends the mock logind and starts another (under a new unique name, with no session)."""
        self.logind_server.terminate()
        self.logind_server.wait(10)
        self._servers.remove(self.logind_server)
        return self.start_logind()

    def add_session(self, session, uid=None):
        """A session of the user's (or of another uid) with any id."""
        import dbus
        uid = os.getuid() if uid is None else uid
        self.sessions[session] = self.logind.AddSession(
            re.sub('[^A-Za-z0-9]', '_', session), 'seat0', dbus.UInt32(uid), f'u{uid}', True)
        self.session_mock(session).UpdateProperties('org.freedesktop.login1.Session',
                                                    {'Id': session})

    def set_display(self, session):
        """Makes the session the user's display session (the user's Display property)."""
        import dbus
        from dbusmock import DBusTestCase
        user = DBusTestCase.get_dbus(system_bus=True).get_object(
            'org.freedesktop.login1', f'/org/freedesktop/login1/user/{os.getuid()}')
        user.Set('org.freedesktop.login1.User', 'Display', dbus.Struct(
            (session, dbus.ObjectPath(self.sessions[session])), signature='so'),
            dbus_interface=dbus.PROPERTIES_IFACE)

    def session_mock(self, session):
        """The mock interface of a session object (UpdateProperties)."""
        import dbus
        import dbusmock
        from dbusmock import DBusTestCase
        bus = DBusTestCase.get_dbus(system_bus=True)
        return dbus.Interface(bus.get_object('org.freedesktop.login1', self.sessions[session]),
                              dbusmock.MOCK_IFACE)

    # -- A desktop

    def start_display(self, accessible=False):
        """A virtual display with a window manager (openbox, which gives windows the focus and
        closes them on Alt+F4) and a session bus of the test's own; returns the environment a
        program on it needs. An accessible desktop also runs the accessibility bus, through
        which a screen reader (and the test, with pyatspi) reads the windows."""
        from dbusmock import DBusTestCase
        DBusTestCase.start_session_bus()
        self._bus_pids.append(DBusTestCase.session_bus_pid)
        reader, writer = os.pipe()
        # -noreset: by default the server starts afresh whenever its last client leaves, and a
        # client that connects meanwhile is refused; a short-lived tool (xprop, the
        # accessibility bus's launcher) leaving just as openbox connects would keep it out.
        self._display.append(subprocess.Popen(
            ['Xvfb', '-displayfd', str(writer), '-noreset', '-screen', '0', '1024x768x24',
             '-nolisten', 'tcp'],
            pass_fds=(writer,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        os.close(writer)
        # The number comes as a line, perhaps in two writes; closing the pipe before its end
        # would fail Xvfb's second write and stop it.
        number = b''
        while not number.endswith(b'\n') and select.select([reader], [], [], 20)[0]:
            chunk = os.read(reader, 32)
            if not chunk:
                break
            number += chunk
        os.close(reader)
        if not number.endswith(b'\n'):
            raise RuntimeError('Xvfb did not start')
        display = ':' + number.decode().strip()
        env = dict(DISPLAY=display, DBUS_SESSION_BUS_ADDRESS=os.environ['DBUS_SESSION_BUS_ADDRESS'])
        if accessible:
            self._display.append(subprocess.Popen(
                ['/usr/libexec/at-spi-bus-launcher', '--launch-immediately'],
                env=dict(os.environ, **env), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            from dbusmock import DBusTestCase
            session = DBusTestCase.get_dbus(system_bus=False)
            if not self.iterate_until(lambda: session.name_has_owner('org.a11y.Bus'), 10):
                raise RuntimeError('the accessibility bus did not start')
        else:
            # No accessibility bus on this session bus: GTK is told not to look for one.
            env['GTK_A11Y'] = 'none'
        self._wm_log = os.path.join(self.root, 'openbox.log')
        with open(self._wm_log, 'wb') as log:
            self._wm = subprocess.Popen(['openbox', '--sm-disable'], env=dict(os.environ, **env),
                                        stdout=log, stderr=subprocess.STDOUT)
        self._display.append(self._wm)
        # xprop succeeds whether or not the property is there: only the window it names tells
        # that the window manager has taken the screen.
        if not self.iterate_until(lambda: 'window id #' in self.tool(
                ['xprop', '-root', '_NET_SUPPORTING_WM_CHECK'], env)[1], 20):
            raise RuntimeError(f'openbox did not start: {self.window_manager_trouble()}')
        return env

    def window_manager_trouble(self):
        """Why keys may not reach a window: the window manager's state and what it printed."""
        with open(self._wm_log, errors='replace') as log:
            said = ' '.join(log.read().split())[-400:]
        state = 'running' if self._wm.poll() is None else f'ended with {self._wm.returncode}'
        return f'openbox {state}; it said: {said!r}'

    def tool(self, argv, env, seconds=10, errors=False):
        """Runs a tool of the test (not under umockdev) while the drives answer; returns its
        exit status and output (with its errors, when asked), or None for the status when it
        had to be killed."""
        # The output goes to a file: a pipe nobody reads until the end holds a tool that writes
        # more than the pipe takes (xdpyinfo's some 100 KB) until it is killed.
        with tempfile.TemporaryFile() as output:
            process = subprocess.Popen(argv, env=dict(os.environ, **env), stdout=output,
                                       stderr=subprocess.STDOUT if errors else subprocess.DEVNULL)
            pidfd = os.pidfd_open(process.pid)
            ended = []
            source = GLib.unix_fd_add_full(GLib.PRIORITY_DEFAULT, pidfd, GLib.IOCondition.IN,
                                           lambda *_: ended.append(True) or GLib.SOURCE_REMOVE)
            if not self.iterate_until(lambda: ended, seconds):
                GLib.source_remove(source)
                process.kill()
            os.close(pidfd)
            process.wait()
            output.seek(0)
            return (process.returncode if ended else None), output.read().decode('utf-8',
                                                                                  'replace')

    def picture(self, desktop, window, out, seconds=20):
        """Writes the picture of a window (of the screen, trimmed, for 'root') once it has drawn
        itself: two captures in a row alike, and not of one colour. No text chunks (dates), so
        that the same window gives the same file. Ends the script when the deadline passes
        first, leaving no picture."""
        deadline, last, seen = time.monotonic() + seconds, None, None
        trim = ['-trim', '+repage'] if window == 'root' else []
        while time.monotonic() < deadline:
            self.tool(['import', '-window', window, *trim, '-strip', out], desktop)
            last, seen = seen, self.tool(['identify', '-format', '%k %#', out], desktop)[1]
            if seen and seen == last and not seen.startswith('1 '):
                return
            self.iterate_until(lambda: False, 0.5)
        if os.path.exists(out):
            os.remove(out)
        sys.exit(f'{out}: window {window} not drawn within {seconds} s (last capture: colours '
                 f'and hash {seen!r})')

    def visible_box(self, desktop):
        """The one message box on the display: its window id, title and process (a new box may
        get the window id of the last, never its process); None while there is none."""
        status, ids = self.tool(['xdotool', 'search', '--onlyvisible', '--class', 'komunikat'],
                                desktop)
        ids = ids.split()
        if status != 0 or len(ids) != 1:
            return None
        return (ids[0], self.tool(['xdotool', 'getwindowname', ids[0]], desktop)[1].strip(),
                self.tool(['xdotool', 'getwindowpid', ids[0]], desktop)[1].strip())

    def wait_for_box(self, desktop, seconds=30, other_than=None):
        """Waits for a box (one other than the given one) to be shown; returns it, or None. A
        box is a GTK program starting: on a busy machine that may take several seconds."""
        shown = []

        def appeared():
            shown.append(self.visible_box(desktop))
            return shown[-1] is not None and shown[-1] != other_than
        return shown[-1] if self.iterate_until(appeared, seconds) else None

    def press(self, desktop, window, key):
        """Gives the window the focus and presses the key (XTEST, as a user would)."""
        status, said = self.tool(['xdotool', 'windowactivate', '--sync', window, 'key',
                                  '--clearmodifiers', key], desktop, errors=True)
        if status != 0:
            print(f'# {key} not pressed in window {window}: xdotool {status}, '
                  f'{" ".join(said.split())!r}; {self.window_manager_trouble()}', flush=True)
        return status == 0

    def accessible(self, role, name, seconds=10, within=None):
        """The first accessible object with this role and name on the desktop (or within an
        object), found with a deadline; None when there is none."""
        import pyatspi

        def find(node):
            if node is None:
                return None
            if node.getRoleName() == role and node.name == name:
                return node
            for index in range(node.childCount):
                found = find(node.getChildAtIndex(index))
                if found:
                    return found
            return None
        found = []
        self.iterate_until(lambda: found.append(find(within or pyatspi.Registry.getDesktop(0)))
                           or found[-1] is not None, seconds)
        return found[-1] if found else None

    @staticmethod
    def method_calls(mock, method):
        """The arguments of each call of a mock's method, as plain Python values."""
        def plain(value):
            if isinstance(value, dict):
                return {plain(key): plain(item) for key, item in value.items()}
            if isinstance(value, (list, tuple)):
                return [plain(item) for item in value]
            if isinstance(value, int):
                return bool(value) if value.__class__.__name__ == 'Boolean' else int(value)
            return str(value) if isinstance(value, str) else value
        return [plain(arguments) for _time, arguments in mock.GetMethodCalls(method)]

    # -- Checks, as the Wine tests print them

    def check(self, what, passed):
        print(f'ok   - {what}' if passed else f'FAIL - {what}', flush=True)
        if not passed:
            self.failures += 1
        return passed

    def expect_eq(self, what, expected, actual):
        if not self.check(what, expected == actual):
            print(f'       expected: {expected!r}')
            print(f'       actual:   {actual!r}', flush=True)

    def close(self):
        """Ends the test: cleans up and exits with its result."""
        self._clean_up()
        sys.exit(1 if self.failures else 0)

    def _clean_up(self):
        if self.root is None:
            return
        self.settle(1)
        for server in self._servers:
            os.kill(server.pid, signal.SIGCONT)  # a test may have frozen it
            server.terminate()
            server.wait(10)
        for pid in self._bus_pids:
            # Each bus forked away from its starter and so came to this process, to be reaped.
            end(pid)
        if self._bus_pids:
            from dbusmock import DBusTestCase
            shutil.rmtree(os.path.dirname(DBusTestCase.get_services_dir()), ignore_errors=True)
        for process in reversed(self._display):
            process.terminate()
            process.wait(10)
        for handler in self._handlers:
            handler.run_dispose()
        shutil.rmtree(self.root, ignore_errors=True)
        self.root = None
