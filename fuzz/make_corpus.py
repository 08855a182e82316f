#!/usr/bin/env python3
# Writes the fuzz targets' seed corpora (fuzz/corpus/<target>/) from real material: the simulated
# radio's answers to every query of both models, client sessions that walk the protocol, and
# profiles written by `quintar setup`. Run from the source tree after a normal build:
#   fuzz/make_corpus.py [BUILD_DIR]          (default build/normal)
# The seeds are kept in the tree; this script only renews them. Each target reads its input with
# libFuzzer's FuzzedDataProvider, which takes numbers from the end and bytes from the front; the
# encoders below lay the seeds out that way.
import os
import random
import select
import shutil
import subprocess
import sys
import tempfile
import termios
import tty

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "normal"))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")
rng = random.Random(20260105)

ANSWERS = ("AC AG AI AL AM AN AR AS BC BP BY CA CG CM CN CR CT DC DL DQ EX FA FB FC FD FR FS FT FW GT ID IF IS "
           "KS KY LK LM MC MD ME MF MG ML MO MR MU NB NL NR NT OF OI OP OS PA PB PC PK PL PM PR PS QC QR RA RD RG "
           "RL RM RS RT RU RX SA SB SC SD SH SL SM SQ SS ST SU TC TI TN TO TS TX TY UL VD VG VX XI XO XT").split()
INDEXED = ["AG0", "AG1", "AR0", "AR1", "SM0", "SM1", "SM2", "SM3", "SQ0", "SQ1", "RM1", "RM5", "MR000", "MR100",
           "EX0010000", "EX0550000", "EX0240000", "SS00", "SS95", "TY"]


def radio_answers(identity):
    """Every answer the simulated radio gives to the queries, without their ';'."""
    sim = subprocess.Popen([os.path.join(BUILD, "radiosim", "quintar-radiosim"), "--id", str(identity)],
                           stdout=subprocess.PIPE, text=True)
    try:
        path = next(w for w in sim.stdout.readline().split() if w.startswith("/dev/"))
        fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(fd)
        termios.tcflush(fd, termios.TCIOFLUSH)
        queries = [a + ";" for a in ANSWERS] + [q + ";" for q in INDEXED] + ["AI2;", "FA00007074000;", "TC 0;"]
        got = b""
        for q in queries:
            os.write(fd, q.encode())
            while select.select([fd], [], [], 0.05)[0]:
                got += os.read(fd, 4096)
        os.close(fd)
    finally:
        sim.terminate()
        sim.wait()
    return [a for a in got.decode("latin-1").split(";") if a and a != "?"]


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def int_tail(value, count):
    """The bytes ConsumeIntegral / ConsumeIntegralInRange read for `value`, last byte first."""
    return bytes((value >> (8 * i)) & 0xFF for i in range(count))


def length_tail(lengths, largest):
    """Chunk lengths as ConsumeIntegralInRange(1, largest) takes them, first chunk last."""
    tail = b""
    for n in lengths:
        tail = int_tail(n - 1, 2) + tail
    return tail


def chunked(stream, largest):
    """Random chunk borders over the stream, each at most `largest`."""
    lengths, at = [], 0
    while at < len(stream):
        n = min(rng.randint(1, 40) if rng.random() < 0.7 else rng.randint(1, largest), len(stream) - at)
        lengths.append(n)
        at += n
    return lengths


# ---- answers: text, then the identity selector (0: 19, 1: 20, 2: none, 3: the next byte) ------

def answers_corpus(by_model):
    n = 0
    for selector, answers in ((0, by_model[19]), (1, by_model[20])):
        for a in answers:
            write("fuzz_answers", f"answer-{n:03d}", (a + ";").encode("latin-1") + bytes([selector]))
            n += 1
        for _ in range(12):
            text = ";".join(rng.sample(answers, 6)) + ";"
            write("fuzz_answers", f"answers-{n:03d}", text.encode("latin-1") + bytes([selector]))
            n += 1
    odd = [b";;;", b"F;A;", b"FA0001407400;FA000140740000;", b"ID019;TC00;EX05500001;TC01;",
           b"fa00014074000;@@AI1;Y0;Z9;", b"IF" + b"9" * 300 + b";", b"SS0" + b"x" * 60 + b";", b"TYzz9;TY0F3;",
           b"PK" + b"A" * 60 + b";", b"MR1" + b"9" * 60 + b";"]
    for i, text in enumerate(odd):
        selector = bytes([i % 4]) if i % 4 != 3 else bytes([(19, 20, 33)[i % 3], 3])
        write("fuzz_answers", f"odd-{i:02d}", text + selector)


