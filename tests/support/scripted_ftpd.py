#!/usr/bin/python3
r"""A scripted FTP server for what real servers do not do on demand.

Usage:
  scripted_ftpd.py --port P [--host 127.0.0.1] [--pasv-min A --pasv-max B] [--log FILE]
                   (--scenario NAME | --script FILE)
  scripted_ftpd.py --list-scenarios

Without rules it behaves as a small, byte-transparent FTP server over an in-memory file system
(USER, PASS, FEAT, OPTS, SYST, PWD, CWD, CDUP, TYPE, MODE, STRU, PASV, EPSV, PORT, EPRT, LIST,
NLST, MLSD, RETR, STOR, APPE, REST, SIZE, MDTM, DELE, MKD, RMD, RNFR, RNTO, SITE, STAT, NOOP,
ABOR, QUIT). A script changes what it does. One directive a line; "#" starts a comment line:

  greeting <reply>          the greeting (default "220 Scripted FTP server ready.")
  login any                 any user and password (the default)
  login <user> <password>   only this pair: another user gets 530 at USER, a wrong password 530
  feat <reply> | feat none  the FEAT reply; "none" answers 500
  disable <VERB> ...        these commands get "500 Unknown command."
  pasv-address <a.b.c.d>    the address PASV replies name (default: the server's own)
  dir <path>                a folder
  file <path> <size>        a file of <size> bytes of a fixed pattern (byte i is i % 251)
  file <path> text <bytes>  a file holding <bytes>
  list <path> <bytes>       the raw LIST output for a folder (default: made from its entries)
  mlsd <path> <bytes>       the raw MLSD output for a folder (default: made from its entries)
  on <EVENTS> [<n>]         a block of actions, ended by "end", run instead of the default for
  ...                       every (or only the n-th, counted over all connections) event. EVENTS
  end                       is CONNECT (the greeting), "*" (any command) or verbs joined by ","

Actions:
  reply <reply>             the lines of <reply>, each sent with CR LF
  raw <bytes>               exactly <bytes>
  repeat <n> <bytes>        <bytes> n times (huge replies, over-long lines)
  sleep <ms>
  default                   what the server does for this command without a rule
  close                     closes the control connection (and a data connection) at once
  reset                     the same with a TCP reset
  silent                    never answers again; reads and drops until the client leaves
  accept-data               opens the data connection prepared by PASV/EPSV/PORT/EPRT
  data <bytes> | data-repeat <n> <bytes>    sends on the data connection (opened if needed)
  data-file [<limit>]       sends the file the command names (its first <limit> bytes)
  data-read <n> | data-read all             reads from the data connection
  data-close | data-reset | data-hold       ends the data connection, or leaves it open

<reply> and <bytes> take escapes: \r \n \t \0 \\ \xHH; in a <reply> "\n" separates lines.
Every command received is written to the log as "C<connection> <line>" (escaped), every
connection as "CONNECT <connection>".
"""

import argparse
import select
import socket
import sys
import threading
import time

# ---------------------------------------------------------------------------------------------
# Named scenarios: scripts in the language above, used by the engine's fault tests and kept
# here so later tests can reuse them by name.

COMMON_FILES = """
dir /pub
file /hello.txt text Hello, world!\\n
file /big.bin 1048576
file /pub/readme.txt text readme\\n
"""

