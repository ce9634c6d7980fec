"""At least one accepted profile: the sequence path of start-up.

Expected: no message box; the loading trace lines exactly, in order (GetSetting for 1..20, "No valid entry
for path N" for absent ones, "shellPaths(k) = v" and "shellPathDelay(k) = d" for accepted ones, k packed
without gaps, delays clamped to 600 and kept from the previous profile when not a number); Notepad not
started; the window shown frameless, 567 x 203, centred on the screen, with "Loading Launchwick", the title,
the grey progress frame (7..514, 173..194) with no green fill, the Cancel button at (515, 173) 45 x 22, and
the keyboard focus not on that button. The program is then killed: the sequence is not what this tests.
"""

import expected as x
import lwtest

WS_CAPTION = 0x00C00000
WS_THICKFRAME = 0x00040000
WS_VISIBLE = 0x10000000


class AcceptedProfile(lwtest.TestCase):
    def test_accepted_profiles(self):
        with self.session.scenario("accepted") as sc:
            sc.install_recorder(sc.folder + r"\notepad.exe")
            program = sc.folder + r"\ZVK32\Parvane.exe"
            sc.install_recorder(program)
            sc.install_recorder(sc.folder + r"\Parvane.exe")  # found through the current folder
            sc.install_recorder(sc.folder + r"\Tools.exe\keep.exe")  # makes the folder Tools.exe exist
            # (N, line(s) in the file, how the profile reads)
            table = [
                (1, [f"Path1=  {program} /session:1  ", "Delay1=2"], ("accept", program + " /session:1", 2)),
                (3, [f"Path3={sc.folder}\\ZVK32\\parvane.EXE", "Delay3=700"],
                 ("accept", sc.folder + r"\ZVK32\parvane.EXE", 600)),
                # The first ".exe" ends the tested part: here an existing folder named Tools.exe.
                (4, [f"Path4={sc.folder}\\Tools.exe\\Sub\\run.exe -x", "Delay4=-5"],
                 ("accept", sc.folder + r"\Tools.exe\Sub\run.exe -x", -5)),
                # Not a number: the delay of the profile accepted before it.
                (6, [f"Path6={program} /six", "Delay6=abc"], ("accept", program + " /six", -5)),
                (7, ["Path7=http://example.com/"], ("skip", "http://example.com/")),
                (8, ["Path8=Parvane.exe /bare"], ("accept", "Parvane.exe /bare", 0)),
                # The same command line twice makes two entries.
                (9, [f"Path9={program} /session:1", "Delay9=   "], ("accept", program + " /session:1", 0)),
                (21, [f"Path21={program} /never", "Delay21=1"], None),
            ]
            sc.write_ini("[Paths]\r\n" + "".join(line + "\r\n" for _, lines, _ in table for line in lines))
            run = sc.start(watchdog=30)

            win = run.window(timeout=10)
            shot = self.session.screenshot(run.label + "-window")
            self.check_window(win, shot)
            run.assert_no_dialog()
            # The sequence's first tick may have begun meanwhile: its lines may follow the loading lines.
            accepted = [how for _, _, how in table if how and how[0] == "accept"]
            self.assertTraces(run, x.load_traces(sc.ini, {n: how for n, _, how in table if how}),
                              then=[line for tick in x.sequence_ticks([how[2] for how in accepted]) for line in tick])
            self.assertEqual([r for r in sc.recorded() if "notepad" in r["module"].lower()], [],
                             "Notepad was started")

    def check_window(self, win, shot):
        left, top, right, bottom = win["client"]
        self.assertEqual((right - left, bottom - top), x.CLIENT_SIZE, "client size")
        self.assertEqual(win["rect"], win["client"], "the window has a frame")
        self.assertFalse(win["style"] & (WS_CAPTION | WS_THICKFRAME), f"style {win['style']:#x}")
        screen_w, screen_h = win["screen"]
        self.assertLessEqual(abs(left - (screen_w - x.CLIENT_SIZE[0]) / 2), 1, f"not centred: {win['client']}")
        self.assertLessEqual(abs(top - (screen_h - x.CLIENT_SIZE[1]) / 2), 1, f"not centred: {win['client']}")
        self.assertEqual(win["dpi"], 96)

        def at(px, py):
            return shot.pixel(left + px, top + py)

        client = shot.region(left, top, right, bottom)
        green = [p for p, rgb in client.items() if rgb == x.PROGRESS_GREEN]
        self.assertEqual(green[:5], [], "green fill pixels while the bar should be hidden")

        fl, ft, fw, fh = x.FRAME_BOX
        outline = tuple(win["windowtext"])
        for px in range(fl, fl + fw):
            for py in range(ft, ft + fh):
                edge = px in (fl, fl + fw - 1) or py in (ft, ft + fh - 1)
                self.assertEqual(at(px, py), outline if edge else x.FRAME_FILL, f"frame pixel ({px}, {py})")
        # Just outside the frame is the picture, not more frame.
        self.assertNotEqual(at(fl - 1, ft + 5), outline)

        cancel = [c for c in win["children"] if c["text"] == x.CANCEL_TEXT]
        self.assertEqual(len(cancel), 1, win["children"])
        cl, ct, cw, ch = x.CANCEL_BOX
        self.assertEqual(cancel[0]["rect"], [cl, ct, cl + cw, ct + ch])
        self.assertTrue(cancel[0]["style"] & WS_VISIBLE)
        # The button face is light and the picture around it dark (the look of a button depends on the
        # theme): light pixels fill its box and stop at its right and bottom edges.
        def light(rgb):
            return min(rgb) >= 160

        button = [at(px, py) for px in range(cl, cl + cw) for py in range(ct, ct + ch)]
        self.assertGreater(sum(map(light, button)), 0.8 * len(button), "the button is not drawn at its place")
        beyond = [at(cl + cw, py) for py in range(ct, ct + ch)] + [at(px, ct + ch) for px in range(cl, cl + cw)]
        self.assertFalse(any(map(light, beyond)), "the button is drawn larger than 45 x 22")
        self.assertNotEqual(win["focus"], cancel[0]["hwnd"], "the Cancel button has the focus")

        self.assertStatus(shot, win, x.STATUS_LOADING, x.STATUS_CONFIG)
        title = self.session.text_similarity(shot, (left, top), x.TITLE_BOX, x.TITLE_TEXT,
                                             points100=x.TITLE_POINTS100, weight=700, shift=(2, 4, 4))
        lwtest.log(f"title similarity {title:.2f}")
        self.assertGreater(title, 0.7, "the title does not read " + x.TITLE_TEXT)


if __name__ == "__main__":
    lwtest.main()
