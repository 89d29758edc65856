"""The command line: --export against the window's ScreenShot and against a
figure given at start, the messages and statuses of its failures, Ctrl+C,
and the same bytes on one thread or many."""
import os
import resource
import signal
import struct
import subprocess
import sys
import tempfile

import harness
from test_files import read_bmp

from harness import LOAD, LOADING_BAR, SCREENSHOT, entry_colour

FIRST_ENTRY = entry_colour(0)
SHOWN = ['crystal.fig', 'rose.fig', 'sphere.fig', 'tunnel.fig']      # Style 1 and Style 2 figures
OPTIONS = ['--scale', '--export', '--size', '--refine', '--threads', '--auto-gain', '--explain', '--help', '--version']
USAGE_LINE = 'Usage: latticegraph [--scale N] [FIGURE.fig]'


def read_png(path):
    """Width and top-down RGB bytes of an 8-bit RGB PNG (decoded by ImageMagick)."""
    with open(path, 'rb') as f:
        head = f.read(26)
    width, _, depth, colour = struct.unpack('>IIBB', head[16:26])
    assert head[:8] == b'\x89PNG\r\n\x1a\n' and (depth, colour) == (8, 2), 'not an 8-bit RGB PNG'
    return width, subprocess.run(['convert', path, '-depth', '8', 'rgb:-'], capture_output=True, check=True).stdout


def limit_file_size():
    """A 4 KiB file size limit, with SIGXFSZ as a shell leaves it (Python ignores it)."""
    signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
    resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def area(rgb, width):
    return b''.join(rgb[3 * width * y:3 * (width * y + harness.AREA)] for y in range(harness.AREA))


