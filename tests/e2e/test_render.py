"""The figure on the screen: the default render, the colour gain, the stop
and style selectors with the style banner, and re-rendering."""
import re

import harness
import model

RENDER, STOP_NEXT, STOP_PREV = (560, 16), (600, 248), (510, 248)
STYLE_PREV, STYLE_NEXT, POW_DOWN, POW_UP = (510, 280), (600, 280), (510, 296), (600, 296)
BANNER = (0, 224, 640, 32)
HIGHEST_Z = 'Highest Z (3D) Mode. Rerender to see changes. (Press Enter)'
INTERSECTION = 'Intersection Highlight (Crystal) Mode. Rerender to see changes. (Press Enter)'

_cells = None


def default_cells():
    global _cells
    if _cells is None:
        _cells = model.render_cells(model.default_x, model.default_y, model.default_z)
    return _cells


def figure(gain=100, cells=None):
    pic = model.Picture()
    pic.paint_figure(default_cells() if cells is None else cells, gain=gain)
    return pic


def shows_figure(expected):
    return lambda s: not s.mismatches(expected, 0, 0, model.AREA, model.AREA)


def gain_shown(shot):
    m = re.fullmatch(r'Pow (-?\d+)', shot.read_label(*model.POW_LABEL[:4]) or '')
    return int(m.group(1)) if m else None


class DefaultFigure(harness.AppTestCase):
    def test_start_up_shows_the_default_figure_and_panel(self):
        app = self.start_app()
        cells = default_cells()
        self.assertEqual(sum(cells.values()), 252 * 252, 'every default point lands in the area')
        self.assertGreater(len([1 for (x, _) in cells if x == 240]), 100, 'a busy centre column')
        expected = model.figure_picture(cells)
        self.assertPicture(app.shot(), expected, skip={harness.PARK}, what='start-up screen')


class Gain(harness.AppTestCase):
    def setUp(self):
        self.app = self.start_app()

    def test_left_clicks_change_label_and_colours_in_the_same_frame(self):
        for button, gain in ((POW_UP, 101), (POW_DOWN, 100), (POW_DOWN, 99)):
            self.app.click_and_park(*button)
            shot = self.app.wait_for(lambda s: gain_shown(s) == gain, 'Pow %d' % gain)
            self.assertPicture(shot, figure(gain), 0, 0, model.AREA, model.AREA, what='figure at Pow %d' % gain)

    def test_held_right_button_repeats_the_step(self):
        self.app.click(*POW_UP, button=3, hold=0.4)
        self.app.wait_for(lambda s: (gain_shown(s) or 0) > 101, 'the gain to rise past 101')
        self.app.park()
        shot = self.app.shot()
        gain = gain_shown(shot)
        self.assertGreater(gain, 101)
        self.assertPicture(shot, model.figure_picture(default_cells(), gain=gain), skip={harness.PARK},
                           what='screen at Pow %d' % gain)


class Selectors(harness.AppTestCase):
    def setUp(self):
        self.app = self.start_app()

    def stop_click(self, button, label):
        self.app.click_and_park(*button)
        self.app.wait_label(model.STOP_LABEL, label)

    def test_stop_selector_steps_between_the_first_and_last_stop(self):
        # a guarded click changes nothing, so the next click's label tells
        self.stop_click(STOP_PREV, 'Color 1')
        self.stop_click(STOP_NEXT, 'Color 2')
        self.stop_click(STOP_NEXT, 'Color 3')
        self.stop_click(STOP_NEXT, 'Color 4')
        self.app.click_and_park(*STOP_NEXT)
        self.stop_click(STOP_PREV, 'Color 3')

    def answer_banner(self, button, text, key):
        banner = model.Picture()
        model.draw_button(banner, text, *BANNER, model.ORANGE, 1)
        showing = lambda s: not s.mismatches(banner, 0, 224, 640, 256)
        self.app.click(*button)
        self.app.wait_for(showing, 'the banner %r' % text)
        self.app.key(key)
        self.app.wait_for(lambda s: not showing(s), 'the banner to go')
        self.app.park()

    def test_style_banner_enter_and_esc_both_keep_the_program(self):
        self.answer_banner(STYLE_NEXT, HIGHEST_Z, 'Return')
        self.app.wait_label(model.STYLE_LABEL, 'Style 2')
        self.answer_banner(STYLE_PREV, INTERSECTION, 'Escape')
        self.app.wait_label(model.STYLE_LABEL, 'Style 1')
        self.assertTrue(self.app.running(), 'Esc at the banner must not end the program')
        # guarded: "<" with style 1 already set shows no banner, so the
        # banner after ">" is the highest-Z one
        self.app.click_and_park(*STYLE_PREV)
        self.answer_banner(STYLE_NEXT, HIGHEST_Z, 'Return')

    def test_render_button_rerenders_in_the_new_style(self):
        # Highest Z with the Z formula "Z" over Z = 0 leaves every cell 0: black.
        self.answer_banner(STYLE_NEXT, HIGHEST_Z, 'Return')
        shot = self.app.shot()
        self.assertPicture(shot, figure(), 0, 0, model.AREA, model.AREA, what='figure before Render')
        self.app.click(*RENDER)
        self.app.wait_for(shows_figure(figure(cells={})), 'an all-black figure')
        self.answer_banner(STYLE_PREV, INTERSECTION, 'Return')
        self.app.click(*RENDER)
        self.app.wait_for(shows_figure(figure()), 'the default figure again')


if __name__ == '__main__':
    harness.main()