SCENARIOS = {
    "normal": COMMON_FILES,
    "silent": """
on CONNECT
  silent
end
""",
    "silent-after-greeting": """
on *
  silent
end
""",
    "silent-after-login": COMMON_FILES
    + """
on CWD,CDUP,MKD,RMD,DELE,RNFR,SIZE,MDTM,RETR,STOR,LIST,NLST,MLSD,SITE,STAT
  silent
end
""",
    "421-greeting": """
on CONNECT
  reply 421 Too many users, try again later.
  close
end
""",
    "421-after-login": COMMON_FILES
    + """
on CWD,CDUP,MKD,RMD,DELE,RNFR,SIZE,MDTM,RETR,STOR,LIST,NLST,MLSD,SITE,STAT
  reply 421 Idle timeout, closing control connection.
  close
end
""",
    "421-mid-download": COMMON_FILES
    + """
on RETR
  reply 150 Opening BINARY mode data connection.
  data-file 300000
  reply 421 Service shutting down.
  close
end
""",
    "drop-mid-download": COMMON_FILES
    + """
on RETR
  reply 150 Opening BINARY mode data connection.
  data-file 300000
  reset
end
""",
    "drop-data-mid-download": COMMON_FILES
    + """
on RETR
  reply 150 Opening BINARY mode data connection.
  data-file 300000
  data-close
  reply 426 Connection closed; transfer aborted.
end
""",
    "short-download": COMMON_FILES
    + """
on RETR
  reply 150 Opening BINARY mode data connection.
  data-file 300000
  data-close
  reply 226 Transfer complete.
end
""",
    "short-download-announced": COMMON_FILES
    + """
disable SIZE
on RETR
  reply 150 Opening BINARY mode data connection for big.bin (1048576 bytes).
  data-file 300000
  data-close
  reply 226 Transfer complete.
end
""",
    "stall-mid-download": COMMON_FILES
    + """
on RETR
  reply 150 Opening BINARY mode data connection.
  data-file 300000
  data-hold
  silent
end
""",
    "silent-after-transfer": COMMON_FILES
    + """
on RETR
  reply 150 Opening BINARY mode data connection.
  data-file
  data-close
  silent
end
""",
    "drop-mid-upload": COMMON_FILES
    + """
on STOR
  reply 150 Ok to send data.
  data-read 65536
  reset
end
""",
    "multiline-odd": COMMON_FILES
    + r"""
greeting 220-Welcome to the odd server\n\n220-\n   indented line\n 220 padded line\n220 Ready.
feat 211-Features:\n\n MDTM\n211-not the end\n200 not the end either\n2110 nor this\n 211 padded\n SIZE\n EPSV\n PASV\n211 End
on STAT
  reply 211-Status of the odd server\n\n   \n211-still going\n226 another code inside\n211 End of status
end
on SITE
  raw 214-Lone LF lines follow\n214-second\n214 End\r\n
end
""",
    "long-reply-line": COMMON_FILES
    + """
on STAT
  raw 211\\x20
  repeat 204800 x
  raw \\r\\n
end
""",
    "huge-reply": COMMON_FILES
    + """
on STAT
  raw 211-start\\r\\n
  repeat 40000 211-xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\\r\\n
  raw 211 End\\r\\n
end
""",
    "huge-greeting": """
on CONNECT
  raw 220-start\\r\\n
  repeat 40000 220-xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\\r\\n
  raw 220 Ready\\r\\n
end
""",
    "hostile-names": r"""
file /ok.txt text ok
mlsd / type=file;size=2; ok.txt\r\ntype=file;size=1; ../x\r\ntype=file;size=1; a/b\r\ntype=dir; .\r\ntype=dir; ..\r\ntype=cdir; /\r\ntype=pdir; /\r\ntype=file;size=1; /etc/passwd\r\ntype=file;size=1; cr\rname\r\ntype=file;size=1; nul\0name\r\ntype=file;size=1; \r\ntype=file;size=1;\r\ntype=file;size=1; ..\r\ntype=dir; sub\r\n
""",
    "hostile-names-list": r"""
disable MLSD MLST
feat 211-Features:\n SIZE\n MDTM\n211 End
file /ok.txt text ok
list / -rw-r--r--   1 u g   2 Jun 15  2023 ok.txt\r\n-rw-r--r--   1 u g   1 Jun 15  2023 ../x\r\n-rw-r--r--   1 u g   1 Jun 15  2023 a/b\r\ndrwxr-xr-x   2 u g 4096 Jun 15  2023 .\r\ndrwxr-xr-x   2 u g 4096 Jun 15  2023 ..\r\n-rw-r--r--   1 u g   1 Jun 15  2023 /etc/passwd\r\n-rw-r--r--   1 u g   1 Jun 15  2023 cr\rname\r\n-rw-r--r--   1 u g   1 Jun 15  2023 nul\0name\r\n-rw-r--r--   1 u g   1 Jun 15  2023 \r\ndrwxr-xr-x   2 u g 4096 Jun 15  2023 sub\r\n
""",
    "long-listing-line": r"""
file /ok.txt text ok
on MLSD,LIST
  reply 150 Here comes the listing.
  data type=file;size=2; ok.txt\r\ntype=file;size=1;\x20
  data-repeat 70000 n
  data \r\ntype=file;size=2; after.txt\r\n
  data-close
  reply 226 Done.
end
""",
    "dos-listing": r"""
disable MLSD MLST
feat 211-Features:\n SIZE\n MDTM\n211 End
dir /folder
file /file.txt 1234
file /empty\x20file.txt text
list / 06-15-23  08:19PM       <DIR>          folder\r\n06-15-23  08:19PM                 1234 file.txt\r\n01-02-2024  11:05AM                    0 empty file.txt\r\n
""",
    "no-feat": r"""
feat none
disable MLSD MLST OPTS
file /\x83e\x83X\x83g.txt text sjis name
file /plain.txt text plain
list / -rw-r--r--   1 u g   9 Jun 15  2023 \x83e\x83X\x83g.txt\r\n-rw-r--r--   1 u g   5 Jun 15  2023 plain.txt\r\n
""",
    "pasv-bogus-address": COMMON_FILES
    + """
disable EPSV EPRT
pasv-address 192.0.2.1
""",
    "preliminary-replies": COMMON_FILES
    + r"""
on CONNECT
  reply 120 Service ready in a moment.
  sleep 200
  reply 220 Ready now.
end
on RETR
  accept-data
  reply 125 Data connection already open; transfer starting.
  data-file
  data-close
  reply 226 Transfer complete.
end
""",
}


