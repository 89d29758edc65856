"""The installed program: cmake --install into a fresh prefix puts the program,
the starter gallery (the figures CMakeLists.txt lists, never a figure saved
into the working gallery), the man page, the desktop entry, the figure type
and the icon in place; started from an empty folder it makes the user's
folder with the starter figures, lists them under Load and keeps its
screenshots there."""
import filecmp
import os
import shutil
import subprocess
import tempfile
import harness
from harness import LOAD, SCREENSHOT, entry_colour

FILES = ['bin/latticegraph', 'share/man/man1/latticegraph.1.gz', 'share/applications/latticegraph.desktop',
         'share/icons/hicolor/128x128/apps/latticegraph.png', 'share/mime/packages/latticegraph.xml']
FIGURE_TYPE = 'application/x-latticegraph-figure'


def content_types(package, files):
    """update-mime-database over the system's types and this package in a scratch tree: its complaints, and
    the type that gio then gives each of these files {name: content}."""
    tree = tempfile.mkdtemp(prefix='latticegraph-mime-')
    try:
        os.makedirs(os.path.join(tree, 'mime/packages'))
        for p in (package, '/usr/share/mime/packages/freedesktop.org.xml'):
            shutil.copy(p, os.path.join(tree, 'mime/packages'))
        env = dict(os.environ, XDG_DATA_HOME=tree, XDG_DATA_DIRS=tree)
        run = subprocess.run(['update-mime-database', os.path.join(tree, 'mime')], capture_output=True, text=True,
                             env=env)
        types = {}
        for name, content in files.items():
            with open(os.path.join(tree, name), 'wb') as f:
                f.write(content)
            info = subprocess.run(['gio', 'info', '-a', 'standard::content-type', os.path.join(tree, name)],
                                  capture_output=True, text=True, env=env).stdout
            types[name] = info.rsplit('standard::content-type: ', 1)[-1].strip()
        return run.stderr, types
    finally:
        shutil.rmtree(tree, True)


class Install(harness.AppTestCase):
    def setUp(self):
        build = os.path.dirname(harness.PROGRAM)
        self.assertTrue(os.path.exists(os.path.join(build, 'cmake_install.cmake')), 'a CMake build folder: ' + build)
        self.prefix = tempfile.mkdtemp(prefix='latticegraph-prefix-')
        self.addCleanup(shutil.rmtree, self.prefix, True)
        scratch = os.path.join(harness.GALLERY, 'scratch-%d.fig' % os.getpid())     # as Save leaves one
        shutil.copy(os.path.join(harness.GALLERY, 'rose.fig'), scratch)
        self.addCleanup(os.remove, scratch)
        subprocess.run(['cmake', '--install', build, '--prefix', self.prefix], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(build, 'starter-figures.txt')) as listed:
            self.starters = sorted(listed.read().split())

    def test_installed_files(self):
        for f in FILES:
            self.assertTrue(os.path.isfile(os.path.join(self.prefix, f)), f)
        installed = os.path.join(self.prefix, 'share/latticegraph/gallery')
        self.assertEqual(sorted(os.listdir(installed)), self.starters)
        man = subprocess.run(['man', '--warnings', '-l', os.path.join(self.prefix, FILES[1])], capture_output=True,
                             text=True, env=dict(os.environ, MANWIDTH='80', LC_ALL='C.UTF-8'))
        self.assertEqual(man.stderr, '', 'the man page formats without warnings')
        for section in ('SYNOPSIS', 'THE PANEL', 'KEYS', 'THE FORMULA LANGUAGE IN SHORT', 'FILES', 'EXIT STATUS'):
            self.assertIn('\n' + section + '\n', man.stdout)
        if shutil.which('desktop-file-validate'):
            check = subprocess.run(['desktop-file-validate', os.path.join(self.prefix, FILES[2])],
                                   capture_output=True, text=True)
            self.assertEqual(check.stdout + check.stderr, '', 'the desktop entry validates')
        with open(os.path.join(self.prefix, FILES[2])) as entry:
            self.assertIn('\nMimeType=%s;\n' % FIGURE_TYPE, entry.read())
        package = os.path.join(self.prefix, FILES[4])
        lint = subprocess.run(['xmllint', '--noout', package], capture_output=True, text=True)
        self.assertEqual(lint.stderr, '', 'the figure type is well-formed XML')
        with open(os.path.join(harness.GALLERY, 'rose.fig'), 'rb') as rose:
            complaints, types = content_types(package, {'rose.fig': rose.read(), 'drawing.fig': b'#FIG 3.2\n'})
        self.assertEqual(complaints, '', 'update-mime-database takes the figure type')
        self.assertEqual(types, {'rose.fig': FIGURE_TYPE, 'drawing.fig': 'image/x-xfig'}, 'an XFig drawing stays one')

    def test_first_start_from_an_empty_folder(self):
        self.addCleanup(setattr, harness, 'PROGRAM', harness.PROGRAM)
        harness.PROGRAM = os.path.join(self.prefix, FILES[0])
        home = tempfile.mkdtemp(prefix='latticegraph-home-')
        self.addCleanup(shutil.rmtree, home, True)
        app = self.start_app(gallery=False, screenshots=False, extra_env={'HOME': home, 'XDG_DATA_HOME': ''})
        folder = os.path.join(home, '.local/share/latticegraph')
        self.assertEqual(sorted(os.listdir(os.path.join(folder, 'gallery'))), self.starters)
        self.assertTrue(all(filecmp.cmp(os.path.join(folder, 'gallery', n), os.path.join(harness.GALLERY, n), False)
                            for n in self.starters), 'the copies hold the starter figures')
        app.click(*LOAD)
        count = len(self.starters)
        shot = app.wait_for(lambda s: s.px(4, 4) == entry_colour(0), 'the Load list')
        self.assertEqual([shot.px(4, 16 * i + 4) == entry_colour(i) for i in range(count + 1)],
                         [True] * count + [False], 'one entry per starter figure')
        app.key('Escape')
        app.wait_for(lambda s: s.px(4, 4) != entry_colour(0), 'the Load list to close')
        app.click(*SCREENSHOT)
        app.wait_file(folder, 'Screenshots', 'shot0.bmp', size=921654)
        self.assertEqual(os.listdir(app.dir), ['program.log'], 'nothing written to the working folder')


