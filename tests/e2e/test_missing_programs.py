"""Profiles whose program part (the value up to its first ".exe") does not exist.

Expected: one box "Error - ZVK Launchwick" per such profile, in profile order, each shown right after that
profile's GetSetting trace line (loading waits for it), with the text "The path specified in profile N (v)
appears to be an invalid file or path." and v whole. Loading goes on after each box. With an accepted
profile left, the window shows next and Notepad is not started; with none left, the "no valid executable
paths" box, Notepad and the five-second exit follow. With [Options] ErrorBoxes=Off no box shows: each is the
trace line "Error - ZVK Launchwick: <text>" in its place, and the next profiles start on time.
"""

import expected as x
import lwtest


class MissingPrograms(lwtest.TestCase):
    def expect_missing_boxes(self, run, ini, missing):
        """Dismisses one box per (N, v) in missing, checking each against the trace lines shown so far."""
        for n, value in missing:
            box = run.dialog(x.ERROR_TITLE, timeout=15, action="none")
            self.assertEqual(box["text"], x.missing_program_text(n, value))
            self.assertPlainBox(box)
            # The lines written before the box may still be on their way through the pipe.
            line = x.trace_get_path(ini, n, value)
            run.wait_trace(line, timeout=10)
            self.assertEqual(run.traces[-1].text, line,
                             f"the box for profile {n} did not come right after its GetSetting line")
            run.dialog(x.ERROR_TITLE, timeout=5)

    def test_missing_between_accepted(self):
        with self.session.scenario("missing_1_3") as sc:
            sc.install_recorder(sc.folder + r"\notepad.exe")
            program = sc.folder + r"\ZVK32\Parvane.exe"
            sc.install_recorder(program)
            values = {1: r"C:\missing\One.exe /a", 2: program + " /session:2",
                      3: sc.folder + r"\ZVK32\Missing.exe /session:3"}
            sc.write_ini("[Paths]\r\n" + "".join(f"Path{n}={v}\r\nDelay{n}=7\r\n" for n, v in values.items()))
            run = sc.start(watchdog=40)

            self.expect_missing_boxes(run, sc.ini, [(1, values[1]), (3, values[3])])
            run.window(timeout=10)
            # The sequence's first tick may have begun meanwhile: its lines may follow the loading lines.
            self.assertTraces(run, x.load_traces(sc.ini, {1: ("missing", values[1]), 2: ("accept", values[2], 7),
                                                          3: ("missing", values[3])}),
                              then=[line for tick in x.sequence_ticks([7]) for line in tick])
            run.assert_no_dialog()
            self.assertEqual(lwtest.wait_records(sc, 1, timeout=1), [], "Notepad (or another program) was started")

    def test_nothing_left(self):
        with self.session.scenario("missing_all") as sc:
            sc.install_recorder(sc.folder + r"\notepad.exe")
            program = sc.folder + r"\ZVK32\Parvane.exe"
            sc.install_recorder(program)
            values = {
                # The opening quote stays part of the tested text, so an existing program is not found.
                2: f'"{program}" /q',
                # The first ".exe" ends the tested part: a folder "Tools.exe" that does not exist.
                5: sc.folder + r"\Tools.exe\Parvane.exe",
            }
            sc.write_ini("[Paths]\r\n" + "".join(f"Path{n}={v}\r\n" for n, v in values.items()))
            run = sc.start(watchdog=40)

            self.expect_missing_boxes(run, sc.ini, sorted(values.items()))
            box = run.dialog(x.ERROR_TITLE, timeout=10)
            self.assertEqual(box["text"], x.no_profile_text(sc.ini))
            dismissed = box["acted_ms"] / 1000
            self.assertTraces(run, x.load_traces(sc.ini, {n: ("missing", v) for n, v in values.items()}))
            ended = run.wait_exit(x.EXIT_DELAY + 10)
            self.assertAbout(ended - dismissed, x.EXIT_DELAY, what="end after OK")
            self.assertEqual([lwtest.arguments_of(r["cmdline"]) for r in sc.recorded()], [sc.ini])

    def test_error_boxes_off(self):
        with self.session.scenario("missing_unattended") as sc:
            sc.install_recorder(sc.folder + r"\notepad.exe")
            program = sc.folder + r"\ZVK32\Parvane.exe"
            sc.install_recorder(program)
            missing = sc.folder + r"\ZVK32\Missing.exe /session:1"
            sc.write_ini(f"[Paths]\r\nPath1={missing}\r\nPath2={program} /session:2\r\nDelay2=2\r\n"
                         f"Path3={program} /session:3\r\nDelay3=1\r\n[Options]\r\nErrorBoxes= off \r\n")
            run = sc.start(watchdog=40)
            run.window(timeout=10)  # fails at once on a box
            records = lwtest.wait_records(sc, 2, timeout=15)
            run.wait_exit(x.EXIT_DELAY + 10)
            traces = x.load_traces(sc.ini, {1: ("missing", missing), 2: ("accept", program + " /session:2", 2),
                                            3: ("accept", program + " /session:3", 1)})
            # The box's line where the box would have been.
            traces.insert(traces.index(x.trace_get_path(sc.ini, 1, missing)) + 1,
                          "Error - ZVK Launchwick: " + x.missing_program_text(1, missing))
            self.assertTraces(run, traces + [line for tick in x.sequence_ticks([2, 1]) for line in tick])
            # On time: the start tick, two countdown ticks, the launch; then one more countdown tick.
            loaded = next(t.wall for t in run.traces if t.text == "Loading Settings End")
            self.assertEqual([lwtest.arguments_of(r["cmdline"]) for r in records], ["/session:2", "/session:3"])
            self.assertAbout(records[0]["time_ms"] / 1000 - loaded, 4, what="first start")
            self.assertAbout((records[1]["time_ms"] - records[0]["time_ms"]) / 1000, 2, what="second start")


if __name__ == "__main__":
    lwtest.main()