# ---- reader: chunks, then their lengths, then the identity (1: 19, 0: 20) -------------------

def reader_corpus(by_model):
    n = 0
    for identity, answers in ((20, by_model[20]), (19, by_model[19])):
        for _ in range(16):
            stream = (";".join(rng.choices(answers, k=rng.randint(1, 30))) + ";").encode("latin-1")
            if rng.random() < 0.3:
                cut = rng.randint(0, len(stream))
                stream = stream[:cut] + bytes(rng.randint(2, 255) for _ in range(rng.randint(1, 50))) + stream[cut:]
            lengths = chunked(stream, 1500)
            write("fuzz_reader", f"stream-{n:03d}", stream + length_tail(lengths, 1500) + bytes([identity == 19]))
            n += 1
    noise = b"x" * 1100 + b"FA00014074000;" + b"y" * 1030 + b";IF" + b"0" * 35 + b";"
    write("fuzz_reader", "noise-cap", noise + length_tail(chunked(noise, 1500), 1500) + b"\0")
    terminal = b"ID019;TC00;raw bytes;\r\n;TC01;FA00014074000;"
    write("fuzz_reader", "terminal-mode", terminal + length_tail([len(terminal)], 1500) + b"\1")


# ---- session: chunks, lengths, then login-first, saves-fail, load-messages, @@AI, model ------

def session_seed(name, stream, model=0, ai=False, load=False, saves_fail=False, login_first=False):
    data = stream.encode("latin-1")
    tail = length_tail(chunked(data, 1200), 1200) if data else b""
    flags = bytes([login_first, saves_fail, load, ai, model])
    write("fuzz_session", name, data + tail + flags)


def session_corpus():
    L = "UID:op;PWD:pw;"
    session_seed("login", L + "FA;IF;fa00014074000;")
    session_seed("login-first", "FA;MD2;", login_first=True)
    session_seed("refusals-corrin", L + "SR;sr1;LM1;lm0100;MF0;MF00;EX0220000001;ex05500001;EX0240000001;\nSR;\x01 sr;")
    session_seed("refusals-dunmore", L + "EX0240000001;EX05400001;EX0560000;TC 1;tc0;TC;TC-12x;", model=1)
    session_seed("load-messages", L + "LM1;\x03lm1;", load=True)
    session_seed("no-model", L + "FA;IF;", model=2)
    session_seed("server-commands", L + "@@AI;@@ai1;@@AI1;@@AI0;@@AI2;@@AIX;@@AI10;@@AX;@@XY;@@ST;@@st;@@ST1;@@;@@A;")
    session_seed("password-change", L + "@@AI1;@@CPnewpw;@@cpx;@@CP;@@CP" + "p" * 33 + ";@@CPa b;@@CP\x7f;", ai=True)
    session_seed("password-change-unsaved", L + "@@CPnewpw;", ai=True, saves_fail=True)
    session_seed("uid-twice", "UID:op;UID:x;UID:op;PWD:pw;FA;")
    session_seed("wrong-passwords", "UID:op;PWD:a;PWD:b;PWD:c;PWD:pw;FA;")
    session_seed("other-ids", "UID:nobody;PWD:pw;UID:;UID:op;PWD:other;UID:op2;PWD:secret;FA;")
    session_seed("disabled", "UID:off;PWD:pw;FA;")
    session_seed("short-and-odd", "FA;uid:op;UID:;PWD:;\r\nUID:op;\r\nPWD:pw;UID:" + "u" * 33 + ";FA00014074000;")
    session_seed("line-ends", "UID:op;PWD:pw;\r\nFA;\r\nSR;\r\n@@ST;")
    session_seed("overflow-before-login", "x" * 1100)
    session_seed("overflow-after-login", L + "FA;" + "y" * 1030 + ";FA;")
    session_seed("full-buffer-then-more", L + "z" * 1023 + ";")
    session_seed("burst", L + "FA;" * 300)
    session_seed("control-bytes-in-user", "UID:\x01\r\n\x7f\x80\xff;PWD:x;PWD:y;PWD:z;")
    session_seed("empty-commands", L + ";;;;FA;;")


