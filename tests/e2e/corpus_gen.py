"""Generator of malformed settings files for the corpus test. Deterministic: every random choice comes from
a generator seeded with SEED and the case's name, so a failing case can be rebuilt byte for byte.

Each case is made for one program folder (its Windows path) because the stand-in program it names lives
there: <folder>\\bin\\rec.exe is the recorder, <folder>\\missing\\p.exe never exists. Delays of profiles
that can be accepted are never positive, so a run that starts programs ends about seven seconds later.

    python3 corpus_gen.py OUTDIR [FOLDER]   writes the corpus as files, for looking at by hand
"""

import os
import random
import sys
from dataclasses import dataclass, field

SEED = 20261207
DEVICES = ("NUL", "CON", "PRN", "AUX", "COM1", "LPT1")


@dataclass
class Case:
    name: str
    content: bytes
    # Files to make beside the program before the run, relative to its folder: the recorder is copied there.
    programs: list = field(default_factory=list)
    # Known outcome where the documented reading rules fix it (None: only the generic checks apply):
    # accepted = number of profiles loaded, boxes = number of missing-program boxes.
    accepted: int = None
    boxes: int = None


def crlf(*lines):
    return "".join(line + "\r\n" for line in lines).encode("cp1252")


def generate(folder):
    rec = folder + r"\bin\rec.exe"
    miss = folder + r"\missing\p.exe"
    cases = []

    def add(name, content, **kw):
        cases.append(Case(name, content if isinstance(content, bytes) else content.encode("cp1252"), **kw))

    def rng(name):
        return random.Random(f"{SEED}:{name}")

    # --- bytes that are no text file at all
    for size in (1, 4096, 65536, 1 << 20):
        add(f"random_{size}", rng(f"random_{size}").randbytes(size))
    r = rng("printable")
    alphabet = "[]=\r\n\"';#?*\\:. PathDelay0123456789exe"
    add("random_ini_alphabet", "".join(r.choice(alphabet) for _ in range(200_000)))
    r = rng("ini_like")
    pieces = ["[Paths]", "[paths]", "[Other]", "", "=", "Path1=", f"Path{{n}}={miss}", f"Path{{n}}={rec}",
              "Delay{n}=-1", "Delay{n}=x", "#Path{n}=" + rec, "Path{n}=?", "Path{n}=" + rec[:-4]]
    add("random_ini_lines", crlf(*[r.choice(pieces).format(n=r.randint(0, 25)) for _ in range(5000)]))
    add("empty_file", b"")
    add("only_header", crlf("[Paths]"), accepted=0, boxes=0)
    add("only_nul", b"\0" * 8192, accepted=0, boxes=0)
    add("nul_in_section", b"[Pa\0ths]\r\nPath1=" + rec.encode() + b"\r\n", accepted=0, boxes=0)
    add("nul_in_key", b"[Paths]\r\nPa\0th1=" + rec.encode() + b"\r\n", accepted=0, boxes=0)
    # A NUL ends the value: what is left names the recorder.
    add("nul_after_program", b"[Paths]\r\nPath1=" + rec.encode() + b"\0" + miss.encode() + b"\r\n",
        accepted=1, boxes=0)

    # --- size
    big_line = "x" * (10 * 1024 * 1024)
    add("one_10mb_line", big_line + "\r\n" + crlf("[Paths]", "Path1=" + miss).decode(), boxes=1)
    add("lines_100000", crlf("[Paths]", *[f"Junk{i}=value {i}" for i in range(100_000)], "Path1=" + miss),
        accepted=0, boxes=1)
    sections = "".join(f"[S{i}]\r\nPath1={miss}\r\n" for i in range(300_000))
    add("sections_10mb", sections + crlf("[Paths]", "Path2=" + miss).decode(), accepted=0, boxes=1)
    add("line_70000_chars", crlf("[Paths]", "Free" + "y" * 70_000, "Path1=" + miss), boxes=1)

    # --- encodings and line ends
    body = "[Paths]\r\nPath1=" + miss + " /enc\r\n"
    add("utf16le_bom", b"\xff\xfe" + body.encode("utf-16-le"))
    add("utf16le_no_bom", body.encode("utf-16-le"))
    add("utf16be_bom", b"\xfe\xff" + body.encode("utf-16-be"))
    add("utf8_bom", b"\xef\xbb\xbf" + crlf("[Paths]", "Path1=" + rec), accepted=1, boxes=0)
    add("utf8_accent_in_path", ("[Paths]\r\nPath1=" + folder + "\\bin\\r\u00e9c.exe\r\n").encode("utf-8"),
        accepted=0, boxes=1)
    add("cp1252_accent_in_path", crlf("[Paths]", "Path1=" + folder + "\\bin\\r\u00e9c.exe"), accepted=0, boxes=1)
    add("cr_only", ("[Paths]\rPath1=" + miss + "\rPath2=" + rec + "\r").encode(), accepted=1, boxes=1)
    add("lf_only", ("[Paths]\nPath1=" + rec + "\nPath2=" + miss + "\n").encode(), accepted=1, boxes=1)
    add("mixed_line_ends", ("[Paths]\r\nPath1=" + miss + "\rPath2=" + miss + "\nPath3=" + rec).encode(),
        accepted=1, boxes=2)
    add("control_chars", crlf("[Paths]", "Path1=" + miss + "\x01\x02\x1b /c", "Path2=\t" + rec + "\t"))

    # --- long values, keys, names
    add("value_5000", crlf("[Paths]", "Path1=" + miss + " " + "a" * 5000), accepted=0, boxes=1)
    add("exe_beyond_4095", crlf("[Paths]", "Path1=" + folder + "\\" + "b" * 5000 + ".exe"), accepted=0, boxes=0)
    add("key_5000", crlf("[Paths]", "Path1" + "k" * 5000 + "=" + miss), accepted=0, boxes=0)
    add("section_name_5000", crlf("[Paths" + "s" * 5000 + "]", "Path1=" + miss), accepted=0, boxes=0)
    deep = folder + "\\" + "\\".join(["d" * 60] * 6) + "\\x.exe"
    add("long_missing_path", crlf("[Paths]", "Path1=" + deep), accepted=0, boxes=1)
    deep_rel = "\\".join(["e" * 50] * 5) + "\\rec.exe"  # over 260 characters with the folder
    add("long_existing_path", crlf("[Paths]", "Path1=" + folder + "\\" + deep_rel), programs=[deep_rel])

    # --- quotes in every position
    quoted = [
        '"' + rec + '"',          # matching pair: removed by the reader
        "'" + rec + "'",
        '"' + rec,                # unbalanced: stays, the opening quote makes the path unusable
        rec + '"',
        '"' + rec + '" /arg',     # quoted program then arguments: tested part starts with a quote
        folder + '\\bin\\"rec.exe',
        rec + ' "quoted arg" x',
        '""',
        '"',
        '"?"',
    ]
    add("quotes_each_position", crlf("[Paths]", *[f"Path{i}={v}" for i, v in enumerate(quoted, 1)]))
    add("quotes_matching_only", crlf("[Paths]", f'Path1="{rec}"', f"Path2='{rec}'"), accepted=2, boxes=0)
    add("quotes_unbalanced_front", crlf("[Paths]", f'Path1="{rec}', f'Path2="{rec}" /arg'), accepted=0, boxes=2)
    add("quotes_in_names", crlf('["Paths"]', "Path1=" + miss, "[Paths]", '"Path1"=' + miss), accepted=0, boxes=0)

    # --- many profiles, duplicates
    add("profiles_200", crlf("[Paths]", *[f"Path{n}={miss} /{n}" for n in range(1, 201)]), accepted=0, boxes=20)
    add("profiles_21_up_only", crlf("[Paths]", *[f"Path{n}={rec}" for n in range(21, 400)]), accepted=0, boxes=0)
    add("duplicate_sections", crlf("[Paths]", "Path1=" + miss, "[Paths]", "Path1=" + rec, "Path2=" + rec),
        accepted=0, boxes=1)
    add("duplicate_keys", crlf("[Paths]", "Path1=" + rec, "Path1=" + miss, "PATH1=" + miss), accepted=1, boxes=0)
    add("duplicate_keys_case", crlf("[paths]", "pAtH1=" + miss, "Path1=" + rec), accepted=0, boxes=1)
    add("twenty_accepted", crlf("[Paths]", *[f"Path{n}={rec} /{n}" for n in range(1, 21)],
                                *[f"Delay{n}={-n}" for n in range(1, 21)]), accepted=20, boxes=0)

    # --- wildcards, device names, odd paths
    add("wildcards", crlf("[Paths]", "Path1=" + folder + r"\bin\*.exe", "Path2=" + folder + r"\bin\rec?.exe",
                          "Path3=" + folder + r"\b*n\rec.exe", "Path4=" + folder + r"\bin\re[c].exe"),
        accepted=0, boxes=4)
    for dev in DEVICES:
        add(f"device_{dev.lower()}", crlf("[Paths]", f"Path1={dev}", f"Path2={dev}.exe", f"Path3={folder}\\{dev}.exe /x",
                                         f"Path4=\\\\.\\{dev}.exe", f"Path5={dev}:.exe", "Path6=" + rec))
    add("unc_and_nt_paths", crlf("[Paths]", r"Path1=\\server\share\p.exe", r"Path2=\\?\C:\nothere\p.exe",
                                 r"Path3=\??\C:\nothere\p.exe", "Path4=Z:\\p.exe"), accepted=0, boxes=4)
    add("forward_slashes", crlf("[Paths]", "Path1=" + rec.replace("\\", "/")))
    add("bare_exe_names", crlf("[Paths]", "Path1=.exe", "Path2=..exe", "Path3=rec.exe", "Path4= .EXE "))
    add("exe_folder_in_path", crlf("[Paths]", "Path1=" + folder + r"\x.exe.d\rec.exe"), accepted=0, boxes=1)

    # --- the [Paths] section with entries that exist and do not
    add("paths_exist_and_not", crlf(
        "[Instructions]", "Path1=" + rec, "[Paths]",
        "Path1=" + rec, "Delay1=0", "Path2=" + miss, "Delay2=0", "Path3=" + rec.upper(), "Delay3=-3",
        "Path4=" + folder + r"\bin", "Path5=" + rec + " /a /b", "Delay5=abc", "Path6=   ?   ",
        "Path7=", "Path8=" + miss + " /x", "#Path9=" + rec, "Path10=" + rec.replace(".exe", ".EXE"),
        "Delay10=99999999999"), accepted=4, boxes=2)
    add("spaces_around", crlf("  [Paths]  ", "  Path1  =  " + rec + "  ", "Path 2=" + rec, "Path02=" + rec))
    add("no_equals_lines", crlf("[Paths]", "Path1", "=" + rec, "==", "Path1==" + rec), accepted=0)
    add("comments_inline", crlf("[Paths]", "; Path1=" + rec, "Path1=" + miss + " ; comment", "#Path2=" + rec),
        accepted=0, boxes=1)
    return cases


def main():
    out = sys.argv[1]
    folder = sys.argv[2] if len(sys.argv) > 2 else r"C:\corpus"
    os.makedirs(out, exist_ok=True)
    for case in generate(folder):
        with open(os.path.join(out, case.name + ".ini"), "wb") as f:
            f.write(case.content)
    print(len(generate(folder)), "files in", out)


if __name__ == "__main__":
    main()
