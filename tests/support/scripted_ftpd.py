#!/usr/bin/python3
r"""A scripted FTP server for what real servers do not do on demand (started by ScriptedFtpServer).

Usage: scripted_ftpd.py --port P [--host H] [--pasv-min A --pasv-max B] [--log FILE]
                        (--scenario NAME | --script FILE)

Without rules it is a small byte-transparent FTP server over an in-memory file system (login,
FEAT, OPTS, NOOP, SITE, STAT, PWD, CWD, CDUP, TYPE, PASV, EPSV, PORT, EPRT, LIST, MLSD, RETR,
STOR, REST, SIZE, MDTM, DELE, MKD, RMD, RNFR, RNTO, ABOR, QUIT). A script changes it, one
directive a line ("#" starts a comment line):

  greeting <reply>             the greeting
  login any | login <u> <p>    any user (the default), or only this pair (530 at USER or PASS)
  feat <reply> | feat none     the FEAT reply; "none" answers 500
  disable <VERB> ...           these commands get "500 Unknown command."
  pasv-address <a.b.c.d>       the address PASV replies name
  dir <path>                   a folder
  file <path> <size>           a file of <size> bytes, byte i being i % 251
  file <path> text <bytes>     a file holding <bytes>
  list <path> <bytes>          the raw LIST output of a folder (mlsd: the same for MLSD)
  on <EVENTS> [<n>] ... end    actions run instead of the default, for every event or only the
                               n-th (counted over all connections); EVENTS is CONNECT (the
                               greeting), "*" (any command) or verbs joined by ","
Actions: reply <reply>, raw <bytes>, repeat <n> <bytes>, sleep <ms>, default (what the server
does without a rule), close, reset (a TCP reset), silent (never answers again), accept-data,
data <bytes>, data-repeat <n> <bytes>, data-file [<limit>] (the file the command names),
data-read <n>|all, data-close, data-reset, data-hold. <bytes> and <reply> take \r \n \t \0 \\
\xHH; in a <reply> "\n" separates lines, each sent with CR LF. The log holds "CONNECT <n>" per connection and "C<n> <command>" per command
(bytes outside printable ASCII as \xHH).
"""

import argparse
import contextlib
import re
import select
import socket
import threading
import time

COMMON = "dir /pub\nfile /hello.txt text Hello, world!\\n\nfile /big.bin 1048576\nfile /pub/readme.txt text readme\\n\n"
RETR_300000 = "on RETR\n reply 150 Opening BINARY mode data connection.\n data-file 300000\n"
SCENARIOS = {
    "normal": COMMON,
    "silent": "on CONNECT\n silent\nend\n",
    "421-greeting": "on CONNECT\n reply 421 Too many users, try again later.\n close\nend\n",
    "drop-mid-download": COMMON + RETR_300000 + " reset\nend\n",
    "short-download": COMMON + RETR_300000 + " data-close\n reply 226 Transfer complete.\nend\n",
}
ACTIONS = {"reply", "raw", "repeat", "sleep", "default", "close", "reset", "silent", "accept-data", "data",
           "data-repeat", "data-file", "data-read", "data-close", "data-reset", "data-hold"}
ESCAPES = {b"r": b"\r", b"n": b"\n", b"t": b"\t", b"0": b"\0", b"\\": b"\\"}
LINGER_RESET = b"\1\0\0\0\0\0\0\0"
FEAT = "211-Features:\\n EPRT\\n EPSV\\n MDTM\\n MLST type*;size*;modify*;\\n PASV\\n REST STREAM\\n SIZE\\n UTF8\\n211 End"


def unescape(text):
    return re.sub(rb"\\(x[0-9a-fA-F]{2}|.)", lambda m: bytes([int(m[1][1:], 16)]) if len(m[1]) == 3
                  else ESCAPES.get(m[1], m[0]), text.encode("latin-1", "replace"), flags=re.S)


def escape(line):
    return "".join(c if " " <= c < "\x7f" else "\\x%02x" % ord(c) for c in line)


def parent(path):
    return path.rstrip("/").rsplit("/", 1)[0] or "/"


