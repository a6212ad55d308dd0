#!/usr/bin/python3
"""Runs the abuses of the spreadsheet service that its limits are for, each against a fresh
build/impix-sheets on a socket folder of its own, and reports per abuse what the service answered,
its peak memory (VmHWM) and the longest wait of another session's Status request meanwhile.

Usage: scripts/sheets-abuse.py [BUILD_DIR]   (build/ by default; run from the repository)
Exits non-zero when a peak is over 512 MB or another session waited more than a second.
"""
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
TEMPLATE = os.path.join(BUILD, "Forms", "Table1.xlsx")
MAX_MESSAGE = 64 << 20
CONNECT, CLOSE, REQUEST, POKE, EXECUTE = 1, 2, 3, 4, 5
KINDS = {16: "Data", 17: "NoReply", 18: "Accepted", 19: "Refused", 20: "Completed", 21: "Closed"}


def text(s):
    b = s.encode()
    return struct.pack("<I", len(b)) + b


def encode(kind, seq, *fields, wait=None):
    body = struct.pack("<BBI", 1, kind, seq) + b"".join(text(f) for f in fields)
    if kind == EXECUTE:
        body += bytes([1 if wait else 0])
    return struct.pack("<I", len(body)) + body


class Client:
    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.seq = 0
        self.buf = b""

    def send(self, kind, *fields, wait=None):
        self.seq += 1
        self.sock.sendall(encode(kind, self.seq, *fields, wait=wait))
        return self.seq

    def reply(self, timeout=120):
        self.sock.settimeout(timeout)
        while True:
            if len(self.buf) >= 4:
                n = struct.unpack_from("<I", self.buf)[0]
                if len(self.buf) >= 4 + n:
                    body, self.buf = self.buf[4:4 + n], self.buf[4 + n:]
                    kind, seq = body[1], struct.unpack_from("<I", body, 2)[0]
                    reason = ""
                    if kind in (16, 19) and len(body) >= 10:
                        m = struct.unpack_from("<I", body, 6)[0]
                        reason = body[10:10 + m].decode(errors="replace")
                    return KINDS.get(kind, str(kind)), seq, reason
            try:
                got = self.sock.recv(1 << 20)
            except (socket.timeout, OSError):
                return "no reply", 0, ""
            if not got:
                return "closed", 0, ""
            self.buf += got

    def call(self, kind, *fields, wait=None):
        try:
            self.send(kind, *fields, wait=wait)
        except OSError:
            return "closed", 0, ""
        return self.reply()

    def close(self):
        self.sock.close()


class Service:
    def __init__(self):
        self.runtime = tempfile.mkdtemp(prefix="sheets-abuse-")
        env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, LC_ALL="C")
        self.proc = subprocess.Popen([os.path.join(BUILD, "impix-sheets"), "--idle-exit-ms",
                                      "600000"], env=env, stderr=subprocess.DEVNULL)
        self.path = os.path.join(self.runtime, "impix-dde", "Excel")
        for _ in range(500):
            if os.path.exists(self.path):
                break
            time.sleep(0.01)
        self.worst = 0.0
        self.probing = True
        self.prober = threading.Thread(target=self.probe, daemon=True)
        self.prober.start()

    def probe(self):
        c = Client(self.path)
        c.call(CONNECT, "Excel", "System")
        while self.probing:
            start = time.monotonic()
            c.call(REQUEST, "Status")
            self.worst = max(self.worst, time.monotonic() - start)
            time.sleep(0.05)
        c.close()

    def peak_mb(self):
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024.0
        return -1.0

    def stop(self):
        self.probing = False
        self.prober.join(timeout=30)
        peak = self.peak_mb()
        self.proc.kill()
        self.proc.wait()
        shutil.rmtree(self.runtime, ignore_errors=True)
        return peak