class Export(harness.AppTestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name, content=None):
        p = os.path.join(self.dir.name, name)
        if content is not None:
            with open(p, 'wb') as f:
                f.write(content)
        return p

    def run_cli(self, *args, env=None, cwd=None, preexec_fn=None):
        r = subprocess.run([harness.PROGRAM] + list(args), capture_output=True, timeout=120, env=env, cwd=cwd,
                           preexec_fn=preexec_fn)
        return r.returncode, r.stdout.decode(), r.stderr.decode()

    def export(self, figure, name, *options):
        out = self.path(name)
        self.assertEqual(self.run_cli('--export', figure, out, *options), (0, '', ''))
        return out

    def figure_with(self, fields):
        return self.path('f.fig', (' '.join(fields) + ' 0 0 0 0 0 255 0 255 255 255 255 255 1 100').encode())

    def test_size_480_is_the_screenshot_area(self):
        files = {name: read(os.path.join(sys.argv[2], name)) for name in SHOWN}
        app = self.start_app(gallery=files)
        loading_bar = app.shot().region(*LOADING_BAR)
        for i, name in enumerate(SHOWN):
            app.click(*LOAD)
            app.wait_for(lambda s: s.px(4, 4) == FIRST_ENTRY, 'the Load list')
            app.click(96, 16 * i + 8)
            app.park()
            app.wait_for(lambda s: s.px(4, 4) != FIRST_ENTRY and s.region(*LOADING_BAR) == loading_bar, 'the render')
            app.click(*SCREENSHOT)
            shot = read_bmp(app.wait_file('Screenshots', 'shot%d.bmp' % i, size=54 + 640 * 480 * 3))
            width, png = read_png(self.export(app.path('gallery', name), name + '.png'))
            self.assertEqual(width, 480)
            self.assertTrue(area(shot, 640) == png, name + ': the export differs from the screenshot')

    def test_figure_given_at_start(self):
        app = self.start_app(gallery={'w.fig': read(os.path.join(sys.argv[2], 'waves.fig'))},
                             args=['gallery/w.fig'])
        _, png = read_png(self.export(app.path('gallery', 'w.fig'), 'w.png'))
        app.wait_for(lambda s: area(s.data, s.width) == png, 'the figure of the file, as exported')
        no_display = dict(os.environ)
        no_display.pop('DISPLAY', None)
        self.assertEqual(self.run_cli(self.path('none.fig'), env=no_display),
                         (2, '', 'latticegraph: cannot read %s: no such file or folder\n' % self.path('none.fig')))

    def test_help_and_usage_errors(self):
        status, out, err = self.run_cli('--help')
        self.assertEqual((status, err), (0, ''))
        for option in OPTIONS + ['Example: latticegraph --export']:
            self.assertIn(option, out)
        for args, problem in ((['--bogus'], 'unknown option --bogus'), (['--export', 'default'], '--export needs'),
                              (['--export', 'default', 'o.png', '--size', '17'], '--size takes an even number')):
            status, out, err = self.run_cli(*args)
            self.assertEqual((status, out), (2, ''))
            self.assertTrue(err.startswith('latticegraph: ' + problem), err)
            self.assertIn(USAGE_LINE, err)

    def test_failures_name_file_and_reason(self):
        blocker, out = self.path('file', b'x'), self.path('o.png')
        # args, exit status, message, what the process starts with
        rows = [([self.path('none.fig'), out], 2, 'cannot read %s: no such file or folder' % self.path('none.fig'), None),
                (['default', '/no-such-folder/o.png'], 1, 'cannot write /no-such-folder/o.png: No such file or directory',
                 None),
                (['default', blocker + '/o.png'], 1, 'cannot write %s/o.png: Not a directory' % blocker, None),
                ([self.figure_with(['X', 'Y', 'Z', '0', '1', '1', '0', '1', '0', '0', '0', '1']), out], 2,
                 'cannot export %s: the Y sweep never ends: its skip 0 is not above 0' % self.path('f.fig'), None),
                (['default', out, '--refine', '1e-12,1,1'], 2, 'cannot export default: the X sweep never ends: '
                 'its skip 5e-13 (the figure\'s 0.5 scaled) is too small to move X somewhere between -62.8318 and 62.8318',
                 None),
                (['default', out], 1, 'cannot write %s: File too large' % out, limit_file_size)]
        rows.append(([self.path('f.fig'), self.path('f.fig')], 2, 'cannot write %s: it is the figure being exported'
                     % self.path('f.fig'), None))
        os.mkfifo(self.path('pipe'))
        rows.append((['default', self.path('pipe')], 1, 'cannot write %s: it is not a regular file' % self.path('pipe'),
                     None))
        for args, status, message, start in rows:
            self.assertEqual(self.run_cli('--export', *args, preexec_fn=start), (status, '', 'latticegraph: %s\n' % message))
        self.assertEqual(sorted(os.listdir(self.dir.name)), ['f.fig', 'file', 'pipe'])
        os.symlink('file', self.path('link.png'))       # a link is written through, and stays
        os.symlink('new', self.path('dangling.png'))    # also one to a file that does not exist yet
        for link, target in (('link.png', blocker), ('dangling.png', self.path('new'))):
            self.export('default', link)
            self.assertEqual((os.path.islink(self.path(link)), read_png(target)[0]), (True, 480))

    def test_bare_name_found_in_the_data_folder_gallery(self):
        home, empty, working = self.path('home'), self.path('empty'), self.path('working')
        user = os.path.join(home, '.local/share/latticegraph/gallery')
        for folder in (user, empty, os.path.join(working, 'gallery')):
            os.makedirs(folder)
        for folder in (user, os.path.join(working, 'gallery')):
            self.path(os.path.join(folder, 'g.fig'), read(os.path.join(sys.argv[2], 'rose.fig')))
        env = dict(os.environ, HOME=home, XDG_DATA_HOME='')
        env.pop('DISPLAY', None)
        missing = 'latticegraph: cannot read %s: no such file in the working folder %s nor in %s\n'
        # columns: working folder, arguments, status, message
        rows = [(empty, ['--export', 'g.fig', 'o.png'], 0, ''),
                (working, ['--export', 'g.fig', 'o.png'], 0, ''),
                (empty, ['--export', 'none.fig', 'o.png'], 2, missing % ('none.fig', empty, user)),
                (working, ['--export', 'none.fig', 'o.png'], 2,
                 missing % ('none.fig', working, os.path.join(working, 'gallery'))),
                (empty, ['--export', './g.fig', 'o.png'], 2, 'latticegraph: cannot read ./g.fig: no such file or folder\n'),
                (empty, ['none.fig'], 2, missing % ('none.fig', empty, user)),
                (empty, ['g.fig'], 1, 'latticegraph: cannot open a display.')]     # read, then no display
        for cwd, args, status, message in rows:
            got = self.run_cli(*args, env=env, cwd=cwd)
            self.assertEqual(got[:2], (status, ''), (cwd, args))
            self.assertTrue(got[2].startswith(message), (cwd, args, got[2]))
        self.assertEqual(sorted(os.listdir(empty) + os.listdir(working)), ['gallery', 'o.png', 'o.png'])

    def test_warns_and_draws(self):
        # figure fields, output name, warnings
        rows = [(['X', 'X+', '(Z', '0', '1', '1', '0', '1', '1', '0', '1', '1'], 'o.png',
                 'warning: Y formula "X+", col 2: draws nothing: the formula ends with an operator\n'
                 'warning: Z formula "(Z", col 1: draws nothing: unbalanced parentheses, the formula has a "(" that is '
                 'never closed\n'),
                (['X', 'Y', 'Z', '1', '0', '1', '0', '1', '0', '0', '0', '1'], 'o.png',     # Y is never reached
                 'warning: the X sweep visits no value (from 1 to 0); the picture is empty\n'),
                (['X', 'Y', 'Z', '0', '1', '1', '0', '1', '1', '0', '0', '1'], 'o.PiNG',
                 'warning: %s does not end in .png; it is written as a PNG file all the same\n' % self.path('o.PiNG'))]
        for fields, name, warnings in rows:
            status, _, err = self.run_cli('--export', self.figure_with(fields), self.path(name))
            self.assertEqual((status, err), (0, warnings))
            self.assertEqual(read_png(self.path(name))[0], 480)

    def test_findings_are_warnings(self):
        fig = self.figure_with(['X-Y/64', '2X/64', 'sin(X)/64', '0', '1', '1', '0', '1', '1', '0', '1', '1'])
        status, _, err = self.run_cli('--export', fig, self.path('o.png'))
        lines = err.splitlines()
        self.assertEqual(status, 0)
        self.assertEqual([l.split(':')[1] for l in lines], [' X formula "X-Y/64", col 2', ' Y formula "2X/64", col 2',
                                                          ' Y formula "2X/64", col 1', ' Z formula "sin(X)/64", col 1'])
        self.assertEqual(read_png(self.path('o.png'))[0], 480)

    def test_explain(self):
        status, out, err = self.run_cli('--explain', 'sin(X)', 'X+-Y', '-X')
        findings = [line for line in out.splitlines() if line.startswith('col')]
        self.assertEqual((status, err, len(findings)), (0, '', 1))
        self.assertTrue(findings[0].startswith('col 1: "sin" is skipped') and 'S(X)' in findings[0], findings[0])
        self.assertIn('reads as: X+(-1*Y)', out)
        status, out, _ = self.run_cli('--explain', 'X', 'X+')
        self.assertEqual((status, [line for line in out.splitlines() if line.startswith('col')]),
                         (1, ['col 2: draws nothing: the formula ends with an operator']))

    def test_auto_gain_unsaturates_a_dense_figure(self):
        dense = ['default', None, '--refine', '0.125,0.125,1']
        top = bytes([255, 255, 255])                # the default ramp's last stop
        saturated = []
        for name, options in (('plain.png', []), ('fitted.png', ['--auto-gain'])):
            status, _, err = self.run_cli('--export', dense[0], self.path(name), *dense[2:], *options)
            self.assertEqual(status, 0, err)
            _, rgb = read_png(self.path(name))
            pixels = [rgb[i:i + 3] for i in range(0, len(rgb), 3)]
            lit = [p for p in pixels if p != bytes(3)]
            saturated.append(sum(p == top for p in lit) / len(lit))
        self.assertIn('--auto-gain: gain ', err)
        self.assertGreater(saturated[0], 0.5)
        self.assertLess(saturated[1], 0.05)

    def test_interrupt_leaves_no_file(self):
        out = self.path('o.png', b'older picture')
        crystal = os.path.join(sys.argv[2], 'crystal.fig')
        p = subprocess.Popen([harness.PROGRAM, '--export', crystal, out, '--size', '8192'], stderr=subprocess.PIPE,
                             preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        try:
            p.wait(1.5)                     # past the first second, when a terminal would show progress
        except subprocess.TimeoutExpired:
            p.send_signal(signal.SIGINT)
        err = p.communicate(timeout=30)[1].decode()
        self.assertEqual((p.returncode, err), (-signal.SIGINT, 'latticegraph: interrupted; %s was not written\n' % out))
        self.assertEqual(os.listdir(self.dir.name), ['o.png'])
        self.assertEqual(read(out), b'older picture')

    def test_one_thread_or_many_same_bytes(self):
        for name in ('crystal.fig', 'sphere.fig'):
            figure = os.path.join(sys.argv[2], name)
            one, many = (self.export(figure, '%s-%s.png' % (name, t), '--size', '1024', '--threads', t) for t in '14')
            self.assertTrue(read(one) == read(many), name)
            piped = subprocess.run([harness.PROGRAM, '--export', figure, '-', '--size', '1024'], capture_output=True,
                                   timeout=120)
            self.assertEqual((piped.returncode, piped.stderr), (0, b''))
            self.assertTrue(piped.stdout == read(one), name + ': standard output differs from the file')

if __name__ == '__main__':
    harness.main()
