"""The entry prompts as a person uses them: edit formulas, ranges and colours
by typing, then look at the figure."""
import harness
import model

RENDER = (560, 16)
X_FORMULA, Y_FORMULA = (517, 72), (560, 72)
X_MIN, X_MAX, X_SKIP = (517, 136), (517, 152), (517, 168)
Y_MIN, Y_MAX, Z_MAX = (560, 136), (560, 152), (603, 152)
RED = (517, 224)
PROMPT = (40, 224, 560, 32)
PROMPT_GREEN = (32, 128, 64)


def prompt_picture(text):
    pic = model.Picture()
    model.draw_button(pic, text, *PROMPT, PROMPT_GREEN, 6)
    return pic


def figure(cells, color=model.DEFAULT_COLOR):
    pic = model.Picture()
    pic.paint_figure(cells, color)
    return pic


def zero(x, y, z):
    return 0.0


def half(x, y, z):
    return 0.5


class Prompts(harness.AppTestCase):
    def setUp(self):
        self.app = self.start_app()

    def open_prompt(self, button, text):
        """Click a button and wait for its prompt to show text."""
        self.app.click(*button)
        self.wait_prompt(text)

    def wait_prompt(self, text):
        expected = prompt_picture(text)
        self.app.wait_for(lambda s: not s.mismatches(expected, 40, 224, 600, 256), 'the prompt %r' % text)

    def close_prompt(self, key):
        self.app.key(key)
        self.app.wait_for(lambda s: s.px(46, 230) != PROMPT_GREEN, 'the prompt to close')

    def replace(self, button, old, new):
        """Open a prompt, erase its text, type new text and press Enter."""
        self.open_prompt(button, old)
        self.app.type('\b' * len(old))
        self.wait_prompt('')
        self.app.type(new)
        self.wait_prompt(new)
        self.close_prompt('Return')

    def render_and_expect(self, cells, what):
        self.app.click(*RENDER)
        self.app.wait_for(lambda s: not s.mismatches(figure(cells), 0, 0, model.AREA, model.AREA), what)

    def test_new_formulas_and_ranges_move_every_point(self):
        # X formula "0": every point in the centre column, rows from the Y formula
        self.replace(X_FORMULA, 'CX*S(X/Y)', '0')
        self.render_and_expect(model.render_cells(zero, model.default_y, model.default_z),
                               'the figure squeezed into column 240')
        # Y formula ".5" and a 3 x 1 x 2 lattice: six points on pixel (240, 360)
        self.replace(Y_FORMULA, 'SX*S(Y/X)', '.5')
        for button, old, new in ((X_MIN, '-62.831799', '-1'), (X_MAX, '62.831799', '1'),
                                 (X_SKIP, '0.500000', '1'), (Y_MIN, '-62.831799', '0'),
                                 (Y_MAX, '62.831799', '0'), (Z_MAX, '0.000000', '1')):
            self.replace(button, old, new)
        cells = model.render_cells(zero, half, model.default_z, [-1, 1, 1, 0, 0, 0.5, 0, 1, 1])
        self.assertEqual(cells, {(240, 360): 6})
        self.render_and_expect(cells, 'one pixel holding six points')

    def test_esc_keeps_the_text_and_the_program(self):
        self.open_prompt(X_FORMULA, 'CX*S(X/Y)')
        self.app.type('\b\bjunk')
        self.wait_prompt('CX*S(X/junk')
        self.close_prompt('Escape')
        self.open_prompt(X_MIN, '-62.831799')
        self.app.type('\b7')
        self.wait_prompt('-62.831797')
        self.close_prompt('Escape')
        self.app.park()
        self.assertTrue(self.app.running(), 'Esc in a prompt must not end the program')
        self.open_prompt(X_FORMULA, 'CX*S(X/Y)')
        self.close_prompt('Escape')
        self.open_prompt(X_MIN, '-62.831799')
        self.close_prompt('Escape')
        self.app.park()
        self.assertTrue(self.app.running())

    def test_colour_channel_recolours_without_a_render(self):
        # The X formula changes first but is not rendered: the recoloured
        # picture must still be the default figure's cells.
        self.replace(X_FORMULA, 'CX*S(X/Y)', '0')
        self.replace(RED, '0.000000', '255')
        color = [255] + model.DEFAULT_COLOR[1:]
        cells = model.render_cells(model.default_x, model.default_y, model.default_z)
        self.app.wait_for(lambda s: not s.mismatches(figure(cells, color), 0, 0, model.AREA, model.AREA),
                          'the default figure on a red background')


if __name__ == '__main__':
    harness.main()
