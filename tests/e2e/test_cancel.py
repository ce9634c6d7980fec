"""Cancelling with real input: keys typed through the X server into the focused splash window and left
clicks at the Cancel button's place on the screen (xdotool, XTEST), as a user gives them.

Expected: Esc or Cancel during a countdown writes "Form_KeyPress KeyAscii = 27" (Esc only) and then
"Process canceled by user", shows "Starting Sequence Canceled.  Exiting...", hides the bar, starts no
program and leaves the focus on the hidden Command1; the process ends 5 s after that first cancel, and a
second cancel (or one after completion) changes nothing: no trace line, the same screen, the same end
time. Any other character key writes its one trace line and nothing more. A cancel before the start tick
means no sequence tick at all.
"""

import time

import expected as x
import lwtest
import test_sequence as seq

EXIT_LATE = seq.EXIT_LATE
INPUT_LATE = 0.5  # from sending real input to the trace line it causes
COMMAND1_TEXT = "Cancel"
ENTRY = r"C:\ZVK32\Parvane.exe /session:1"
NAME = x.display_name(ENTRY)


class Cancel(lwtest.TestCase):
    @classmethod
    def tearDownClass(cls):
        seq.print_figures()
        super().tearDownClass()

    def start(self, sc, delay, watchdog=30):
        """One profile with this delay; returns the run, its window and the position of Cancel on the
        screen once loading is done."""
        sc.install_recorder(r"C:\ZVK32\Parvane.exe")
        sc.write_ini(f"[Paths]\r\nPath1={ENTRY}\r\nDelay1={delay}\r\n")
        run = sc.start(watchdog=watchdog)
        win = run.window(timeout=10, settle=0)
        run.wait_trace(seq.LOADED)
        loading = x.load_traces(sc.ini, {1: ("accept", ENTRY, delay)})
        self.assertEqual(run.texts()[:len(loading)], loading, "loading trace lines")
        left, top = win["client"][:2]
        cl, ct, cw, ch = x.CANCEL_BOX
        return run, win, (left + cl + cw // 2, top + ct + ch // 2)

    def after_loading(self, run):
        timeline = seq.Timeline(self, run)
        return [t.text for t in run.traces[timeline.load_count:]]

    def follow(self, run, ticks):
        run.wait_for(lambda: sum(t.text == seq.END for t in run.traces) >= ticks, 5, f"the end of tick {ticks}")

    def arrival(self, run, text):
        """The trace line's arrival on the monotonic clock, as the input's moment is given."""
        run.wait_trace(text, timeout=5)
        return next(t.at for t in run.traces if t.text == text)

    def end(self, run):
        """The program's own end on the monotonic clock."""
        run.wait_exit(x.EXIT_DELAY + 5)
        return run.exit_at

    def focus(self):
        """The text of the control that has the keyboard focus in the splash window now."""
        rc, out = self.session.driver("window", "--title", lwtest.TITLE, "--timeout", "2000")
        self.assertEqual(rc, 0, "the window is gone")
        return next((c["text"] for c in out[-1]["children"] if c["hwnd"] == out[-1]["focus"]), None)

    def check(self, run, what, measured, expected, late=EXIT_LATE):
        seq.Timeline(self, run).check(what, measured, expected, late=late)

    def canceled_screen(self, run):
        """The screen just after a cancel. Read it with check_canceled_screen once what is timed is done:
        reading the status line takes a while on a busy machine, and the program ends five seconds after
        the cancel."""
        return self.session.screenshot(run.label + "-canceled")

    def check_canceled_screen(self, shot, win, other):
        self.assertStatus(shot, win, x.STATUS_CANCELED, other)
        self.assertEqual(seq.fill_width(self, shot, win["client"][:2]), 0, "green fill after the cancel")

    def check_nothing_started(self, sc):
        self.assertEqual(lwtest.wait_records(sc, 1, timeout=1), [], "a program was started")

    def test_escape_during_countdown(self):
        with self.session.scenario("esc") as sc:
            run, win, _ = self.start(sc, 5)
            watch = self.session.watch_live_regions(20)
            self.follow(run, 2)
            sent = self.session.press_key("Escape")
            canceled = self.arrival(run, x.TRACE_CANCELED)
            time.sleep(seq.PAINT)
            shot = self.canceled_screen(run)
            self.assertEqual(self.session.status_label()["text"], x.STATUS_CANCELED, "the status label")
            self.assertEqual(self.focus(), COMMAND1_TEXT, "focus after the cancel")
            ended = self.end(run)
            self.check_canceled_screen(shot, win, x.countdown_status(1, 1, NAME, 3))

            ticks = x.sequence_ticks([5])[:2]
            self.assertEqual(self.after_loading(run), [line for tick in ticks for line in tick]
                             + [x.key_trace(27), x.TRACE_CANCELED])
            self.check(run, "cancel line after Esc", canceled - sent, 0, late=INPUT_LATE)
            # Spoken: the countdown's first text, then the cancellation as it happens.
            events = watch.events(win["pid"])
            self.assertEqual([e["text"] for e in events], [x.countdown_status(1, 1, NAME, 4), x.STATUS_CANCELED])
            # The watch stamps its events with the wall clock, the one clock both sides share.
            canceled_wall = next(t.wall for t in run.traces if t.text == x.TRACE_CANCELED)
            self.check(run, "live-region event of the cancel", events[1]["time_ms"] / 1000 - canceled_wall, 0,
                       late=INPUT_LATE)
            self.check(run, "exit after Esc", ended - sent, x.EXIT_DELAY)
            self.check_nothing_started(sc)

    def test_cancel_clicked_twice(self):
        with self.session.scenario("twice") as sc:
            run, win, button = self.start(sc, 5)
            self.follow(run, 1)
            first = self.session.click_at(*button)
            canceled = self.arrival(run, x.TRACE_CANCELED)
            time.sleep(seq.PAINT)
            before = self.canceled_screen(run)
            time.sleep(max(0.0, first + 2 - time.monotonic()))
            second = self.session.click_at(*button)
            time.sleep(0.5)
            after = self.session.screenshot(run.label + "-second-click")
            self.assertEqual(self.focus(), COMMAND1_TEXT, "focus after the second click")
            ended = self.end(run)
            self.check_canceled_screen(before, win, x.countdown_status(1, 1, NAME, 4))

            self.assertEqual(self.after_loading(run), x.sequence_ticks([5])[0] + [x.TRACE_CANCELED])
            self.check(run, "cancel line after the first click", canceled - first, 0, late=INPUT_LATE)
            self.check(run, "exit after the first click", ended - first, x.EXIT_DELAY)
            lwtest.log(f"second click {second - first:.2f} s after the first")
            # The status line and the bar look the same after the second click (the button itself may
            # show the pointer over it).
            left, top = win["client"][:2]
            sl, st = x.STATUS_BOX[:2]
            fl, ft, fw, fh = x.FRAME_BOX
            box = (left + sl, top + st, left + fl + fw, top + ft + fh)
            self.assertEqual(before.region(*box), after.region(*box), "the second click changed the screen")
            self.check_nothing_started(sc)

    def test_cancel_after_completion(self):
        with self.session.scenario("late") as sc:
            run, win, button = self.start(sc, 0)
            self.follow(run, 2)
            completed = self.arrival(run, "currentShellPath > shellPathCount")
            time.sleep(max(0.0, completed + 1.5 - time.monotonic()))
            clicked = self.session.click_at(*button)
            time.sleep(0.5)
            shot = self.session.screenshot(run.label + "-clicked")
            self.assertEqual(self.focus(), COMMAND1_TEXT, "focus after the click")
            ended = self.end(run)

            self.assertEqual(self.after_loading(run), [line for tick in x.sequence_ticks([0]) for line in tick])
            self.check(run, "exit after completion (click 1.5 s later)", ended - completed, x.EXIT_DELAY)
            lwtest.log(f"click {clicked - completed:.2f} s after completion; exit {ended - clicked:.2f} s after it")
            self.assertStatus(shot, win, x.STATUS_COMPLETE, x.STATUS_CANCELED)
            self.assertEqual(seq.fill_width(self, shot, win["client"][:2]), 506, "the full bar stays")
            self.assertEqual(len(lwtest.wait_records(sc, 1)), 1, "programs started")

    def test_cancel_after_last_launch(self):
        """Between the last launch and the completion tick: the program stays started, the completion is
        never reported and the cancel takes its place."""
        with self.session.scenario("between") as sc:
            run, win, button = self.start(sc, 0)
            self.follow(run, 1)
            clicked = self.session.click_at(*button)
            canceled = self.arrival(run, x.TRACE_CANCELED)
            time.sleep(seq.PAINT)
            shot = self.canceled_screen(run)
            ended = self.end(run)
            self.check_canceled_screen(shot, win, x.STATUS_COMPLETE)

            self.assertEqual(self.after_loading(run), x.sequence_ticks([0])[0] + [x.TRACE_CANCELED])
            self.check(run, "exit after the click", ended - clicked, x.EXIT_DELAY)
            self.assertEqual(len(lwtest.wait_records(sc, 1)), 1, "programs started")

    def test_escape_on_configuration_path(self):
        """No usable profile: the exit is already under way when the window shows, so Esc writes its key
        line and nothing else, and the end stays 5 s after the exit timer was armed."""
        with self.session.scenario("config") as sc:
            sc.install_recorder(sc.folder + r"\notepad.exe")
            sc.write_ini("[Paths]\r\n")
            run = sc.start(watchdog=30)
            box = run.dialog(x.ERROR_TITLE, timeout=10)
            # Notepad and the exit timer follow the OK at once. The driver stamps the OK on the wall clock;
            # here the OK lies before the driver's answer.
            armed = box["acted_ms"] / 1000
            answered = time.monotonic()
            win = run.window(timeout=10, settle=0)
            time.sleep(max(0.0, answered + 1.5 - time.monotonic()))
            sent = self.session.press_key("Escape")
            typed = self.arrival(run, x.key_trace(27))
            time.sleep(seq.PAINT)
            shot = self.session.screenshot(run.label + "-escape")
            ended = run.wait_exit(x.EXIT_DELAY + 5)  # on the wall clock, as armed

            lines = run.texts()
            self.assertEqual(lines[lines.index(seq.LOADED) + 1:], [x.key_trace(27)])
            self.check(run, "key line after Esc", typed - sent, 0, late=INPUT_LATE)
            self.check(run, "exit after OK (Esc 1.5 s later)", ended - armed, x.EXIT_DELAY)
            self.assertStatus(shot, win, x.STATUS_CONFIG, x.STATUS_CANCELED)

    def test_letter_key(self):
        with self.session.scenario("letter") as sc:
            run, win, _ = self.start(sc, 2)
            self.follow(run, 1)
            sent = self.session.press_key("a")
            typed = self.arrival(run, x.key_trace(97))
            ended = run.wait_exit(x.EXIT_DELAY + 10)  # on the wall clock, as the timeline and the recorder

            ticks = x.sequence_ticks([2])
            self.assertEqual(self.after_loading(run), ticks[0] + [x.key_trace(97)]
                             + [line for tick in ticks[1:] for line in tick])
            timeline = seq.Timeline(self, run)
            self.check(run, "key line after a", typed - sent, 0, late=INPUT_LATE)
            # The sequence goes on as if nothing had been typed.
            self.check(run, "exit after the end of loading", ended - timeline.t0,
                       x.START_DELAY + 4 * x.TICK + x.EXIT_DELAY)
            records = lwtest.wait_records(sc, 1)
            self.assertEqual(len(records), 1, "programs started")
            self.check(run, "program started after the end of loading", records[0]["time_ms"] / 1000 - timeline.t0,
                       x.START_DELAY + 3 * x.TICK, late=seq.START_LATE)

    def test_cancel_before_start_tick(self):
        """A click that the machine delays past the start tick would test nothing, so the run is made again, at
        most three times; the test fails when no click comes in time."""
        for attempt in range(1, 4):
            with self.session.scenario(f"early{attempt}") as sc:
                run, win, button = self.start(sc, 1)
                t0 = next(t.at for t in run.traces if t.text == seq.LOADED)
                waited = time.monotonic() - t0
                if waited > x.START_DELAY - 0.3:
                    lwtest.log(f"attempt {attempt}: ready {waited:.2f} s after the end of loading, too late to click "
                               f"before the start tick")
                    continue
                clicked = self.session.click_at(*button)
                canceled = self.arrival(run, x.TRACE_CANCELED)
                lwtest.log(f"click {clicked - t0:.2f} s after the end of loading")
                time.sleep(seq.PAINT)
                shot = self.canceled_screen(run)
                ended = self.end(run)
                self.check_canceled_screen(shot, win, x.STATUS_LOADING)

                self.assertEqual(self.after_loading(run), [x.TRACE_CANCELED], "no sequence tick may run")
                self.check(run, "cancel line after the click", canceled - clicked, 0, late=INPUT_LATE)
                self.check(run, "exit after the click", ended - clicked, x.EXIT_DELAY)
                self.check_nothing_started(sc)
                return
        self.fail("in three runs the window never came early enough for a click before the start tick")

    # (scenario, steps): each step Tabs until a control has the focus (its text) and types a key there; the
    # last step cancels. Key preview: Esc cancels whichever control has the focus; Enter clicks the focused
    # Cancel button, as in a dialog, and does nothing more on the hidden focus holders.
    FOCUSED_KEYS = [
        ("focused", [(x.CANCEL_TEXT, "Escape")]),
        ("enter", [(COMMAND1_TEXT, "Return"), ("", "Return"), (x.CANCEL_TEXT, "Return")]),
    ]

    def test_keys_on_each_focused_control(self):
        for name, steps in self.FOCUSED_KEYS:
            with self.subTest(name):
                self.focused_keys(name, steps)

    def focused_keys(self, name, steps):
        codes = {"Escape": 27, "Return": 13}
        with self.session.scenario(name) as sc:
            run, win, _ = self.start(sc, 9)  # room for every step before the program's start
            self.follow(run, 1)
            for i, (control, key) in enumerate(steps):
                for _ in range(4):
                    if self.focus() == control:
                        break
                    self.session.press_key("Tab")
                    time.sleep(0.1)
                else:
                    self.fail(f"Tab never gives {control!r} the focus")
                sent = self.session.press_key(key)
                if i + 1 < len(steps):
                    line = x.key_trace(codes[key])
                    typed = [k for _, k in steps[:i + 1]].count(key)
                    run.wait_for(lambda: run.texts().count(line) >= typed, 5, f"the key line of step {i + 1}")
                    time.sleep(0.5)
                    self.assertNotIn(x.TRACE_CANCELED, run.texts(), f"{key} on {control!r} cancelled")
                    self.assertEqual(self.focus(), control, f"the focus moved after {key}")
            canceled = self.arrival(run, x.TRACE_CANCELED)
            self.assertEqual(self.focus(), COMMAND1_TEXT, "focus after the cancel")
            ended = self.end(run)

            lines = self.after_loading(run)
            tabs = lines.count(x.key_trace(9))
            lwtest.log(f"Tab wrote {tabs} key line(s)")
            lines = [line for line in lines if line != x.key_trace(9)]
            keys = [x.key_trace(codes[key]) for _, key in steps]
            ticks = lines.count(seq.END)
            sequence = [line for tick in x.sequence_ticks([9])[:ticks] for line in tick]
            # The keys come between ticks: take them out where they stand, then the rest is the ticks.
            self.assertEqual([line for line in lines if line.startswith("Form_KeyPress")], keys)
            self.assertEqual([line for line in lines if not line.startswith("Form_KeyPress")],
                             sequence + [x.TRACE_CANCELED])
            self.assertEqual(lines[-2:], [keys[-1], x.TRACE_CANCELED])
            self.check(run, "cancel line after the cancelling key", canceled - sent, 0, late=INPUT_LATE)
            self.check(run, "exit after the cancelling key", ended - sent, x.EXIT_DELAY)
            self.check_nothing_started(sc)


if __name__ == "__main__":
    lwtest.main()
