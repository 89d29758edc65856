"""The shell as a person meets it: the control panel and the two ways to quit."""
import harness
from harness import BLACK, BLUE, ring

GREY, DARK_RED = (128, 128, 128), (128, 0, 0)
# (box, colour, label length) of a few buttons in different rows and colours
BUTTONS = [((496, 0, 128, 32), BLUE, 6), ((496, 32, 128, 32), GREY, 8), ((496, 208, 43, 32), DARK_RED, 3),
           ((496, 368, 128, 32), GREY, 11), ((496, 464, 128, 16), BLUE, 4)]


class Shell(harness.AppTestCase):
    def test_panel_then_esc_ends_with_status_0(self):
        app = self.start_app()
        shot = app.shot()
        for (x, y, w, h), rgb, length in BUTTONS:
            self.assertEqual(shot.px(x, y), ring(rgb, 0, 0), 'top-left ring of %s' % ((x, y),))
            self.assertEqual(shot.px(x + w - 1, y + h - 1), ring(rgb, w - 1, h - 1), 'bottom-right ring')
            self.assertEqual(shot.px(x + 4, y + 4), rgb, 'flat inside')
            self.assertTrue(harness.text_fits(shot.text_span(x, y, w, h), (x, y, w, h), length),
                            'a centred label of %d characters at %d,%d' % (length, x, y))
        self.assertEqual(shot.px(485, 100), BLACK, 'the margin between figure and panel')
        # clicks just beside Exit (above it, right of it) do nothing
        for x, y in ((560, 463), (630, 470)):
            app.click(x, y)
        app.park()
        app.key('Escape')
        self.assertEqual(app.wait_exit(), 0)

    def test_exit_button_ends_with_status_0(self):
        app = self.start_app()
        app.click(520, 475)
        self.assertEqual(app.wait_exit(), 0)

    def test_a_request_to_end_ends_it_as_exit_does(self):
        for signal in (harness.signal.SIGTERM, harness.signal.SIGINT, harness.signal.SIGHUP):
            app = self.start_app()
            app.proc.send_signal(signal)
            self.assertEqual(app.wait_exit(), 0, signal)


if __name__ == '__main__':
    harness.main()