def join(cwd, name):
    parts = []
    for p in (name if name.startswith("/") else cwd + "/" + name).split("/"):
        if p == "..":
            parts[-1:] = []
        elif p not in ("", "."):
            parts.append(p)
    return "/" + "/".join(parts)


class Script:
    def __init__(self, text):
        self.greeting, self.login, self.feat, self.pasv_address = "220 Scripted FTP server ready.", None, None, None
        self.disabled, self.files, self.listings, self.rules, self.counters = set(), {"/": None}, {}, [], {}
        self.lock = threading.Lock()
        block = None
        for number, line in enumerate(text.splitlines(), 1):
            word, _, rest = line.strip().partition(" ")
            path = unescape(rest.partition(" ")[0]).decode("latin-1")
            if not word or word.startswith("#"):
                continue
            elif block is not None and word == "end":
                self.rules.append(block)
                block = None
            elif block is not None and word in ACTIONS:  # actions keep their trailing blanks
                block[2].append((word, line.lstrip().partition(" ")[2]))
            elif block is None and word == "on":
                parts = rest.split()
                block = ({e.upper() for e in parts[0].split(",")}, int(parts[1]) if len(parts) > 1 else None, [])
            elif block is None and word == "greeting":
                self.greeting = rest
            elif block is None and word == "login":
                self.login = None if rest.strip() == "any" else tuple(rest.split(" ", 1))
            elif block is None and word == "feat":
                self.feat = "" if rest.strip() == "none" else rest
            elif block is None and word == "disable":
                self.disabled.update(v.upper() for v in rest.split())
            elif block is None and word == "pasv-address":
                self.pasv_address = rest.strip()
            elif block is None and word == "dir":
                self.add_dir(path)
            elif block is None and word == "file":
                kind, _, content = rest.partition(" ")[2].partition(" ")
                self.add_dir(parent(path))
                size = 0 if kind == "text" else int(kind)
                self.files[path] = unescape(content) if kind == "text" else (bytes(range(251)) * (size // 251 + 1))[:size]
            elif block is None and word in ("list", "mlsd"):
                self.listings[(word.upper(), path)] = unescape(rest.partition(" ")[2])
            else:
                raise SystemExit("script line %d: unknown directive or action %r" % (number, word))
        if block is not None:
            raise SystemExit("script: a block is not ended by 'end'")

    def add_dir(self, path):
        while path not in self.files:
            self.files[path] = None
            path = parent(path)

    def rule_for(self, event):
        """The actions for this occurrence of `event`, or None for the default."""
        with self.lock:
            count = self.counters[event] = self.counters.get(event, 0) + 1
            rules = [(n, a) for events, n, a in self.rules if event in events or (event != "CONNECT" and "*" in events)]
            return next((a for n, a in rules if n == count), next((a for n, a in rules if n is None), None))


class Closed(Exception):
    pass


class Session:
    def __init__(self, server, sock, number):
        self.server, self.script, self.files, self.sock, self.number = server, server.script, server.script.files, sock, number
        self.buffer, self.cwd, self.user, self.logged_in, self.rest, self.rename_from = b"", "/", None, False, 0, None
        self.passive = self.active = self.data = None  # listening socket, (host, port), data socket

    def send(self, data):
        try:
            self.sock.sendall(data)
        except OSError:
            raise Closed()

    def reply(self, text):
        self.send(b"".join(line + b"\r\n" for line in unescape(text).split(b"\n")))

    def read_line(self):
        while b"\n" not in self.buffer:
            chunk = b""
            with contextlib.suppress(OSError):
                chunk = self.sock.recv(65536)
            if not chunk:
                raise Closed()
            self.buffer += chunk
        line, _, self.buffer = self.buffer.partition(b"\n")
        line = line.rstrip(b"\r").decode("latin-1")
        self.server.log("C%d %s" % (self.number, escape(line)))
        return line

    def close(self, reset=False):
        self.close_data(reset)
        if reset:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, LINGER_RESET)
        self.sock.close()
        raise Closed()

    def close_data(self, reset=False):
        if self.data is not None:
            with contextlib.suppress(OSError):
                if reset:
                    self.data.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, LINGER_RESET)
                else:
                    self.data.shutdown(socket.SHUT_RDWR)
            self.data.close()
        if self.passive is not None:
            self.passive.close()
        self.data = self.passive = None

    def open_data(self):
        try:
            if self.data is None and self.passive is not None:
                self.passive.settimeout(10)
                self.data = self.passive.accept()[0]
                self.passive.close()
                self.passive = None
            elif self.data is None and self.active is not None:
                self.data, self.active = socket.create_connection(self.active, timeout=10), None
            if self.data is not None:
                self.data.settimeout(30)
            return self.data is not None
        except OSError:
            self.close_data()
            return False

    def send_data(self, content):
        with contextlib.suppress(OSError):
            self.data.sendall(content)

    def read_data(self, limit=None):
        got, chunk = b"", b"-"
        while chunk and (limit is None or len(got) < limit):
            chunk = b""
            with contextlib.suppress(OSError):
                chunk = self.data.recv(65536 if limit is None else min(65536, limit - len(got)))
            got += chunk
        return got

    def run(self):
        self.server.log("CONNECT %d" % self.number)
        try:
            actions = self.script.rule_for("CONNECT")
            self.perform(actions, "", "") if actions is not None else self.default("", "")
            while True:
                verb, _, arg = self.read_line().partition(" ")
                actions = self.script.rule_for(verb.upper())
                self.perform(actions, verb.upper(), arg) if actions is not None else self.default(verb.upper(), arg)
        except Closed:
            pass
        finally:
            self.close_data()
            self.sock.close()

    def perform(self, actions, verb, arg):
        for name, value in actions:
            count, _, what = value.partition(" ")
            if name == "reply":
                self.reply(value)
            elif name == "raw":
                self.send(unescape(value))
            elif name == "repeat":
                chunk, n = unescape(what), int(count)
                step = max(1, 65536 // max(1, len(chunk)))
                for sent in range(0, n, step):
                    self.send(chunk * min(step, n - sent))
            elif name == "sleep":
                time.sleep(int(value) / 1000.0)
            elif name == "default":
                self.default(verb, arg)
            elif name in ("close", "reset"):
                self.close(reset=name == "reset")
            elif name == "silent":
                with contextlib.suppress(OSError):
                    while self.sock.recv(65536):
                        pass
                raise Closed()
            elif name in ("data-close", "data-reset"):
                self.close_data(reset=name == "data-reset")
            elif name == "data-hold" or not self.open_data():
                continue
            elif name in ("data", "data-repeat"):
                self.send_data(unescape(value) if name == "data" else unescape(what) * int(count))
            elif name == "data-file":
                content = self.files.get(join(self.cwd, arg)) or b""
                self.send_data(content[: int(value)] if value.strip() else content)
            elif name == "data-read":
                self.read_data(None if value.strip() == "all" else int(value))

    # --- what the server does without a rule: each cmd_ method returns its reply, or None when
    # it answered itself.

    def default(self, verb, arg):
        handler = getattr(self, "cmd_" + verb, None)
        if not verb:  # the connection's start
            self.reply(self.script.greeting)
        elif verb in self.script.disabled or handler is None:
            self.reply("500 Unknown command.")
        elif not self.logged_in and verb not in ("USER", "PASS", "QUIT", "FEAT", "OPTS", "NOOP"):
            self.reply("530 Please login with USER and PASS.")
        else:
            text = handler(arg, join(self.cwd, arg))
            if text:
                self.reply(text)

    def is_dir(self, path):
        return path in self.files and self.files[path] is None

    def cmd_USER(self, arg, path):
        self.user, self.logged_in = arg, False
        refused = self.script.login is not None and arg != self.script.login[0]
        return "530 This user may not log in." if refused else "331 Please specify the password."

    def cmd_PASS(self, arg, path):
        if self.user is None:
            return "503 Login with USER first."
        if self.script.login is not None and arg != self.script.login[1]:
            return "530 Login incorrect."
        self.logged_in = True
        return "230 Login successful."

    def cmd_QUIT(self, arg, path):
        self.reply("221 Goodbye.")
        self.close()

    def cmd_FEAT(self, arg, path):
        return FEAT if self.script.feat is None else self.script.feat or "500 Unknown command."

    def cmd_OPTS(self, arg, path):
        return "200 Always in UTF8 mode." if arg.upper().startswith("UTF8") else "501 Option not understood."

    cmd_NOOP = cmd_SITE = cmd_STAT = lambda self, arg, path: "200 Command okay."

    def cmd_PWD(self, arg, path):
        return '257 "%s" is the current directory' % self.cwd.replace('"', '""')

    def cmd_CWD(self, arg, path):
        if not self.is_dir(path):
            return "550 Failed to change directory."
        self.cwd = path
        return "250 Directory successfully changed."

    cmd_CDUP = lambda self, arg, path: self.cmd_CWD("..", parent(self.cwd))

    def cmd_TYPE(self, arg, path):
        return "200 Switching to %s mode." % ("ASCII" if arg.upper().startswith("A") else "Binary")

    def listen(self):
        self.close_data()
        host = self.sock.getsockname()[0]
        for port in self.server.passive_ports():
            s = socket.socket(socket.AF_INET6 if ":" in host else socket.AF_INET, socket.SOCK_STREAM)
            # A port of a block another test used a moment ago may still be in TIME_WAIT.
            s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            try:
                s.bind((host, port))
                s.listen(1)
                self.passive = s
                return s.getsockname()[1]
            except OSError:
                s.close()

    def cmd_PASV(self, arg, path):
        port = self.listen()
        address = self.script.pasv_address or self.sock.getsockname()[0]
        address = "127.0.0.1" if ":" in address else address
        return "425 Cannot open a passive port." if port is None else "227 Entering Passive Mode (%s,%d,%d)." % (
            address.replace(".", ","), port // 256, port % 256)

    def cmd_EPSV(self, arg, path):
        port = self.listen()
        return "425 Cannot open a passive port." if port is None else "229 Entering Extended Passive Mode (|||%d|)." % port

    def cmd_PORT(self, arg, path, verb="PORT"):
        try:
            n = [int(x) for x in arg.split(",")] if verb == "PORT" else [0, 0, 0, 0, 0, int(arg.split(arg[0])[3])]
            port = n[4] * 256 + n[5]
        except (ValueError, IndexError):
            return "501 Illegal %s command." % verb
        self.close_data()
        # The data connection goes to the client, whatever address it names.
        self.active = (self.sock.getpeername()[0], port)
        return "200 %s command successful." % verb

    cmd_EPRT = lambda self, arg, path: self.cmd_PORT(arg, path, "EPRT")

    def transfer_out(self, content, start_reply):
        if self.passive is None and self.active is None and self.data is None:
            return "425 Use PORT or PASV first."
        self.reply(start_reply)
        if not self.open_data():
            return "425 Failed to establish connection."
        view, offset = memoryview(content), 0
        while offset < len(view):
            # ABOR between chunks, as a real server notices it.
            if select.select([self.sock], [], [], 0)[0] and self.read_line().strip().upper().endswith("ABOR"):
                self.close_data(reset=True)
                return "426 Connection closed; transfer aborted.\\n226 ABOR successful."
            try:
                offset += self.data.send(view[offset: offset + 65536])
            except OSError:
                self.close_data()
                return "426 Connection closed; transfer aborted."
        self.close_data()
        return "226 Transfer complete."

    def cmd_LIST(self, arg, path, verb="LIST"):
        words = [w for w in arg.split(" ") if w and not w.startswith("-")]
        folder = join(self.cwd, words[0] if words else "")
        raw = self.script.listings.get((verb, folder))
        if raw is None and not self.is_dir(folder):
            return "550 No such folder."
        if raw is None:
            lines = []
            for entry, content in sorted(self.files.items()):
                if entry == "/" or parent(entry) != folder:
                    continue
                name, size = entry[len(folder.rstrip("/")) + 1:], 4096 if content is None else len(content)
                if verb == "MLSD":
                    facts = "type=dir;" if content is None else "type=file;size=%d;" % size
                    lines.append("%smodify=20230615120000; %s" % (facts, name))
                else:
                    mode = "drwxr-xr-x" if content is None else "-rw-r--r--"
                    lines.append("%s   1 owner    group %10d Jun 15  2023 %s" % (mode, size, name))
            raw = "".join(line + "\r\n" for line in lines).encode("latin-1")
        return self.transfer_out(raw, "150 Here comes the directory listing.")

    cmd_MLSD = lambda self, arg, path: self.cmd_LIST(arg, path, "MLSD")

    def cmd_REST(self, arg, path):
        if not arg.isdigit():
            return "501 Bad REST."
        self.rest = int(arg)
        return "350 Restart position accepted (%d)." % self.rest

    def cmd_RETR(self, arg, path):
        content, offset, self.rest = self.files.get(path), self.rest, 0
        if content is None:
            return "550 Failed to open file."
        return self.transfer_out(content[offset:], "150 Opening BINARY mode data connection (%d bytes)." % len(content))

    def cmd_STOR(self, arg, path):
        if not self.is_dir(parent(path)):
            return "553 Could not create file."
        if self.passive is None and self.active is None:
            return "425 Use PORT or PASV first."
        self.reply("150 Ok to send data.")
        if not self.open_data():
            return "425 Failed to establish connection."
        got = self.read_data()
        self.close_data()
        old, offset, self.rest = self.files.get(path) or b"", self.rest, 0
        self.files[path] = old[:offset] + got
        return "226 Transfer complete."

    def cmd_SIZE(self, arg, path):
        content = self.files.get(path)
        return "550 Could not get file size." if content is None else "213 %d" % len(content)

    def cmd_MDTM(self, arg, path):
        return "213 20230615120000" if path in self.files else "550 Could not get file modification time."

    def cmd_DELE(self, arg, path):
        if self.files.get(path) is None:
            return "550 Delete operation failed."
        del self.files[path]
        return "250 Delete operation successful."

    def cmd_MKD(self, arg, path):
        if path in self.files or not self.is_dir(parent(path)):
            return "550 Create directory operation failed."
        self.files[path] = None
        return '257 "%s" created' % path

    def cmd_RMD(self, arg, path):
        if path == "/" or not self.is_dir(path) or any(p != path and parent(p) == path for p in self.files):
            return "550 Remove directory operation failed."
        del self.files[path]
        return "250 Remove directory operation successful."

    def cmd_RNFR(self, arg, path):
        self.rename_from = path if path in self.files else None
        return "350 Ready for RNTO." if self.rename_from else "550 RNFR command failed."

    def cmd_RNTO(self, arg, path):
        source, self.rename_from = self.rename_from, None
        if source is None:
            return "503 RNFR required first."
        for old in [p for p in self.files if p == source or p.startswith(source.rstrip("/") + "/")]:
            self.files[path + old[len(source):]] = self.files.pop(old)
        return "250 Rename successful."

    def cmd_ABOR(self, arg, path):
        self.close_data()
        return "225 No transfer to ABOR."


class Server:
    def __init__(self, args, script):
        self.script, self.lock, self.sessions, self.pasv_next = script, threading.Lock(), 0, 0
        self.pasv = list(range(args.pasv_min, args.pasv_max + 1)) if args.pasv_min else [0]
        self.log_file = open(args.log, "a", buffering=1, encoding="utf-8") if args.log else None
        self.sock = socket.socket(socket.AF_INET6 if ":" in args.host else socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((args.host, args.port))
        self.sock.listen(64)

    def log(self, text):
        if self.log_file:
            with self.lock:
                self.log_file.write(text + "\n")

    def passive_ports(self):
        with self.lock:
            start, self.pasv_next = self.pasv_next, (self.pasv_next + 1) % len(self.pasv)
        return self.pasv[start:] + self.pasv[:start]

    def serve(self):
        while True:
            conn, _ = self.sock.accept()
            self.sessions += 1
            threading.Thread(target=Session(self, conn, self.sessions).run, daemon=True).start()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--pasv-min", type=int, default=0)
    p.add_argument("--pasv-max", type=int, default=0)
    p.add_argument("--scenario", choices=sorted(SCENARIOS))
    p.add_argument("--script")
    p.add_argument("--log")
    args = p.parse_args()
    text = SCENARIOS[args.scenario] if args.scenario else open(args.script, encoding="latin-1").read() if args.script else ""
    server = Server(args, Script(text))
    print("listening", flush=True)
    server.serve()


if __name__ == "__main__":
    main()
