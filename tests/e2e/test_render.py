"""The figure on the screen: the default render at start-up, the stop and
style selectors with the style banner, the colour gain and re-rendering."""
import harness
from harness import (BANNER, ORANGE, POW_DOWN, POW_LABEL, POW_UP, RENDER, STOP_LABEL, STOP_NEXT, STOP_PREV,
                     STYLE_LABEL, STYLE_NEXT, STYLE_PREV)

HIGHEST_Z, INTERSECTION = 59, 77            # lengths of the two banners' texts


class Figure(harness.AppTestCase):
    @classmethod
    def setUpClass(cls):
        cls.cells = harness.hit_counts(harness.default_x, harness.default_y)

    def setUp(self):
        self.app = self.start_app()

    def click(self, button):
        self.app.click(*button)
        self.app.park()
        return self.app.shot()

    def gain_shown(self, shot):
        """The gain that maps a one-point and a two-point cell to their colours."""
        one = next(c for c, n in self.cells.items() if n == 1)
        two = next(c for c, n in self.cells.items() if n == 2)
        return next((g for g in range(1, 3000) if harness.ramp(1, gain=g) == shot.px(*one)
                     and harness.ramp(2, gain=g) == shot.px(*two)), None)

    def test_default_figure_stops_and_gain(self):
        self.assertEqual(sum(self.cells.values()), 252 * 252, 'every default point lands in the area')
        self.assertGreater(sum(1 for (c, _) in self.cells if c == 240), 100, 'a busy centre column')
        first = self.app.shot()
        self.assertFigure(first, self.cells)
        # stop selector: each step shows a new label; both ends are guarded
        labels = [first.region(*STOP_LABEL)]
        for button in (STOP_PREV, STOP_NEXT, STOP_NEXT, STOP_NEXT, STOP_NEXT, STOP_PREV):
            labels.append(self.click(button).region(*STOP_LABEL))
        self.assertEqual(labels[1], labels[0], '"<" at the first stop')
        self.assertEqual(len(set(labels[1:5])), 4, 'four different stops')
        self.assertEqual(labels[5], labels[4], '">" at the last stop')
        self.assertEqual(labels[6], labels[3], 'back to the third stop')
        # Pow: label and colours change in the same frame
        for button, gain, label_is_first in ((POW_UP, 101, False), (POW_DOWN, 100, True), (POW_DOWN, 99, False)):
            shot = self.click(button)
            self.assertEqual(shot.region(*POW_LABEL) == first.region(*POW_LABEL), label_is_first)
            self.assertFigure(shot, self.cells, gain=gain)
        self.assertTrue(harness.text_fits(shot.text_span(*POW_LABEL), POW_LABEL, 6), '"Pow 99"')
        # a held right button repeats the step
        self.app.click(*POW_UP, button=3, hold=0.4)
        shot = self.app.wait_for(lambda s: (self.gain_shown(s) or 0) > 101, 'the gain to rise past 101')
        self.assertFigure(shot, self.cells, gain=self.gain_shown(shot))

    def answer_banner(self, button, length, key, behind=None):
        showing = lambda s: s.px(3, 226) == ORANGE and harness.text_fits(s.text_span(*BANNER), BANNER, length)
        self.app.click(*button)
        self.app.wait_for(showing, 'the style banner of %d characters' % length)
        self.app.key(key)
        self.app.park()
        self.assertFigure(self.app.wait_for(lambda s: not showing(s), 'the banner to go'), self.cells if behind is None else behind)

    def test_style_banner_and_render(self):
        style_1 = self.app.shot().region(*STYLE_LABEL)
        self.answer_banner(STYLE_NEXT, HIGHEST_Z, 'Return')
        self.assertNotEqual(self.app.shot().region(*STYLE_LABEL), style_1)
        self.answer_banner(STYLE_PREV, INTERSECTION, 'Escape')
        self.assertTrue(self.app.proc.poll() is None, 'Esc at the banner must not end the program')
        self.assertEqual(self.click(STYLE_PREV).region(*STYLE_LABEL), style_1, '"<" at the first style')
        # Highest Z with Z formula "Z" over Z = 0 leaves every cell 0: all black
        self.answer_banner(STYLE_NEXT, HIGHEST_Z, 'Return')
        self.app.click(*RENDER)
        self.app.wait_for(lambda s: not s.figure_errors({}), 'an all-black figure')
        self.answer_banner(STYLE_PREV, INTERSECTION, 'Return', behind={})
        self.app.click(*RENDER)
        self.app.wait_for(lambda s: not s.figure_errors(self.cells), 'the default figure again')


if __name__ == '__main__':
    harness.main()
