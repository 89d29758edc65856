"""The shell as a person meets it: the control panel, the pointer, and the two
ways to quit."""
import harness
import model

PANEL_LEFT = 480            # the panel's side of the picture: columns 480..639


class PanelAndPointer(harness.AppTestCase):
    def setUp(self):
        self.app = self.start_app()
        self.panel = model.Picture()
        model.draw_panel(self.panel)

    def test_panel_matches_the_button_rules(self):
        # Every ring, flat inside and label of the 40 buttons, the black band
        # under "Loading Bar" and the black margins beside the panel.
        shot = self.app.shot()
        self.assertPicture(shot, self.panel, x0=PANEL_LEFT, skip={harness.PARK}, what='panel')
        self.assertEqual(shot.read_label(496, 0, 128, 32), 'Render')

    def test_pointer_is_drawn_at_the_mouse_and_leaves_no_trace(self):
        first, second = (500, 4), (560, 420)
        self.app.move(*first)
        shot = self.app.wait_for(lambda s: s.px(*first) == harness.POINTER_APEX, 'the pointer at %s' % (first,))
        self.check_pointer(shot, *first)
        self.assertEqual(shot.px(*harness.PARK), model.BLACK, 'old pointer position restored')

        self.app.move(*second)
        shot = self.app.wait_for(lambda s: s.px(*second) == harness.POINTER_APEX, 'the pointer at %s' % (second,))
        self.check_pointer(shot, *second)
        # the first position shows the panel again, pixel for pixel
        self.assertPicture(shot, self.panel, first[0], first[1], first[0] + 32, first[1] + 32,
                           what='panel under the old pointer position')

    def check_pointer(self, shot, mx, my):
        # Line i of the fan ends at (31 - i, i) and no later line touches that
        # end; the last line (i = 31) is the left edge; magenta is see-through.
        for i in range(32):
            self.assertEqual(shot.px(mx + 31 - i, my + i), model.pointer_line_colour(i), 'fan line %d' % i)
            self.assertEqual(shot.px(mx, my + i), model.pointer_line_colour(31), 'left edge row %d' % i)
        self.assertEqual(shot.px(mx + 31, my + 31), self.panel.get(mx + 31, my + 31), 'transparent corner')


class Quitting(harness.AppTestCase):
    def test_esc_ends_the_program_with_status_0(self):
        app = self.start_app()
        app.key('Escape')
        self.assertEqual(app.wait_exit(), 0)

    def test_exit_button_ends_the_program_with_status_0(self):
        app = self.start_app()
        app.click(520, 475)
        self.assertEqual(app.wait_exit(), 0)

    def test_clicks_beside_the_buttons_do_nothing(self):
        # just above Exit and just right of it: either would end the program
        app = self.start_app()
        for x, y in ((560, 463), (624, 470)):
            app.click(x, y)
        app.park()
        self.assertTrue(app.running())


if __name__ == '__main__':
    harness.main()
