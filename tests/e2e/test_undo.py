"""Nothing lost: Ctrl+Z and Ctrl+Y over gain and formula changes, a history
that a new start walks back into, and a save that asks before it replaces a
figure."""
import os

import harness
from harness import ORANGE, POW_DOWN, POW_LABEL, POW_UP, RENDER, SAVE, X_FORMULA, X_SKIP, Y_SKIP, entry_colour
from test_files import DEFAULT_FIG

QUESTION = (40, 224, 560, 32)               # the orange question box over the list


def zero(x, y, z):
    return 0.0


class Undo(harness.AppTestCase):
    @classmethod
    def setUpClass(cls):
        cls.cells = harness.hit_counts(harness.default_x, harness.default_y)

    def figure(self, cells, gain, what):
        self.app.park()
        return self.app.wait_for(lambda s: not s.figure_errors(cells, gain=gain), what)

    def test_gain_and_formula_undo_redo(self):
        self.app = self.start_app()
        first = self.app.shot()
        for _ in range(3):                  # a run of clicks: one step
            self.app.click(*POW_UP)
        raised = self.figure(self.cells, 103, 'the gain at 103')
        self.app.key('ctrl+z')
        shot = self.figure(self.cells, 100, 'Ctrl+Z: the gain back at 100')
        self.assertEqual(shot.region(*POW_LABEL), first.region(*POW_LABEL), 'the label says Pow 100 again')
        self.app.key('ctrl+y')
        shot = self.figure(self.cells, 103, 'Ctrl+Y: the gain at 103 again')
        self.assertEqual(shot.region(*POW_LABEL), raised.region(*POW_LABEL))
        # a new formula, rendered; Ctrl+Z shows the earlier picture at once
        self.app.replace_text(X_FORMULA, 9, '0')
        self.app.click(*RENDER)
        column = harness.hit_counts(zero, harness.default_y)
        self.figure(column, 103, 'the figure of X formula 0')
        self.app.key('ctrl+z')
        self.figure(self.cells, 103, 'Ctrl+Z: the default figure rendered again')
        self.app.key('ctrl+shift+z')
        self.figure(column, 103, 'Ctrl+Shift+Z: the column again')

    def test_fitting_gain(self):
        """Ctrl+G after a dense render: a new gain, a picture no longer white all over; one undo step."""
        self.app = self.start_app()
        first = self.app.shot()
        for skip in (X_SKIP, Y_SKIP):
            self.app.replace_text(skip, 8, '0.0625')
        self.app.click(*RENDER)
        self.app.park()
        white = lambda s: sum(1 for x in range(0, 480, 4) for y in range(0, 480, 4) if s.px(x, y) == (255, 255, 255))
        dense = self.app.wait_for(lambda s: white(s) > 2000, 'a dense render, mostly white')
        self.app.key('ctrl+g')
        fitted = self.app.wait_for(lambda s: s.region(*POW_LABEL) != first.region(*POW_LABEL), 'a new Pow label')
        self.assertLess(white(fitted), white(dense) // 4, 'the ramp is no longer saturated')
        self.app.key('ctrl+z')
        self.app.wait_for(lambda s: s.region(*POW_LABEL) == first.region(*POW_LABEL), 'Ctrl+Z: Pow 100 again')

    def test_history_survives_quitting(self):
        self.app = self.start_app()
        self.app.click(*POW_DOWN)
        self.app.click(*POW_DOWN)
        self.figure(self.cells, 98, 'the gain at 98')
        self.app.key('Escape')
        self.assertEqual(self.app.wait_exit(), 0)
        self.app.xvfb.kill()
        self.app.xvfb.wait()
        self.app.start()
        self.figure(self.cells, 100, 'a new start at the default figure')
        self.app.key('ctrl+z')
        self.figure(self.cells, 98, 'Ctrl+Z: the last figure of the run before')

    def test_save_over_a_figure_asks(self):
        self.app = self.start_app(gallery={'a.fig': b'X Y Z'})
        self.app.click(*POW_UP)
        asking = lambda s: s.px(46, 230) == ORANGE and harness.text_fits(s.text_span(*QUESTION), QUESTION, 35)
        for answer in ('n', 'Escape', 'y'):
            self.app.click(*SAVE)
            self.app.wait_for(lambda s: s.px(4, 4) == entry_colour(0), 'the save list')
            self.app.click(60, 8)
            self.app.wait_for(asking, 'the question "Replace a.fig? Y for yes, N for no."')
            self.app.key(answer)
            self.app.wait_for(lambda s: s.px(46, 230) != ORANGE, 'the question to go')
            with open(self.app.path('gallery', 'a.fig'), 'rb') as f:
                written = f.read()
            if answer == 'y':
                self.assertEqual(written, DEFAULT_FIG.replace(b' 0 100', b' 0 101'), 'Y writes the figure')
            else:
                self.assertEqual(written, b'X Y Z', answer + ' leaves the file as it was')
                self.app.wait_for(lambda s: s.px(4, 4) == entry_colour(0), 'the list still open')
                self.app.key('Escape')
            self.figure(self.cells, 101, 'the list to close')
        self.assertEqual(os.listdir(self.app.path('gallery')), ['a.fig'])


if __name__ == '__main__':
    harness.main()