def open_copy(c, folder, name):
    path = os.path.join(folder, name)
    shutil.copy(TEMPLATE, path)
    c.call(CONNECT, "Excel", "System")
    return c.call(EXECUTE, '[OPEN("%s")]' % path)


POKE_ROW = "1234567\t28.12\t23:59:59\t3\t1234567890\t-1234567890\tsome longer text\r\n"


def six_almost_complete(svc, work):
    """Six clients each send a 64 MiB message but its last byte."""
    clients, answers = [], []
    for i in range(6):
        c = Client(svc.path)
        head = struct.pack("<IBBI", MAX_MESSAGE, 1, POKE, 7) + text("R3C1:R3C1")
        c.sock.sendall(head)
        clients.append(c)

    def fill(c):
        left = MAX_MESSAGE - (len(head) - 4) - 1
        chunk = b"x" * (1 << 20)
        try:
            while left > 0:
                n = min(left, len(chunk))
                c.sock.sendall(chunk[:n])
                left -= n
        except OSError:
            pass
    threads = [threading.Thread(target=fill, args=(c,)) for c in clients]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for c in clients:
        answers.append(c.reply(timeout=2)[0])
    for c in clients:
        c.close()
    return " ".join(answers)


def six_complete_pokes(svc, work):
    """Six clients each poke a block of 64 MiB into a workbook of their own, at once."""
    rows = min((63 << 20) // len(POKE_ROW), 1048000)
    block = POKE_ROW * rows
    clients = []
    for i in range(6):
        c = Client(svc.path)
        open_copy(c, work, "Data%d.xls" % i)
        c.call(CONNECT, "Excel", "[Data%d.xls]Channel_1" % i)
        clients.append(c)
    message = "R3C1:R%dC7" % (rows + 2)
    threads = [threading.Thread(target=c.send, args=(POKE, message, block)) for c in clients]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    answers = [c.reply()[0] for c in clients]
    for c in clients:
        c.close()
    return " ".join(answers)


def unread_replies(svc, work):
    """A client asks for a 4 MiB cell 100 times and never reads the replies."""
    c = Client(svc.path)
    open_copy(c, work, "Data.xls")
    c.call(CONNECT, "Excel", "[Data.xls]Desc")
    c.call(POKE, "R1C1", "x" * (4 << 20))
    c.sock.setblocking(False)
    sent = 0
    wire = b"".join(encode(REQUEST, 1000 + i, "R1C1") for i in range(100))
    deadline = time.monotonic() + 5
    while sent < len(wire) and time.monotonic() < deadline:
        try:
            sent += c.sock.send(wire[sent:])
        except BlockingIOError:
            time.sleep(0.05)
    time.sleep(2)  # let the service do what it will with the requests it could read
    c.close()
    return "%d of %d request bytes taken" % (sent, len(wire))


def big_messages(svc, kind, clients):
    """`clients` clients at once each send one message of 64 MiB of `kind`; their answers and
    the longest reason among them."""
    if kind == EXECUTE:
        fields = ['[OPEN("%s")]' % ("x" * (MAX_MESSAGE - 6 - 4 - 1 - 10))]
    else:
        fields = ["x" * (MAX_MESSAGE - 6 - 4)]
    wire = encode(kind, 1, *fields, wait=False)
    assert len(wire) == 4 + MAX_MESSAGE
    conns = []
    for _ in range(clients):
        c = Client(svc.path)
        c.call(CONNECT, "Excel", "System")
        c.seq = 0
        conns.append(c)
    del fields
    threads = [threading.Thread(target=c.sock.sendall, args=(wire,)) for c in conns]
    for t in threads:
        t.start()
    answers = [c.reply() for c in conns]
    for t in threads:
        t.join()
    for c in conns:
        c.close()
    longest = max(len(a[2]) for a in answers)
    return "%s; longest reason %d bytes" % (" ".join(a[0] for a in answers), longest)


def one_big_execute(svc, work):
    """One client sends an EXECUTE of 64 MiB (an OPEN of a name that long)."""
    return big_messages(svc, EXECUTE, 1)


def six_big_executes(svc, work):
    """Six clients send an EXECUTE of 64 MiB each, at once."""
    return big_messages(svc, EXECUTE, 6)


def one_big_request(svc, work):
    """One client sends a REQUEST of 64 MiB (an item name that long)."""
    return big_messages(svc, REQUEST, 1)


def six_big_requests(svc, work):
    """Six clients send a REQUEST of 64 MiB each, at once."""
    return big_messages(svc, REQUEST, 6)


def make_bomb(work):
    path = os.path.join(work, "bomb.xls")
    shutil.copy(TEMPLATE, os.path.join(work, "base.xls"))
    with zipfile.ZipFile(os.path.join(work, "base.xls")) as src, \
            zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as dst:
        for item in src.infolist():
            if item.filename != "xl/worksheets/sheet2.xml":
                dst.writestr(item, src.read(item.filename))
                continue
            info = zipfile.ZipInfo(item.filename)
            info.compress_type = zipfile.ZIP_DEFLATED
            with dst.open(info, "w", force_zip64=True) as out:
                out.write(b"<worksheet><sheetData>")
                piece = b"<row/>" * (1 << 20)
                for _ in range(256):  # 1.5 GiB
                    out.write(piece)
                out.write(b"</sheetData></worksheet>")


def bomb(svc, work):
    """OPEN of a small zip holding a 1.5 GiB sheet."""
    path = os.path.join(work, "bomb.xls")
    c = Client(svc.path)
    c.call(CONNECT, "Excel", "System")
    answer = c.call(EXECUTE, '[OPEN("%s")]' % path)
    c.close()
    return "%.1f MB file: %s %s" % (os.path.getsize(path) / 1e6, answer[0], answer[2])


def fifo(svc, work):
    """OPEN of a named pipe that no one writes to."""
    path = os.path.join(work, "fifo.xls")
    os.mkfifo(path)
    c = Client(svc.path)
    c.call(CONNECT, "Excel", "System")
    answer = c.call(EXECUTE, '[OPEN("%s")]' % path)
    c.close()
    return "%s %s" % (answer[0], answer[2])


def dev_zero(svc, work):
    """OPEN of /dev/zero."""
    c = Client(svc.path)
    c.call(CONNECT, "Excel", "System")
    answer = c.call(EXECUTE, '[OPEN("/dev/zero")]')
    c.close()
    return "%s %s" % (answer[0], answer[2])


def too_many_sessions(svc, work):
    """Forty sessions at once."""
    clients = [Client(svc.path) for _ in range(40)]
    answers = [c.call(CONNECT, "Excel", "System")[0] for c in clients]
    for c in clients:
        c.close()
    return "%d accepted, %d refused, %d closed" % (
        answers.count("Accepted"), answers.count("Refused"), answers.count("closed"))


def main():
    if not os.path.exists(TEMPLATE):
        sys.exit("sheets-abuse: build first (no %s)" % TEMPLATE)
    failed = False
    print("%-22s %9s %10s  %s" % ("abuse", "peak MB", "stall ms", "outcome"))
    for abuse in (six_almost_complete, six_complete_pokes, one_big_execute, six_big_executes,
                  one_big_request, six_big_requests, unread_replies, bomb, fifo, dev_zero,
                  too_many_sessions):
        work = tempfile.mkdtemp(prefix="sheets-abuse-work-")
        if abuse is bomb:
            make_bomb(work)  # before the service starts: its making is no stall of the service
        svc = Service()
        try:
            outcome = abuse(svc, work)
        finally:
            peak = svc.stop()
            shutil.rmtree(work, ignore_errors=True)
        stall = svc.worst * 1000
        failed |= peak > 512 or stall > 1000
        print("%-22s %9.1f %10.0f  %s" % (abuse.__name__, peak, stall, outcome), flush=True)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