class Package(harness.AppTestCase):
    """cpack -G DEB: a package whose program runs as unpacked, with the libraries it links as dependencies."""
    @classmethod
    def setUpClass(cls):
        build, cls.out = os.path.dirname(harness.PROGRAM), tempfile.mkdtemp(prefix='latticegraph-deb-')
        cls.addClassCleanup(shutil.rmtree, cls.out, True)
        subprocess.run(['cpack', '-G', 'DEB', '--config', os.path.join(build, 'CPackConfig.cmake'), '-B', cls.out],
                       check=True, stdout=subprocess.DEVNULL, cwd=build)
        cls.deb = os.path.join(cls.out, [n for n in os.listdir(cls.out) if n.endswith('.deb')][0])

    def test_unpacked_program_runs(self):
        depends = subprocess.run(['dpkg-deb', '-f', self.deb, 'Depends'], capture_output=True, text=True).stdout
        for library in ('liballegro4.4', 'libpng16-16', 'libc6'):
            self.assertIn(library + ' (>= ', depends)
        root = os.path.join(self.out, 'root')
        subprocess.run(['dpkg-deb', '-x', self.deb, root], check=True)
        program = os.path.join(root, 'usr/bin/latticegraph')
        version = subprocess.run([program, '--version'], capture_output=True, text=True)
        self.assertEqual(version.stdout, subprocess.run([harness.PROGRAM, '--version'], capture_output=True,
                                                        text=True).stdout)
        pictures = []
        for maker in (program, harness.PROGRAM):
            pictures.append(os.path.join(self.out, '%d.png' % len(pictures)))
            subprocess.run([maker, '--export', os.path.join(root, 'usr/share/latticegraph/gallery/rose.fig'),
                            pictures[-1], '--size', '128'], check=True)
        self.assertTrue(filecmp.cmp(*pictures, False), 'the packaged program exports what the built one does')

    def test_lintian_reports_no_error(self):
        report = subprocess.run(['lintian', self.deb], capture_output=True, text=True).stdout
        self.assertEqual([line for line in report.splitlines() if line.startswith('E:')], [])


if __name__ == '__main__':
    harness.main()
