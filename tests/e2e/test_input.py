"""Presses as events and the scaled window: instant clicks and keys (press and
release back to back, as a touchpad tap or a quick typist makes) each act once;
control characters never enter a text; the window shows the picture at a whole
scale, takes clicks in picture pixels and saves the same 640x480 screenshot."""
import os
import subprocess
import harness
from harness import POW_DOWN, PROMPT, PROMPT_GREEN, SCREENSHOT, X_FORMULA

BMP_SIZE = 54 + 640 * 480 * 3


def gain_shown(shot, cells):
    """The gain that maps a one-point and a two-point cell to their colours."""
    one = next(c for c, n in cells.items() if n == 1)
    two = next(c for c, n in cells.items() if n == 2)
    return next((g for g in range(1, 3000) if harness.ramp(1, gain=g) == shot.px(*one)
                 and harness.ramp(2, gain=g) == shot.px(*two)), None)


def blocks_of(shot, scale, width, height):
    """True when each picture pixel of the window at 0,0 is a scale x scale block."""
    row_bytes = 3 * width * scale
    for y in range(height):
        first = shot.data[3 * shot.width * y * scale:3 * shot.width * y * scale + row_bytes]
        for dy in range(1, scale):
            at = 3 * shot.width * (y * scale + dy)
            if shot.data[at:at + row_bytes] != first:
                return False
        for c in range(3):
            column = first[c::3 * scale]
            if any(first[3 * d + c::3 * scale] != column for d in range(1, scale)):
                return False
    return True


class Input(harness.AppTestCase):
    def window_size(self, app):
        window = subprocess.run(['xdotool', 'search', '--name', '^latticegraph'], env=app.env,
                                capture_output=True, text=True).stdout.split()[0]
        info = subprocess.run(['xwininfo', '-id', window], env=app.env, capture_output=True, text=True).stdout
        field = lambda name: int(info.split(name + ': ')[1].split()[0])
        return field('Width'), field('Height')

    def screenshot(self, app):
        app.click(*SCREENSHOT, hold=0)
        with open(app.wait_file('Screenshots', 'shot0.bmp', size=BMP_SIZE), 'rb') as f:
            return f.read()

    def test_instant_clicks_and_keys(self):
        app = self.start_app()
        cells = harness.hit_counts(harness.default_x, harness.default_y)
        app.xdotool('mousemove', *POW_DOWN, 'click', '--repeat', 20, '--delay', 20, 1)
        app.park()
        app.wait_for(lambda s: gain_shown(s, cells) == 80, 'the gain at 100 - 20')
        app.click(*X_FORMULA, hold=0)
        app.wait_prompt(9)
        app.xdotool('type', '--delay', 20, 'abcdefghijk')
        app.wait_prompt(20)
        app.xdotool('key', '--delay', 20, *['BackSpace'] * 20)
        app.wait_prompt(0)
        app.xdotool('key', '--delay', 20, 'Tab', 'Delete', 'ctrl+a', 'X')
        app.wait_prompt(1)                      # only the X went in
        app.xdotool('key', 'Return')
        app.wait_for(lambda s: s.px(46, 230) != PROMPT_GREEN, 'an instant Enter to close the prompt')
        app.click(*X_FORMULA, hold=0)
        app.wait_prompt(1)                      # the text was kept
        app.xdotool('key', 'Escape')
        app.wait_for(lambda s: s.px(46, 230) != PROMPT_GREEN, 'an instant Esc to close the prompt')
        self.assertIsNone(app.proc.poll(), 'Esc in a prompt must not end the program')

    def test_scale_2_on_a_large_screen(self):
        app = self.start_app(screen='2560x1440', args=['--scale', '2'], scale=2)
        self.assertEqual(self.window_size(app), (1280, 960))
        app.xdotool('mousemove', 2000, 1200)    # off the window: no pointer drawn in it
        shot = app.wait_for(lambda s: blocks_of(s, 2, 640, 480), 'each picture pixel a 2x2 block')
        # a click at the scaled place of a button presses that button
        app.click(*X_FORMULA, hold=0)
        green = (PROMPT[0] + 6) * 2, (PROMPT[1] + 6) * 2
        app.wait_for(lambda s: s.px(*green) == PROMPT_GREEN, 'the X prompt, scaled')
        app.xdotool('key', 'Escape')
        app.wait_for(lambda s: s.px(*green) != PROMPT_GREEN, 'the prompt to close')
        scaled = self.screenshot(app)
        # Ctrl+- and Ctrl+= make the window again; the desktop fits no more than 2. Without a window
        # manager the keys go to the window under the pointer, which Xvfb finds again only as it moves.
        for key, size in (('ctrl+minus', (640, 480)), ('ctrl+plus', (1280, 960)), ('ctrl+equal', (1280, 960)),
                          ('ctrl+KP_Subtract', (640, 480)), ('ctrl+KP_Add', (1280, 960))):
            app.xdotool('mousemove', 40, 40, 'sleep', 0.05, 'mousemove', 50, 50, 'key', key)
            app.wait_for(lambda s: self.window_size(app) == size, 'a %dx%d window after %s' % (size + (key,)))
        app.xdotool('mousemove', 2000, 1200)
        self.assertEqual(app.wait_for(lambda s: blocks_of(s, 2, 640, 480), 'the picture again').data, shot.data)
        # the library warps the pointer to the middle of a window it makes again, and follows it
        # by motion from there: a few moves before the click let it catch up
        app.xdotool('mousemove', 1000, 900, 'sleep', 0.2, 'mousemove', 1020, 930, 'sleep', 0.2)
        app.click(520, 475, hold=0)             # Exit, in the bottom corner of the window made again
        self.assertEqual(app.wait_exit(), 0)
        # the same picture at scale 1 saves the same screenshot, byte for byte
        single = self.start_app(screen='640x480')
        self.assertEqual(self.window_size(single), (640, 480))
        self.assertEqual(len(scaled), BMP_SIZE)
        self.assertTrue(self.screenshot(single) == scaled, 'the screenshots at scale 2 and 1 differ')

    def test_default_scale_on_1920x1080_is_2(self):
        app = self.start_app(screen='1920x1080', scale=2)
        self.assertEqual(self.window_size(app), (1280, 960))


if __name__ == '__main__':
    harness.main()
