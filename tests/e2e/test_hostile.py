"""Hostile figure files in the gallery. Each one loads through the Load list
without a crash, or is refused with a banner within a second (too large, or a
pipe, then a link to /dev/zero, put in a listed file's place); a render that
would never end stops at Esc and the program lives on; a formula text of broken
UTF-8 opens in the prompt; and after all of them the program still answers."""
import os
import random
import time

import harness
from harness import LOAD, LOADING_BAR as CANCEL_LABEL, ORANGE, PROMPT_GREEN, STYLE_NEXT, Z_FORMULA, entry_colour
from test_files import banner_says



def figure(texts=('X', 'Y', 'Z'), ranges=('-1', '1', '0.5') * 3, colours=(0, 0, 0, 0, 0, 255, 0, 255, 255, 255, 255, 255),
           style=0, gain=100):
    return ' '.join(list(texts) + list(ranges) + [str(c) for c in colours] + [str(style), str(gain)]).encode('utf-8', 'surrogateescape')


def junk():
    """Binary bytes that never begin a number, so no render range is set."""
    allowed = [b for b in range(256) if chr(b) not in '0123456789+-.iInN']
    rng = random.Random(7)
    return bytes(rng.choice(allowed) for _ in range(3000))


RENDERS, ENDLESS = 'renders', 'endless'       # name: (content, its render ends, never ends, or why it is refused)
FILES = {
    'a_empty.fig': (b'', RENDERS),
    'b_junk.fig': (junk(), RENDERS),
    'c_word.fig': (b'X' * 10000, 'too large to be a figure'),
    'd_nan.fig': (figure(ranges=['nan'] * 9), RENDERS),
    'e_infinite.fig': (figure(ranges=('-inf', 'inf', '1', '-1', '1', '0.5', '0', '0', '1')), ENDLESS),
    'f_skip0.fig': (figure(ranges=('-1', '1', '0', '-1', '1', '0.5', '0', '0', '1')), ENDLESS),
    'g_negative_skip.fig': (figure(ranges=('-1', '1', '-0.5', '-1', '1', '0.5', '0', '0', '1')), ENDLESS),
    'h_colours.fig': (figure(colours=(2147483647, -2147483648, 999999) * 4, gain=2147483647), RENDERS),
    'i_style7.fig': (figure(style=7), RENDERS),
    'j_nesting.fig': (figure(texts=('(' * 49 + 'X' + ')' * 49, '(((((((((Y', 'Z\udcfd' + '\udc97' * 5)), RENDERS),
    'k_\udcfd\udcbf.fig': (figure(), RENDERS),        # a name that is not UTF-8
    'l_swapped.fig': (figure(), 'not a regular file'),    # last: the list keeps its places
}


class HostileFiles(harness.AppTestCase):
    def setUp(self):
        self.app = self.start_app(gallery={name: content for name, (content, _) in FILES.items()})

    def render_running(self, shot):
        return harness.text_fits(shot.text_span(*CANCEL_LABEL), CANCEL_LABEL, len('Esc to Cancel'))

    def show_list(self):
        self.app.wait_for(lambda s: all(s.px(4, 16 * i + 4) == entry_colour(i) for i in range(len(FILES))),
                          'the list of %d files' % len(FILES))

    def load(self, index, name):
        self.app.click(*LOAD)
        self.show_list()
        if name == 'l_swapped.fig':
            os.remove(self.app.path('gallery', name))
            os.mkfifo(self.app.path('gallery', name))
        self.app.click(60, 16 * index + 8)

    def refused(self, name, reason):
        clicked = time.monotonic()
        self.app.wait_for(banner_says('Could not load gallery/%s: %s. (Press Enter)' % (name, reason)), 'a banner')
        self.assertLess(time.monotonic() - clicked, 1.0, 'the banner within a second')
        self.app.key('Return')                      # the list stays for the next click

    def test_every_file_loads_and_the_program_answers(self):
        for index, (name, (_, outcome)) in enumerate(FILES.items()):
            with self.subTest(name):
                self.load(index, name)
                if outcome == ENDLESS:
                    self.app.wait_for(self.render_running, 'a render to start')
                    self.app.key('Escape')
                    self.app.wait_for(lambda s: not self.render_running(s), 'Esc to end the render')
                elif outcome != RENDERS:
                    self.refused(name, outcome)
                    if name == 'l_swapped.fig':         # the same entry, now a link to /dev/zero
                        os.remove(self.app.path('gallery', name))
                        os.symlink('/dev/zero', self.app.path('gallery', name))
                        self.app.click(60, 16 * index + 8)
                        self.refused(name, outcome)
                    self.app.key('Escape')
                self.app.park()
                self.assertIsNone(self.app.proc.poll(), 'the program lives on')
            if name == 'j_nesting.fig':
                self.app.click(*Z_FORMULA)
                self.app.wait_for(lambda s: s.px(46, 230) == PROMPT_GREEN, 'the prompt with a broken UTF-8 text')
                self.app.key('Escape')
                self.app.park()
        self.app.click(*STYLE_NEXT)
        self.app.wait_for(lambda s: s.px(3, 226) == ORANGE, 'the style banner')
        self.app.key('Return')
        self.app.park()


if __name__ == '__main__':
    harness.main()
