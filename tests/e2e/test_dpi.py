"""The splash window at 96, 144 and 192 dpi: the layout is in twips, so the window grows with the density.

Wine 8 takes the density from LogPixels (REG_DWORD) under HKCU\\Control Panel\\Desktop or under
HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts (either alone works); the test
sets both. At each density: the client area is 8505 x 3045 twips in pixels, centred on the screen; with one
delay-0 profile the bar is full from the launch tick on, and the green fill then covers the frame's inside
exactly inside a one-pixel outline; the title is drawn at that density (it matches text rendered there,
not a stretched 96-dpi picture), and the amber line under the header strip has no blended rows.
Screenshots: <out>/dpi-<density>.png.
"""

import math
import time

import expected as x
import lwtest

DENSITIES = (96, 144, 192)
KEYS = (r"HKCU\Control Panel\Desktop", r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts")
LAUNCH = "timerCount reached specified delay.  Executing app..."
GREEN = x.PROGRESS_GREEN
WS_TABSTOP = 0x00010000


def px(twips, dpi):
    """Allowed pixel values of a twip length: the exact value, or both neighbours when it is not whole."""
    exact = twips * dpi / 1440
    return {math.floor(exact), math.ceil(exact)}


def amberish(c):
    return c[0] > 180 and c[2] < 110 and c[0] - c[2] > 100


class Dpi(lwtest.TestCase):
    def set_dpi(self, dpi):
        for key in KEYS:
            rc = lwtest.subprocess.run([lwtest.WINE, "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD",
                                        "/d", str(dpi), "/f"], env=self.session.env(), capture_output=True,
                                       timeout=60).returncode
            self.assertEqual(rc, 0, f"reg add {key}")

    def test_layout_scales_with_density(self):
        for dpi in DENSITIES:
            with self.subTest(dpi=dpi):
                self.set_dpi(dpi)
                self.check_density(dpi)

    def check_density(self, dpi):
        with self.session.scenario(f"dpi{dpi}") as sc:
            sc.install_recorder(sc.folder + r"\bin\rec.exe")
            sc.write_ini(f"[Paths]\r\nPath1={sc.folder}\\bin\\rec.exe\r\nDelay1=0\r\n")
            run = sc.start()
            run.window()
            rc, out = self.session.driver("window", "--title", x.APP, "--dpi-aware", "1")
            win = out[-1]
            run.wait_trace(LAUNCH, timeout=10)
            time.sleep(0.4)
            shot = f"dpi-{dpi}"
            image = self.session.screenshot(shot)
            lwtest.log(f"{dpi} dpi: screenshot {self.session.out}/{shot}.png; window {win['client']}, "
                       f"work area {win['workarea']}, reported dpi {win['dpi']}")
            run.wait_exit(15)

        self.assertEqual(win["dpi"], dpi, "the density Wine reports")
        left, top, right, bottom = win["client"]
        width, height = right - left, bottom - top
        self.assertIn(width, px(8505, dpi), "client width")
        self.assertIn(height, px(3045, dpi), "client height")
        self.assertEqual(win["rect"], win["client"], "frameless: the client area is the whole window")
        wl, wt, wr, wb = win["workarea"]
        self.assertLessEqual(abs(left - (wl + (wr - wl - width) / 2)), 1, "centred across")
        self.assertLessEqual(abs(top - (wt + (wb - wt - height) / 2)), 1, "centred down")

        self.check_status_label(win, dpi)
        self.check_full_bar(image, (left, top), dpi, tuple(win["windowtext"]))
        self.check_title(image, (left, top), dpi)
        self.check_header_edge(image, (left, top), width, height)

    def check_status_label(self, win, dpi):
        """The status line is a label control exactly in the status line's box, with no tab stop, clear of
        the title and the bar."""
        label = next(c for c in win["children"] if c["id"] == lwtest.STATUS_LABEL_ID)
        self.assertEqual(label["class"].lower(), "static")
        self.assertTrue(label["visible"])
        self.assertFalse(label["style"] & WS_TABSTOP, "the label is a tab stop")
        l, t, r, b = label["rect"]
        lwtest.log(f"{dpi} dpi: status label {label['rect']}: {label['text']!r}")
        for got, twips, what in ((l, 30, "left"), (t, 2250, "top"), (r, 30 + 8445, "right"),
                                 (b, 2250 + 315, "bottom")):
            self.assertIn(got, px(twips, dpi), f"status label {what}")
        title_bottom = max(round((1260 + 660) * dpi / 1440), round((1275 + 660) * dpi / 1440))
        frame_top = round(2595 * dpi / 1440)
        self.assertLessEqual(title_bottom, t, "the label overlaps the title")
        self.assertLessEqual(b, frame_top, "the label overlaps the bar")

    def check_full_bar(self, image, origin, dpi, outline):
        ox, oy = origin
        # The fill, as found on the screen, in client pixels.
        frame = [round(v * dpi / 1440) for v in (105, 2595, 7620, 330)]
        area = image.region(ox + frame[0] - 2, oy + frame[1] - 2, ox + frame[0] + frame[2] + 2,
                            oy + frame[1] + frame[3] + 2)
        green = [(px_ - ox, py - oy) for (px_, py), c in area.items() if c == GREEN]
        self.assertTrue(green, "no green fill in the frame")
        gx0, gx1 = min(p[0] for p in green), max(p[0] for p in green)
        gy0, gy1 = min(p[1] for p in green), max(p[1] for p in green)
        lwtest.log(f"{dpi} dpi: fill x {gx0}..{gx1}, y {gy0}..{gy1}; frame designed at {frame}")
        self.assertEqual(len(green), (gx1 - gx0 + 1) * (gy1 - gy0 + 1), "the fill is one solid block")
        # The outline sits right around the fill: nothing of the frame's grey inside shows.
        for y in range(gy0 - 1, gy1 + 2):
            self.assertEqual(image.pixel(ox + gx0 - 1, oy + y), outline, f"outline left of the fill, row {y}")
            self.assertEqual(image.pixel(ox + gx1 + 1, oy + y), outline, f"outline right of the fill, row {y}")
        for xx in range(gx0 - 1, gx1 + 2):
            self.assertEqual(image.pixel(ox + xx, oy + gy0 - 1), outline, f"outline above the fill, column {xx}")
            self.assertEqual(image.pixel(ox + xx, oy + gy1 + 1), outline, f"outline below the fill, column {xx}")
        # One pixel wide at every density: the pixel beyond the outline is not outline.
        self.assertNotEqual(image.pixel(ox + gx0 - 2, oy + (gy0 + gy1) // 2), outline, "outline wider than 1 px")
        self.assertNotEqual(image.pixel(ox + (gx0 + gx1) // 2, oy + gy0 - 2), outline, "outline wider than 1 px")
        self.assertNotEqual(image.pixel(ox + (gx0 + gx1) // 2, oy + gy1 + 2), outline, "outline wider than 1 px")
        # The frame where the layout puts it (twips at this density), to a pixel.
        self.assertLessEqual(abs(gx0 - 1 - frame[0]), 1, "frame left")
        self.assertLessEqual(abs(gy0 - 1 - frame[1]), 1, "frame top")
        self.assertLessEqual(abs(gx1 + 2 - gx0 + 1 - frame[2]), 1, "frame width")
        self.assertLessEqual(abs(gy1 + 2 - gy0 + 1 - frame[3]), 1, "frame height")

    def check_title(self, image, origin, dpi):
        k = dpi / 96
        box = tuple(round(v * k) for v in x.TITLE_BOX)
        score = self.session.text_similarity(image, origin, box, x.TITLE_TEXT, points100=x.TITLE_POINTS100,
                                             weight=700, shift=(round(2 * k), round(8 * k), round(k)))
        lwtest.log(f"{dpi} dpi: title matches text rendered at {dpi} dpi at {score:.2f}")
        self.assertGreater(score, 0.7, "the title is not text drawn at this density")

    def check_header_edge(self, image, origin, width, height):
        ox, oy = origin
        for col in (3, width - 4):
            column = [image.pixel(ox + col, oy + y) for y in range(height)]
            rows = [y for y, c in enumerate(column) if amberish(c)]
            self.assertTrue(rows, f"no amber line in column {col}")
            y0, y1 = rows[0], rows[-1]
            self.assertEqual(rows, list(range(y0, y1 + 1)), "the amber line is one band")
            self.assertEqual(len({column[y] for y in rows}), 1, f"blended rows in the amber line: "
                                                               f"{[column[y] for y in rows]}")
            for outside, beyond in ((y0 - 1, y0 - 2), (y1 + 1, y1 + 2)):
                step = max(abs(a - b) for a, b in zip(column[outside], column[beyond]))
                jump = max(abs(a - b) for a, b in zip(column[outside], column[y0]))
                self.assertLessEqual(step, 8, f"row {outside} is a blend: {column[beyond]} {column[outside]} "
                                              f"{column[y0]}")
                self.assertGreater(jump, 60, "no sharp edge at the amber line")


if __name__ == "__main__":
    lwtest.main()