# ---------------------------------------------------------------------------------------------
# The script language.


def unescape(text):
    """Turns the escapes of a script into bytes; other characters stand for themselves."""
    out = bytearray()
    i = 0
    raw = text.encode("latin-1", "replace") if isinstance(text, str) else text
    while i < len(raw):
        c = raw[i]
        if c == 0x5C and i + 1 < len(raw):  # backslash
            n = chr(raw[i + 1])
            if n == "r":
                out += b"\r"
            elif n == "n":
                out += b"\n"
            elif n == "t":
                out += b"\t"
            elif n == "0":
                out += b"\0"
            elif n == "\\":
                out += b"\\"
            elif n == "x" and i + 3 < len(raw) and all(chr(h) in "0123456789abcdefABCDEF" for h in raw[i + 2 : i + 4]):
                out.append(int(raw[i + 2 : i + 4], 16))
                i += 4
                continue
            else:
                out += bytes([c, raw[i + 1]])
            i += 2
            continue
        out.append(c)
        i += 1
    return bytes(out)


def reply_bytes(text):
    """A <reply>: lines separated by "\n" escapes, each sent with CR LF."""
    return b"".join(line + b"\r\n" for line in unescape(text).split(b"\n"))


def pattern(size):
    block = bytes(i % 251 for i in range(251 * 64))
    reps = size // len(block) + 1
    return (block * reps)[:size]


