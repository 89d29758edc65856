"""The entry prompts as a person uses them: edit formulas, ranges and a colour
by typing, then look at the figure."""
import harness
from harness import FINDING_LINE, FINDING_TEXT, RED, RENDER, X_FORMULA, X_MAX, X_MIN, X_SKIP, Y_FORMULA, Y_MAX, Y_MIN, Z_MAX

RED_BACKGROUND = [255] + harness.DEFAULT_COLOR[1:]


def zero(x, y, z):
    return 0.0


def half(x, y, z):
    return 0.5


class Prompts(harness.AppTestCase):
    def render(self, cells, color=harness.DEFAULT_COLOR):
        self.app.click(*RENDER)
        self.app.park()
        self.app.wait_for(lambda s: not s.figure_errors(cells, color), 'the figure of %d cells' % len(cells))

    def test_formulas_ranges_colour_and_esc(self):
        self.app = self.start_app()
        # X formula "0": every point lands in the centre column
        self.app.replace_text(X_FORMULA, 9, '0')
        column = harness.hit_counts(zero, harness.default_y)
        self.assertEqual({c for c, _ in column}, {240})
        self.render(column)
        # Esc drops the edit and leaves the program running
        self.app.click(*X_FORMULA)
        self.app.wait_prompt(1)
        self.app.type('junk')
        self.app.wait_prompt(5)
        self.app.close_prompt('Escape')
        self.app.click(*X_FORMULA)
        self.app.wait_prompt(1)
        self.app.close_prompt('Escape')
        self.assertIsNone(self.app.proc.poll(), 'Esc in a prompt must not end the program')
        # a colour edit recolours at once; the Y formula edited before it is not rendered yet
        self.app.replace_text(Y_FORMULA, 9, '.5')
        self.app.replace_text(RED, 8, '255')
        self.app.park()
        self.app.wait_for(lambda s: not s.figure_errors(column, RED_BACKGROUND), 'the same cells on red')
        # Y formula ".5" over a 3 x 1 x 2 lattice: six points on pixel (240, 360)
        for button, old_length, new in ((X_MIN, 10, '-1'), (X_MAX, 9, '1'), (X_SKIP, 8, '1'),
                                        (Y_MIN, 10, '0'), (Y_MAX, 9, '0'), (Z_MAX, 8, '1')):
            self.app.replace_text(button, old_length, new)
        cells = harness.hit_counts(zero, half, [-1, 1, 1, 0, 0, 0.5, 0, 1, 1])
        self.assertEqual(cells, {(240, 360): 6})
        self.render(cells, RED_BACKGROUND)

    def test_finding_line_while_typing(self):
        self.app = self.start_app()
        picture = self.app.shot().region(*FINDING_LINE)
        shows_finding = lambda s: FINDING_TEXT in [s.px(x, y) for x in range(0, 640, 2) for y in range(258, 266)]
        self.app.click(*X_FORMULA)
        self.app.wait_prompt(9)
        self.assertEqual(self.app.shot().region(*FINDING_LINE), picture, 'the default formula has no finding')
        self.app.type('\b' * 9 + 'X-Y')
        self.app.wait_prompt(3)
        self.app.wait_for(shows_finding, 'the finding of X-Y below the box')
        self.app.type('\b\b+-Y')            # X+-Y: the minus now follows a plus
        self.app.wait_prompt(4)
        self.app.wait_for(lambda s: s.region(*FINDING_LINE) == picture, 'the picture again below the box')
        self.app.close_prompt('Return')


if __name__ == '__main__':
    harness.main()
