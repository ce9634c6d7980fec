"""The settings file in each encoding an editor saves, naming programs outside ASCII.

Expected, for a file in UTF-8 without and with a byte-order mark (with [Paths] on its first line), UTF-16 LE
and BE, ANSI (code page 1252, which holds the accented names but no CJK), and the default file with Path1
edited and saved as UTF-8 without mark: the profiles naming a program in a folder with an accented name and
one in a folder with a CJK name start those programs with their arguments, in their own characters; a
profile naming a missing program in such a folder gives the "invalid file or path" box with the name in its
own characters; the status line's label reads the CJK name; the trace lines are those of any file, in the
ANSI code page. While the box is up, a file that needs it has its UTF-16 LE copy (FF FE, then the text
after the file's own mark) in the user's temporary folder under a name that starts with ZVK, and no other
file has one; after the run none is left, and the settings file is byte for byte as it was.
When the temporary folder is gone, a UTF-8 file is read as ANSI (its accented names then name no program),
with the trace line "Could not read <ini> as Unicode" right after "<ini>ZVKLaunchwick.ini found".
"""

import contextlib
import glob
import os

import expected as x
import lwtest

ACCENTED = "J\u00fcrgen Caf\u00e9"  # Jürgen Café
CJK = "\u674e\u96f7"  # 李雷
CJK_PROGRAM = "\u97e9\u6885\u6885.exe"  # 韩梅梅.exe


@contextlib.contextmanager
def temp_folder_gone(session):
    """The user's temporary folder moved away for a while: nothing can be created in it."""
    folders = glob.glob(os.path.join(session.prefix, "drive_c", "users", "*", "Temp"))
    for folder in folders:
        os.rename(folder, folder + ".away")
    try:
        yield
    finally:
        for folder in folders:
            os.rename(folder + ".away", folder)