# ---- profile: value, its end mark, INI text, the number, the key index ---------------------

def profile_seed(name, text, value="newpw", number=50001, key=0):
    raw = value.replace("\\", "\\\\").encode("latin-1") + b"\\x"
    # ConsumeIntegral<int> gives the lowest int plus the number the four bytes make.
    write("fuzz_profile", name, raw + text + int_tail((number + 2**31) & 0xFFFFFFFF, 4) + bytes([key]))


def profile_corpus():
    work = tempfile.mkdtemp()
    try:
        quintar = os.path.join(BUILD, "quintar", "quintar")
        p = os.path.join(work, "p.ini")
        steps = [["set", "com-device", "1", "/dev/ttyUSB0"], ["set", "tcp-port", "50001"], ["set", "baud", "38400"],
                 ["set", "session-time", "30"], ["set", "log", "on", "--folder", work]]
        for s in steps:
            subprocess.run([quintar, "setup", "--profile", p] + s, check=True, capture_output=True)
        for i, (uid, desc) in enumerate([("op1", "Remote desk, room 2"), ("op=2", "a;b \"quoted\""),
                                         ("[sec]", "%20 and \\ back"), ("x,y", "")]):
            subprocess.run([quintar, "setup", "--profile", p, "user", "add", uid, "--description", desc,
                            "--password-stdin"], input=f"pw{i},z\n", text=True, check=True, capture_output=True)
        with open(p, "rb") as f:
            real = f.read().replace(work.encode(), b"/var/log/quintar")
    finally:
        shutil.rmtree(work)
    for key in range(0, 27, 3):
        profile_seed(f"setup-{key:02d}", real, value=f"v{key}", number=key * 1000, key=key)
    hand = {
        "comments": b"; comment\n# other\n[Setting]\nCOM Port=3\nVEXA%20IP%20Port%20No=50000\n\n",
        "quoted": b'[Setting]\nVEXA%20000%20User%20ID="a,b"\nVEXA%20000%20Password=p,q\n',
        "spaces-in-keys": b"[Setting]\nVEXA 000 User ID=op\nVEXA 000 Password = pw \n",
        "duplicates": b"[Setting]\nCOM%20Port=1\nCOM%20Port=2\n[Setting]\nCOM%20Baud=4800\n[setting]\nCOM%20Port=9\n",
        "escapes": b"[File%20Path]\nVEXA%20Log%20File%20Path=C:\\\\log\\\\x\n[Ports]\nCOM1=/dev/pts/3\n",
        "general": b"[General]\nCOM%20Port=4\n[%General]\nx=1\n",
        "bytes": b"[Setting]\nVEXA%20000%20Description=\xc3\xa9\xff\xfe\n",
        "not-a-profile": b"root:x:0:0:root:/root:/bin/bash\n",
        "empty": b"",
        "variant": b"[Setting]\nCOM%20Baud=@Variant(\\0\\0\\0\\x2\\0\\0%\\x80)\n",
    }
    for i, (name, text) in enumerate(hand.items()):
        profile_seed(name, text, value="a,b" if i % 2 else "x y", number=-i, key=i * 2)


def main():
    for target in ("fuzz_answers", "fuzz_reader", "fuzz_session", "fuzz_profile"):
        shutil.rmtree(os.path.join(CORPUS, target), ignore_errors=True)
    by_model = {19: radio_answers(19), 20: radio_answers(20)}
    answers_corpus(by_model)
    reader_corpus(by_model)
    session_corpus()
    profile_corpus()
    for target in sorted(os.listdir(CORPUS)):
        print(f"{target}: {len(os.listdir(os.path.join(CORPUS, target)))} seeds")


main()
