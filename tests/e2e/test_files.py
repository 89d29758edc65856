"""Figure files and screenshots through the gallery browsers and the
ScreenShot button, checked on the screen and on disk."""
import os
import struct
import subprocess

import harness
from harness import BANNER, LOAD, ORANGE, POW_UP, PROMPT_GREEN, RENDER, SAVE, SCREENSHOT, STYLE_NEXT, entry_colour

NEW_FILE_GREEN, NOTE_GREEN = (24, 192, 96), (48, 192, 96)
# a figure file's one line: three texts, nine reals, twelve channels, the style and the gain
DEFAULT_FIG = ' '.join(['CX*S(X/Y)', 'SX*S(Y/X)', 'Z'] + ['%f' % v for v in harness.DEFAULT_RANGE]
                       + [str(c) for c in harness.DEFAULT_COLOR] + ['0', '100']).encode()
BMP_SIZE = 54 + 640 * 480 * 3


def banner_says(text):                      # the full-width banner with a line as long as text
    return lambda s: s.px(3, 226) == ORANGE and harness.text_fits(s.text_span(*BANNER), BANNER, len(text))


def read_bmp(path):
    """Top-down RGB rows of a 24-bit bottom-up BMP."""
    with open(path, 'rb') as f:
        data = f.read()
    offset, = struct.unpack_from('<I', data, 10)
    width, height, _, bits = struct.unpack_from('<iiHH', data, 18)
    assert data[:2] == b'BM' and (width, height, bits) == (640, 480, 24), 'not a 640x480 24-bit BMP'
    rows = [data[offset + 1920 * (479 - y):offset + 1920 * (480 - y)] for y in range(480)]
    return b''.join(bytes(r[i + 2 - k] for i in range(0, 1920, 3) for k in range(3)) for r in rows)




class Files(harness.AppTestCase):
    def setUp(self):
        self.cells = harness.hit_counts(harness.default_x, harness.default_y)
        self.app = self.start_app(gallery={'a.fig': DEFAULT_FIG}, screenshots=False)

    def open_list(self, button, entries, new_file=False):
        self.app.click(*button)
        self.app.wait_for(lambda s: all(s.px(4, 16 * i + 4) == entry_colour(i) for i in range(entries))
                          and (s.px(4, 16 * entries + 4) == NEW_FILE_GREEN) == new_file, 'a list of %d' % entries)

    def wait_figure(self, cells, what):
        self.app.park()
        self.app.wait_for(lambda s: not s.figure_errors(cells), what)

    def take_shot(self, name):
        self.app.click(*SCREENSHOT)
        return self.app.wait_file('Screenshots', name, size=BMP_SIZE)

    def test_screenshots(self):
        pixels = read_bmp(self.take_shot('shot0.bmp'))
        self.assertEqual(os.listdir(self.app.path('Screenshots')), ['shot0.bmp'], 'the missing folder is made')
        self.app.park()

        def differ(screen):
            return [i // 3 for i in range(0, len(pixels), 3) if pixels[i:i + 3] != screen.data[i:i + 3]]
        # "Saved shot0.bmp" shows in the Loading Bar box for about two seconds, on the screen only
        bar = harness.LOADING_BAR
        self.assertIn(bar[1] * 640 + bar[0] + bar[2] // 2, differ(self.app.shot()), "the saved note shows")
        self.app.wait_for(lambda s: differ(s) == [479 * 640 + 639], 'only the parked pointer differs')
        with open(self.app.path('Screenshots', 'shot2.bmp'), 'wb') as f:
            f.write(b'kept')
        self.take_shot('shot1.bmp')
        self.take_shot('shot3.bmp')
        with open(self.app.path('Screenshots', 'shot2.bmp'), 'rb') as f:
            self.assertEqual(f.read(), b'kept')

    def test_save_load_delete(self):
        self.open_list(SAVE, 1, new_file=True)
        self.app.key('Escape')
        self.wait_figure(self.cells, 'the save list to close')
        self.open_list(SAVE, 1, new_file=True)
        self.app.click(60, 24)
        self.app.wait_for(lambda s: s.px(46, 230) == PROMPT_GREEN and s.px(46, 198) == NOTE_GREEN, 'the name prompt')
        self.app.type('myfig')
        self.app.key('Return')
        self.wait_figure(self.cells, 'the save list to close')
        with open(self.app.wait_file('gallery', 'myfig.fig'), 'rb') as f:
            self.assertEqual(f.read(), DEFAULT_FIG)
        # highest-Z style, rendered (all black), and a new gain; loading brings all back
        self.app.click(*STYLE_NEXT)
        self.app.wait_for(lambda s: s.px(3, 226) == ORANGE, 'the style banner')
        self.app.key('Return')
        self.wait_figure(self.cells, 'the banner to go')
        self.app.click(*RENDER)
        self.wait_figure({}, 'an all-black figure')
        self.app.click(*POW_UP)
        self.open_list(LOAD, 2)
        self.app.key('Escape')
        self.wait_figure({}, 'the load list to close')
        self.open_list(LOAD, 2)
        self.app.click(60, 24)
        self.wait_figure(self.cells, 'the loaded default figure at Pow 100')
        # Del asks first: N keeps the file, Y deletes it
        self.open_list(LOAD, 2)
        for answer in ('n', 'y'):
            self.ask_delete(answer)
            self.app.wait_for(lambda s: s.px(46, 230) != ORANGE, 'the question to go')
            self.assertEqual(os.path.exists(self.app.path('gallery', 'a.fig')), answer == 'n')
        self.wait_figure(self.cells, 'the list to close')
        self.assertEqual(os.listdir(self.app.path('gallery')), ['myfig.fig'])

    def ask_delete(self, answer):
        self.app.xdotool('mousemove', 60, 8, 'keydown', 'Delete')
        self.app.wait_for(lambda s: s.px(46, 230) == ORANGE and harness.text_fits(
            s.text_span(40, 224, 560, 32), (40, 224, 560, 32), 34), 'the question "Delete a.fig? ..."')
        self.app.xdotool('keyup', 'Delete')
        self.app.key(answer)

    def test_read_only_gallery(self):
        """Mounted read-only (root writes anywhere else): save and delete fail with a banner."""
        gallery = self.app.path('gallery')
        if subprocess.run(['mount', '--bind', gallery, gallery], stderr=subprocess.DEVNULL).returncode:
            self.skipTest('no permission to mount')
        self.addCleanup(subprocess.run, ['umount', gallery])
        subprocess.run(['mount', '-o', 'remount,bind,ro', gallery], check=True)
        self.open_list(SAVE, 1, new_file=True)
        self.app.click(60, 24)
        self.app.wait_prompt(0)
        self.app.type('new')
        self.app.key('Return', hold=0.4)        # held while the banner opens, then let go: it stays
        self.app.wait_for(banner_says('Could not write gallery/new.fig: read-only file system. (Press Enter)'), 'save')
        self.app.key('Return')
        self.wait_figure(self.cells, 'the banner and the list to go')
        self.open_list(LOAD, 1)
        self.ask_delete('y')
        self.app.wait_for(banner_says('Could not delete gallery/a.fig: read-only file system. (Press Enter)'), 'delete')
        self.app.key('Return')
        self.app.wait_for(lambda s: s.px(4, 4) == entry_colour(0) and s.px(3, 226) != ORANGE, 'the list to stay')
        self.app.key('Escape')
        self.wait_figure(self.cells, 'the list to close')
        self.assertEqual(os.listdir(gallery), ['a.fig'])


if __name__ == '__main__':
    harness.main()