class Script:
    def __init__(self, text):
        self.greeting = "220 Scripted FTP server ready."
        self.login = None  # None: any
        self.feat = None  # None: default, "": none
        self.disabled = set()
        self.pasv_address = None
        self.files = {"/": None}  # path -> bytes, None for folders
        self.listings = {}  # ("LIST"|"MLSD", folder) -> bytes
        self.rules = []  # (events set, nth or None, [actions])
        self.counters = {}
        self.lock = threading.Lock()
        self.parse(text)

    def parse(self, text):
        block = None
        for number, line in enumerate(text.splitlines(), 1):
            stripped = line.strip()
            if not stripped or stripped.startswith("#"):
                continue
            word, _, rest = stripped.partition(" ")
            if block is not None:
                if word == "end":
                    self.rules.append(block)
                    block = None
                else:
                    # Actions keep their trailing blanks; "\x20" says the same visibly.
                    body = line.lstrip()
                    w, _, r = body.partition(" ")
                    block[2].append((w, r))
                continue
            if word == "on":
                parts = rest.split()
                events = set(p.upper() for p in parts[0].split(","))
                nth = int(parts[1]) if len(parts) > 1 else None
                block = (events, nth, [])
            elif word == "greeting":
                self.greeting = rest
            elif word == "login":
                self.login = None if rest.strip() == "any" else tuple(rest.split(" ", 1))
            elif word == "feat":
                self.feat = "" if rest.strip() == "none" else rest
            elif word == "disable":
                self.disabled.update(v.upper() for v in rest.split())
            elif word == "pasv-address":
                self.pasv_address = rest.strip()
            elif word == "dir":
                self.add_dir(unescape(rest.strip()).decode("latin-1"))
            elif word == "file":
                path, _, spec = rest.partition(" ")
                path = unescape(path).decode("latin-1")
                kind, _, content = spec.partition(" ")
                data = unescape(content) if kind == "text" else pattern(int(kind))
                self.add_dir(parent(path))
                self.files[path] = data
            elif word in ("list", "mlsd"):
                path, _, content = rest.partition(" ")
                self.listings[(word.upper(), unescape(path).decode("latin-1"))] = unescape(content)
            else:
                raise SystemExit("script line %d: unknown directive %r" % (number, word))
        if block is not None:
            raise SystemExit("script: a block is not ended by 'end'")

    def add_dir(self, path):
        while path not in self.files:
            self.files[path] = None
            path = parent(path)

    def rule_for(self, event):
        """The actions for this occurrence of `event`, or None for the default."""
        with self.lock:
            count = self.counters.get(event, 0) + 1
            self.counters[event] = count
            general = None
            for events, nth, actions in self.rules:
                if event in events or (event != "CONNECT" and "*" in events):
                    if nth == count:
                        return actions
                    if nth is None and general is None:
                        general = actions
            return general


def parent(path):
    if path == "/":
        return "/"
    p = path.rstrip("/").rsplit("/", 1)[0]
    return p or "/"


def join(cwd, name):
    if not name:
        return cwd
    path = name if name.startswith("/") else cwd.rstrip("/") + "/" + name
    parts = []
    for p in path.split("/"):
        if p in ("", "."):
            continue
        if p == "..":
            if parts:
                parts.pop()
            continue
        parts.append(p)
    return "/" + "/".join(parts)


# ---------------------------------------------------------------------------------------------
# One control connection.


class Closed(Exception):
    pass


