"""Figure files and screenshots through the gallery browsers and the
ScreenShot button, checked on the screen and on disk."""
import os
import struct

import harness
import model

LOAD, SAVE, SCREENSHOT, RENDER = (520, 344), (590, 344), (560, 360), (560, 16)
STYLE_NEXT, POW_UP = (600, 280), (600, 296)
PROMPT = (40, 224, 560, 32)
NEW_FILE_GREEN, PROMPT_GREEN, NOTE_GREEN = (24, 192, 96), (32, 128, 64), (48, 192, 96)
NAME_NOTE = "Type in a name. The '.fig' is automatically added."
HIGHEST_Z = 'Highest Z (3D) Mode. Rerender to see changes. (Press Enter)'


def figure_line(texts=model.DEFAULT_TEXTS, rng=model.DEFAULT_RANGE, color=model.DEFAULT_COLOR,
                style=0, gain=100):
    """A figure file's one line: three texts, nine reals with six decimals,
    twelve colour channels, the style and the gain."""
    fields = list(texts) + ['%f' % v for v in rng] + [str(c) for c in color] + [str(style), str(gain)]
    return ' '.join(fields).encode()


def entry_box(i):
    return (0, 16 * i, 192, 16) if i < 30 else (192, 16 * i - 480, 192, 16)


def entry_colour(i):
    return (255 - 4 * i, 128, 2 * i)


def list_picture(names, new_file=False):
    pic = model.Picture()
    for i, name in enumerate(names):
        model.draw_button(pic, name, *entry_box(i), entry_colour(i), 2)
    if new_file:
        model.draw_button(pic, 'New File', *entry_box(len(names)), NEW_FILE_GREEN, 2)
    return pic


def shows(expected, x0, y0, x1, y1):
    return lambda s: not s.mismatches(expected, x0, y0, x1, y1, skip={harness.PARK})