class Encodings(lwtest.TestCase):
    def profiles(self, sc, with_cjk):
        """(program, arguments) to start, and the missing program's line; CJK where the file can hold it."""
        accented = (f"{sc.folder}\\{ACCENTED}\\rapport.exe", "/f\u00fcr:\u00c4rger -x")
        starts = [accented]
        if with_cjk:
            starts.append((f"{sc.folder}\\{CJK}\\{CJK_PROGRAM}", f"/user:{CJK} \u00e9t\u00e9"))
            missing = f"{sc.folder}\\{CJK}\\\u6ca1\u6709.exe /z"
        else:
            missing = f"{sc.folder}\\{ACCENTED}\\absent.exe /z"
        return starts, missing

    def test_encodings(self):
        cases = [
            ("utf8", lambda t: t.encode("utf-8"), True, True),
            ("utf8_mark", lambda t: b"\xef\xbb\xbf" + t.encode("utf-8"), True, True),
            ("utf16le", lambda t: b"\xff\xfe" + t.encode("utf-16-le"), True, False),
            ("utf16be", lambda t: b"\xfe\xff" + t.encode("utf-16-be"), True, True),
            ("ansi", lambda t: t.encode(lwtest.ANSI), False, False),
            ("default_edited", None, True, True),
        ]
        for name, encode, with_cjk, copied in cases:
            with self.subTest(name), self.session.scenario("enc_" + name) as sc:
                starts, missing = self.profiles(sc, with_cjk)
                for program, _ in starts:
                    sc.install_recorder(program)
                sc.install_recorder(sc.folder + r"\notepad.exe")
                entries = [f"{program} {arguments}" for program, arguments in starts]
                if encode is None:
                    # The user's typical file: the default one with its first profile switched on and edited.
                    entries, missing = entries[1:], None
                    default = x.default_settings_bytes().decode("ascii")
                    text = default.replace("#Delay1=20\r\n#Path1=C:\\ZVK32\\Parvane.exe /session:1",
                                           "Delay1=0\r\nPath1=" + entries[0])
                    self.assertNotEqual(text, default)
                    content = text.encode("utf-8")
                    profiles = {1: ("accept", entries[0], 0)}
                    starts = starts[1:]
                else:
                    text = "[Paths]\r\n" + "".join(f"Path{n}={e}\r\nDelay{n}=0\r\n" for n, e in enumerate(entries, 1))
                    text += f"Path9={missing}\r\n"
                    content = encode(text)
                    profiles = {n: ("accept", e, 0) for n, e in enumerate(entries, 1)}
                    profiles[9] = ("missing", missing)
                sc.write_ini(content)
                self.assertEqual(self.session.temp_copies(), {})
                watch = self.session.watch_live_regions(30)
                run = sc.start(watchdog=40)

                if missing:
                    box = run.dialog(x.ERROR_TITLE, timeout=15, action="none")
                    self.assertEqual(box["text"], x.missing_program_text(9, missing))
                    copies = self.session.temp_copies()
                    self.assertEqual(list(copies.values()), [b"\xff\xfe" + text.encode("utf-16-le")] if copied else [])
                    lwtest.log(f"{name}: copies while the box is up: {list(copies)}")
                    lwtest.log(f"{name}: the box: {box['text']}")
                    run.dialog(x.ERROR_TITLE, timeout=5)
                win = run.window(timeout=10)
                run.wait_exit(len(entries) + 2 + x.EXIT_DELAY + 10)
                self.assertTraces(run, x.load_traces(sc.ini, profiles) +
                                  [line for tick in x.sequence_ticks([0] * len(entries)) for line in tick])

                records = lwtest.wait_records(sc, len(starts))
                self.assertEqual([(r["module"].lower(), lwtest.arguments_of(r["cmdline"])) for r in records],
                                 [(program.lower(), arguments) for program, arguments in starts])
                self.assertEqual(sc.read(sc.ini), content, "the settings file changed")
                self.assertEqual(self.session.temp_copies(), {}, "a copy was left behind")
                texts = [text for _, text in watch.label_texts(win["pid"])]
                names = [x.display_name(e) for e in entries]
                for k, shown in enumerate(names, 1):
                    self.assertIn(x.launch_status(k, len(entries), shown), texts)
                if with_cjk:
                    self.assertTrue(any(CJK_PROGRAM in t for t in texts), texts)

    def test_no_copy_without_a_temporary_folder(self):
        with self.session.scenario("enc_no_temp") as sc:
            (accented, arguments), = self.profiles(sc, False)[0]
            plain = sc.folder + r"\plain\app.exe"
            sc.install_recorder(accented)
            sc.install_recorder(plain)
            entry = f"{accented} {arguments}"
            content = f"[Paths]\r\nPath1={entry}\r\nPath2={plain} /ascii\r\n".encode("utf-8")
            sc.write_ini(content)
            as_ansi = entry.encode("utf-8").decode(lwtest.ANSI)  # "JÃ¼rgen CafÃ©"
            with temp_folder_gone(self.session):
                run = sc.start(watchdog=40)
                box = run.dialog(x.ERROR_TITLE, timeout=15)
                self.assertEqual(box["text"], x.missing_program_text(1, as_ansi))
                run.window(timeout=10)
                run.wait_exit(2 + 2 + x.EXIT_DELAY + 10)
            expected = x.load_traces(sc.ini, {1: ("missing", as_ansi), 2: ("accept", plain + " /ascii", 0)})
            expected.insert(3, f"Could not read {sc.ini} as Unicode")
            self.assertEqual(expected[2], sc.ini + "ZVKLaunchwick.ini found")
            self.assertTraces(run, expected + [line for tick in x.sequence_ticks([0]) for line in tick])
            self.assertEqual([(r["module"].lower(), lwtest.arguments_of(r["cmdline"])) for r in sc.recorded()],
                             [(plain.lower(), "/ascii")])
            self.assertEqual(sc.read(sc.ini), content)
            self.assertEqual(self.session.temp_copies(), {})


if __name__ == "__main__":
    lwtest.main()