class Session:
    def __init__(self, server, sock, number):
        self.server = server
        self.script = server.script
        self.sock = sock
        self.number = number
        self.buffer = b""
        self.cwd = "/"
        self.user = None
        self.logged_in = False
        self.rest = 0
        self.rename_from = None
        self.passive = None  # listening socket
        self.active = None  # (host, port)
        self.data = None  # connected data socket

    # --- plumbing

    def log(self, text):
        self.server.log(text)

    def send(self, data):
        try:
            self.sock.sendall(data)
        except OSError:
            raise Closed()

    def reply(self, text):
        self.send(reply_bytes(text))

    def read_line(self):
        while b"\n" not in self.buffer:
            try:
                chunk = self.sock.recv(65536)
            except OSError:
                chunk = b""
            if not chunk:
                raise Closed()
            self.buffer += chunk
        line, _, self.buffer = self.buffer.partition(b"\n")
        return line.rstrip(b"\r").decode("latin-1")

    def close_data(self, reset=False):
        if self.data is not None:
            if reset:
                self.data.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\1\0\0\0\0\0\0\0")
            try:
                if not reset:
                    self.data.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self.data.close()
            self.data = None
        if self.passive is not None:
            self.passive.close()
            self.passive = None

    def open_data(self):
        if self.data is not None:
            return True
        try:
            if self.passive is not None:
                self.passive.settimeout(10)
                self.data, _ = self.passive.accept()
                self.passive.close()
                self.passive = None
            elif self.active is not None:
                self.data = socket.create_connection(self.active, timeout=10)
                self.active = None
            else:
                return False
            self.data.settimeout(30)
            return True
        except OSError:
            self.close_data()
            return False

    # --- the session

    def run(self):
        self.log("CONNECT %d" % self.number)
        try:
            actions = self.script.rule_for("CONNECT")
            if actions is None:
                self.reply(self.script.greeting)
            else:
                self.perform(actions, "", "")
            while True:
                line = self.read_line()
                self.log("C%d %s" % (self.number, escape(line)))
                verb, _, arg = line.partition(" ")
                verb = verb.upper()
                actions = self.script.rule_for(verb)
                if actions is None:
                    self.default(verb, arg)
                else:
                    self.perform(actions, verb, arg)
        except Closed:
            pass
        finally:
            self.close_data()
            try:
                self.sock.close()
            except OSError:
                pass

    def perform(self, actions, verb, arg):
        for name, value in actions:
            if name == "reply":
                self.reply(value)
            elif name == "raw":
                self.send(unescape(value))
            elif name == "repeat":
                count, _, what = value.partition(" ")
                chunk = unescape(what)
                n = int(count)
                step = max(1, 65536 // max(1, len(chunk)))
                while n > 0:
                    self.send(chunk * min(step, n))
                    n -= step
            elif name == "sleep":
                time.sleep(int(value) / 1000.0)
            elif name == "default":
                self.default(verb, arg)
            elif name == "close":
                self.close_data()
                self.sock.close()
                raise Closed()
            elif name == "reset":
                self.close_data(reset=True)
                self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\1\0\0\0\0\0\0\0")
                self.sock.close()
                raise Closed()
            elif name == "silent":
                self.silent()
            elif name == "accept-data":
                self.open_data()
            elif name in ("data", "data-repeat"):
                if not self.open_data():
                    continue
                if name == "data":
                    self.send_data(unescape(value))
                else:
                    count, _, what = value.partition(" ")
                    self.send_data(unescape(what) * int(count))
            elif name == "data-file":
                if not self.open_data():
                    continue
                content = self.script.files.get(join(self.cwd, arg)) or b""
                if value.strip():
                    content = content[: int(value)]
                self.send_data(content)
            elif name == "data-read":
                if not self.open_data():
                    continue
                self.read_data(None if value.strip() == "all" else int(value))
            elif name == "data-close":
                self.close_data()
            elif name == "data-reset":
                self.close_data(reset=True)
            elif name == "data-hold":
                pass
            else:
                raise SystemExit("unknown action %r" % name)

    def silent(self):
        self.log("C%d (silent)" % self.number)
        self.sock.settimeout(None)
        while True:
            try:
                if not self.sock.recv(65536):
                    break
            except OSError:
                break
        raise Closed()

    def send_data(self, content):
        try:
            self.data.sendall(content)
        except OSError:
            pass

    def read_data(self, limit):
        got = b""
        while limit is None or len(got) < limit:
            try:
                chunk = self.data.recv(65536 if limit is None else min(65536, limit - len(got)))
            except OSError:
                break
            if not chunk:
                break
            got += chunk
        return got

    # --- the default behaviour

    def default(self, verb, arg):
        if verb in self.script.disabled:
            return self.reply("500 Unknown command.")
        handler = getattr(self, "cmd_" + verb, None)
        if handler is None:
            return self.reply("500 Unknown command.")
        if not self.logged_in and verb not in ("USER", "PASS", "QUIT", "FEAT", "SYST", "OPTS", "HELP", "NOOP"):
            return self.reply("530 Please login with USER and PASS.")
        handler(arg)

    def cmd_USER(self, arg):
        self.user = arg
        self.logged_in = False
        if self.script.login is not None and arg != self.script.login[0]:
            return self.reply("530 This user may not log in.")
        self.reply("331 Please specify the password.")

    def cmd_PASS(self, arg):
        if self.user is None:
            return self.reply("503 Login with USER first.")
        if self.script.login is not None and arg != self.script.login[1]:
            return self.reply("530 Login incorrect.")
        self.logged_in = True
        self.reply("230 Login successful.")

    def cmd_QUIT(self, arg):
        self.reply("221 Goodbye.")
        self.close_data()
        self.sock.close()
        raise Closed()

    def cmd_FEAT(self, arg):
        if self.script.feat == "":
            return self.reply("500 Unknown command.")
        if self.script.feat is not None:
            return self.reply(self.script.feat)
        self.reply(
            "211-Features:\\n EPRT\\n EPSV\\n MDTM\\n MLST type*;size*;modify*;\\n PASV\\n"
            " REST STREAM\\n SIZE\\n UTF8\\n211 End"
        )

    def cmd_OPTS(self, arg):
        self.reply("200 Always in UTF8 mode." if arg.upper().startswith("UTF8") else "501 Option not understood.")

    def cmd_SYST(self, arg):
        self.reply("215 UNIX Type: L8")

    def cmd_NOOP(self, arg):
        self.reply("200 NOOP ok.")

    def cmd_HELP(self, arg):
        self.reply("214-Commands:\\n USER PASS LIST RETR STOR\\n214 Help OK.")

    def cmd_SITE(self, arg):
        self.reply("200 SITE command ok.")

    def cmd_STAT(self, arg):
        self.reply("211-Status:\\n Scripted server\\n211 End of status")

    def cmd_PWD(self, arg):
        self.reply('257 "%s" is the current directory' % self.cwd.replace('"', '""'))

    cmd_XPWD = cmd_PWD

    def cmd_CWD(self, arg):
        path = join(self.cwd, arg)
        if self.script.files.get(path, b"") is not None:
            return self.reply("550 Failed to change directory.")
        self.cwd = path
        self.reply("250 Directory successfully changed.")

    def cmd_CDUP(self, arg):
        self.cwd = parent(self.cwd)
        self.reply("250 Directory successfully changed.")

    def cmd_TYPE(self, arg):
        self.reply("200 Switching to %s mode." % ("ASCII" if arg.upper().startswith("A") else "Binary"))

    def cmd_MODE(self, arg):
        self.reply("200 Mode set to S." if arg.upper() == "S" else "504 Bad MODE command.")

    def cmd_STRU(self, arg):
        self.reply("200 Structure set to F." if arg.upper() == "F" else "504 Bad STRU command.")

    def listen(self):
        self.close_data()
        host = self.sock.getsockname()[0]
        family = socket.AF_INET6 if ":" in host else socket.AF_INET
        for port in self.server.passive_ports():
            s = socket.socket(family, socket.SOCK_STREAM)
            try:
                s.bind((host, port))
                s.listen(1)
                self.passive = s
                return s.getsockname()[1]
            except OSError:
                s.close()
        return None

    def cmd_PASV(self, arg):
        port = self.listen()
        if port is None:
            return self.reply("425 Cannot open a passive port.")
        address = self.script.pasv_address or self.sock.getsockname()[0]
        if ":" in address:
            address = "127.0.0.1"
        self.reply(
            "227 Entering Passive Mode (%s,%d,%d)." % (address.replace(".", ","), port // 256, port % 256)
        )

    def cmd_EPSV(self, arg):
        if arg.upper() == "ALL":
            return self.reply("200 EPSV ALL ok.")
        port = self.listen()
        if port is None:
            return self.reply("425 Cannot open a passive port.")
        self.reply("229 Entering Extended Passive Mode (|||%d|)." % port)

    def cmd_PORT(self, arg):
        try:
            n = [int(x) for x in arg.split(",")]
            self.close_data()
            # The data connection goes to the client, whatever address it names.
            self.active = (self.sock.getpeername()[0], n[4] * 256 + n[5])
            self.reply("200 PORT command successful.")
        except (ValueError, IndexError):
            self.reply("501 Illegal PORT command.")

    def cmd_EPRT(self, arg):
        try:
            d = arg[0]
            _, proto, address, port, _ = arg.split(d)
            self.close_data()
            self.active = (self.sock.getpeername()[0], int(port))
            self.reply("200 EPRT command successful.")
        except (ValueError, IndexError):
            self.reply("501 Illegal EPRT command.")

    def transfer_out(self, content, start_reply="150 Here comes the data."):
        if self.passive is None and self.active is None and self.data is None:
            return self.reply("425 Use PORT or PASV first.")
        self.reply(start_reply)
        if not self.open_data():
            return self.reply("425 Failed to establish connection.")
        view = memoryview(content)
        offset = 0
        while offset < len(view):
            # ABOR between chunks, as a real server notices it.
            readable, _, _ = select.select([self.sock], [], [], 0)
            if readable:
                line = self.read_line()
                self.log("C%d %s" % (self.number, escape(line)))
                if line.strip().upper().endswith("ABOR"):
                    self.close_data(reset=True)
                    self.reply("426 Connection closed; transfer aborted.")
                    return self.reply("226 ABOR successful.")
            try:
                offset += self.data.send(view[offset : offset + 65536])
            except OSError:
                self.close_data()
                return self.reply("426 Connection closed; transfer aborted.")
        self.close_data()
        self.reply("226 Transfer complete.")

    def entries(self, folder):
        prefix = folder.rstrip("/") + "/"
        for path in sorted(self.script.files):
            if path != "/" and parent(path) == folder and path.startswith(prefix):
                yield path[len(prefix) :], self.script.files[path]

    def listing(self, verb, arg):
        words = [w for w in arg.split(" ") if w and not w.startswith("-")]
        folder = join(self.cwd, words[0] if words else "")
        raw = self.script.listings.get((verb, folder))
        if raw is not None:
            return raw
        if self.script.files.get(folder, b"") is not None:
            return None
        lines = []
        for name, content in self.entries(folder):
            if verb == "MLSD":
                fact = "type=dir;" if content is None else "type=file;size=%d;" % len(content)
                lines.append("%smodify=20230615120000; %s" % (fact, name))
            elif verb == "NLST":
                lines.append(name)
            else:
                mode = "drwxr-xr-x" if content is None else "-rw-r--r--"
                size = 4096 if content is None else len(content)
                lines.append("%s   1 owner    group %10d Jun 15  2023 %s" % (mode, size, name))
        return "".join(l + "\r\n" for l in lines).encode("latin-1")

    def cmd_LIST(self, arg):
        data = self.listing("LIST", arg)
        if data is None:
            return self.reply("550 No such folder.")
        self.transfer_out(data, "150 Here comes the directory listing.")

    def cmd_NLST(self, arg):
        data = self.listing("NLST", arg)
        if data is None:
            return self.reply("550 No such folder.")
        self.transfer_out(data, "150 Here comes the directory listing.")

    def cmd_MLSD(self, arg):
        data = self.listing("MLSD", arg)
        if data is None:
            return self.reply("550 No such folder.")
        self.transfer_out(data, "150 Here comes the directory listing.")

    def cmd_REST(self, arg):
        try:
            self.rest = int(arg)
            self.reply("350 Restart position accepted (%d)." % self.rest)
        except ValueError:
            self.reply("501 Bad REST.")

    def cmd_RETR(self, arg):
        content = self.script.files.get(join(self.cwd, arg))
        if content is None:
            return self.reply("550 Failed to open file.")
        offset, self.rest = self.rest, 0
        self.transfer_out(content[offset:], "150 Opening BINARY mode data connection (%d bytes)." % len(content))

    def store(self, arg, append):
        path = join(self.cwd, arg)
        if self.script.files.get(parent(path), b"") is not None:
            return self.reply("553 Could not create file.")
        if self.passive is None and self.active is None:
            return self.reply("425 Use PORT or PASV first.")
        self.reply("150 Ok to send data.")
        if not self.open_data():
            return self.reply("425 Failed to establish connection.")
        got = self.read_data(None)
        self.close_data()
        old = self.script.files.get(path) or b""
        offset, self.rest = self.rest, 0
        self.script.files[path] = old + got if append else old[:offset] + got
        self.reply("226 Transfer complete.")

    def cmd_STOR(self, arg):
        self.store(arg, False)

    def cmd_APPE(self, arg):
        self.store(arg, True)

    def cmd_SIZE(self, arg):
        content = self.script.files.get(join(self.cwd, arg))
        if content is None:
            return self.reply("550 Could not get file size.")
        self.reply("213 %d" % len(content))

    def cmd_MDTM(self, arg):
        if join(self.cwd, arg) not in self.script.files:
            return self.reply("550 Could not get file modification time.")
        self.reply("213 20230615120000")

    def cmd_DELE(self, arg):
        path = join(self.cwd, arg)
        if self.script.files.get(path) is None:
            return self.reply("550 Delete operation failed.")
        del self.script.files[path]
        self.reply("250 Delete operation successful.")

    def cmd_MKD(self, arg):
        path = join(self.cwd, arg)
        if path in self.script.files or self.script.files.get(parent(path), b"") is not None:
            return self.reply("550 Create directory operation failed.")
        self.script.files[path] = None
        self.reply('257 "%s" created' % path)

    def cmd_RMD(self, arg):
        path = join(self.cwd, arg)
        if path == "/" or self.script.files.get(path, b"") is not None or any(self.entries(path)):
            return self.reply("550 Remove directory operation failed.")
        del self.script.files[path]
        self.reply("250 Remove directory operation successful.")

    def cmd_RNFR(self, arg):
        path = join(self.cwd, arg)
        if path not in self.script.files:
            return self.reply("550 RNFR command failed.")
        self.rename_from = path
        self.reply("350 Ready for RNTO.")

    def cmd_RNTO(self, arg):
        if self.rename_from is None:
            return self.reply("503 RNFR required first.")
        source, self.rename_from = self.rename_from, None
        target = join(self.cwd, arg)
        moved = {}
        for path in list(self.script.files):
            if path == source or path.startswith(source.rstrip("/") + "/"):
                moved[target + path[len(source) :]] = self.script.files.pop(path)
        self.script.files.update(moved)
        self.reply("250 Rename successful.")

    def cmd_ABOR(self, arg):
        self.close_data()
        self.reply("225 No transfer to ABOR.")


def escape(line):
    return "".join(c if " " <= c < "\x7f" else "\\x%02x" % ord(c) for c in line)


class Server:
    def __init__(self, args, script):
        self.script = script
        self.pasv = list(range(args.pasv_min, args.pasv_max + 1)) if args.pasv_min else [0]
        self.pasv_next = 0
        self.log_file = open(args.log, "a", buffering=1, encoding="utf-8") if args.log else None
        self.lock = threading.Lock()
        self.sessions = 0
        family = socket.AF_INET6 if ":" in args.host else socket.AF_INET
        self.sock = socket.socket(family, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((args.host, args.port))
        self.sock.listen(64)

    def log(self, text):
        if self.log_file:
            with self.lock:
                self.log_file.write(text + "\n")

    def passive_ports(self):
        with self.lock:
            start = self.pasv_next
            self.pasv_next = (self.pasv_next + 1) % len(self.pasv)
        return [self.pasv[(start + i) % len(self.pasv)] for i in range(len(self.pasv))]

    def serve(self):
        while True:
            conn, _ = self.sock.accept()
            with self.lock:
                self.sessions += 1
                number = self.sessions
            threading.Thread(target=Session(self, conn, number).run, daemon=True).start()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int)
    p.add_argument("--pasv-min", type=int, default=0)
    p.add_argument("--pasv-max", type=int, default=0)
    p.add_argument("--scenario")
    p.add_argument("--script")
    p.add_argument("--log")
    p.add_argument("--list-scenarios", action="store_true")
    args = p.parse_args()
    if args.list_scenarios:
        print("\n".join(sorted(SCENARIOS)))
        return
    if args.scenario:
        if args.scenario not in SCENARIOS:
            raise SystemExit("unknown scenario %r; known: %s" % (args.scenario, ", ".join(sorted(SCENARIOS))))
        text = SCENARIOS[args.scenario]
    elif args.script:
        with open(args.script, encoding="latin-1") as f:
            text = f.read()
    else:
        text = ""
    if args.port is None:
        raise SystemExit("--port is required")
    server = Server(args, Script(text))
    sys.stdout.write("listening\n")
    sys.stdout.flush()
    server.serve()


if __name__ == "__main__":
    main()