def read_bmp(path):
    """(width, height, rgb bytes top-down) of a 24-bit uncompressed BMP."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:2] != b'BM':
        raise AssertionError('%s is not a BMP' % path)
    offset, = struct.unpack_from('<I', data, 10)
    width, height, planes, bits, compression = struct.unpack_from('<iiHHI', data, 18)
    if bits != 24 or compression != 0:
        raise AssertionError('%s: %d bits, compression %d' % (path, bits, compression))
    stride = (3 * width + 3) & ~3
    rows = []
    for y in range(abs(height)):
        src = height - 1 - y if height > 0 else y          # positive height: bottom-up
        row = data[offset + src * stride:offset + src * stride + 3 * width]
        rows.append(bytes(b for i in range(0, len(row), 3) for b in (row[i + 2], row[i + 1], row[i])))
    return width, abs(height), b''.join(rows)


DEFAULT_FIG = figure_line()
_cells = None


def default_screen(**panel):
    global _cells
    if _cells is None:
        _cells = model.render_cells(model.default_x, model.default_y, model.default_z)
    pic = model.Picture()
    model.draw_panel(pic, **panel)
    pic.paint_figure(_cells)
    return pic


class Gallery(harness.AppTestCase):
    def open_browser(self, app, button, names, new_file=False):
        app.click(*button)
        rows = len(names) + (1 if new_file else 0)
        app.wait_for(shows(list_picture(names, new_file), 0, 0, 192, 16 * rows), 'the list %s' % names)

    def wait_list_gone(self, app):
        app.park()
        app.wait_for(shows(default_screen(), 0, 0, 192, 16), 'the figure repainted over the list')

    def test_save_as_new_file_then_load_it_back(self):
        app = self.start_app()
        self.open_browser(app, SAVE, [], new_file=True)
        app.click(60, 8)
        note = model.Picture()
        model.draw_button(note, NAME_NOTE, 40, 192, 560, 32, NOTE_GREEN, 6)
        model.draw_button(note, '', *PROMPT, PROMPT_GREEN, 6)
        app.wait_for(shows(note, 40, 192, 600, 256), 'the name prompt')
        app.type('myfig')
        app.key('Return')
        self.wait_list_gone(app)
        with open(app.wait_file('gallery', 'myfig.fig'), 'rb') as f:
            self.assertEqual(f.read(), DEFAULT_FIG)

        # change the style, render (all black) and the gain, then load
        app.click(*STYLE_NEXT)
        app.wait_for(lambda s: s.read_label(0, 224, 640, 32) == HIGHEST_Z, 'the style banner')
        app.key('Return')
        app.wait_label(model.STYLE_LABEL, 'Style 2')
        app.click(*RENDER)
        app.wait_for(shows(model.Picture(), 0, 0, model.AREA, model.AREA), 'the all-black highest-Z figure')
        app.click(*POW_UP)
        app.wait_label(model.POW_LABEL, 'Pow 101')
        self.open_browser(app, LOAD, ['myfig.fig'])
        app.click(60, 8)
        app.wait_label(model.POW_LABEL, 'Pow 100')
        app.park()
        app.wait_for(shows(default_screen(), 0, 0, model.W, model.H), 'the loaded default figure and panel')

    def test_delete_asks_first(self):
        app = self.start_app(gallery={'a.fig': DEFAULT_FIG, 'b.fig': DEFAULT_FIG})
        self.open_browser(app, LOAD, ['a.fig', 'b.fig'])
        question = model.Picture()
        model.draw_button(question, 'Delete a.fig? Y for yes, N for no.', *PROMPT, model.ORANGE, 6)
        asking = shows(question, 40, 224, 600, 256)
        for answer in ('n', 'y'):
            app.move(60, 8)
            app.key_down('Delete')
            app.wait_for(asking, 'the delete question')
            app.key_up('Delete')
            app.key(answer)
            app.wait_for(lambda s: not asking(s), 'the question to go')
            if answer == 'n':
                app.park()
                app.wait_for(shows(list_picture(['a.fig', 'b.fig']), 0, 0, 192, 32), 'the list still open')
                self.assertTrue(os.path.exists(app.path('gallery', 'a.fig')), 'N keeps the file')
        self.wait_list_gone(app)
        self.assertFalse(os.path.exists(app.path('gallery', 'a.fig')), 'Y deletes the file')
        self.assertTrue(os.path.exists(app.path('gallery', 'b.fig')))
        self.open_browser(app, LOAD, ['b.fig'])
        app.key('Escape')
        self.wait_list_gone(app)

    def test_esc_closes_both_browsers_and_the_name_prompt(self):
        app = self.start_app(gallery={'a.fig': DEFAULT_FIG})
        self.open_browser(app, LOAD, ['a.fig'])
        app.key('Escape')
        self.wait_list_gone(app)
        self.open_browser(app, SAVE, ['a.fig'], new_file=True)
        app.click(60, 24)
        app.wait_for(lambda s: s.px(46, 230) == PROMPT_GREEN, 'the name prompt')
        app.type('zz')
        app.key('Escape')
        app.park()
        app.wait_for(shows(list_picture(['a.fig'], True), 0, 0, 192, 32), 'the save list again')
        app.key('Escape')
        self.wait_list_gone(app)
        self.assertTrue(app.running(), 'Esc in a browser must not end the program')
        self.assertEqual(sorted(os.listdir(app.path('gallery'))), ['a.fig'], 'nothing saved')

    def test_starter_gallery_is_listed_sorted_by_name(self):
        names = sorted(n for n in os.listdir(harness.GALLERY) if n.endswith('.fig'))
        self.assertTrue(names, 'the starter gallery holds no figures')
        app = self.start_app(gallery=harness.GALLERY)
        app.click(*LOAD)
        expected = list_picture(names[:60])
        left, right = min(len(names), 30), min(len(names), 60) - 30
        app.wait_for(lambda s: shows(expected, 0, 0, 192, 16 * left)(s)
                     and (right <= 0 or shows(expected, 192, 0, 384, 16 * right)(s)),
                     'the starter figures in name order')
        app.key('Escape')


class Screenshots(harness.AppTestCase):
    def take(self, app, name):
        app.click(*SCREENSHOT)
        return app.wait_file('Screenshots', name, size=54 + 640 * 480 * 3)

    def test_screenshot_equals_the_screen(self):
        app = self.start_app()
        path = self.take(app, 'shot0.bmp')
        app.park()
        width, height, pixels = read_bmp(path)
        self.assertEqual((width, height), (640, 480))
        screen = model.Picture()
        screen.data[:] = pixels
        self.assertPicture(app.shot(), screen, skip={harness.PARK}, what='screen against shot0.bmp')

    def test_numbering_fills_gaps(self):
        app = self.start_app()
        for name in ('shot0.bmp', 'shot2.bmp'):
            with open(app.path('Screenshots', name), 'wb') as f:
                f.write(b'kept')
        self.take(app, 'shot1.bmp')
        self.take(app, 'shot3.bmp')
        for name in ('shot0.bmp', 'shot2.bmp'):
            with open(app.path('Screenshots', name), 'rb') as f:
                self.assertEqual(f.read(), b'kept')

    def test_missing_folder_is_created(self):
        app = self.start_app(screenshots=False)
        self.take(app, 'shot0.bmp')
        self.assertEqual(os.listdir(app.path('Screenshots')), ['shot0.bmp'])


if __name__ == '__main__':
    harness.main()
