#!/usr/bin/python3
"""An HTTP CONNECT or SOCKS5 proxy for the proxy tests (started by ProxyFixture).

Usage: proxy_server.py --kind http|socks5 --port P [--host 127.0.0.1] [--user U --password W]
                       [--log FILE]

It writes one log line per event, so a test can tell that the traffic really went through it:
  ACCEPT <n>                  a client connected
  AUTH-FAIL <n>               the client's credentials were missing or wrong
  TUNNEL <n> <host>:<port>    a tunnel to <host>:<port> was opened
  REFUSED <n> <host>:<port>   the target could not be reached
With --user the HTTP proxy requires "Proxy-Authorization: Basic ..." and the SOCKS5 proxy the
user/password method (RFC 1929).
"""

import argparse
import base64
import socket
import struct
import sys
import threading


class Proxy:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.count = 0
        self.log_file = open(args.log, "a", buffering=1, encoding="utf-8") if args.log else None
        family = socket.AF_INET6 if ":" in args.host else socket.AF_INET
        self.sock = socket.socket(family, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((args.host, args.port))
        self.sock.listen(64)

    def log(self, text):
        if self.log_file:
            with self.lock:
                self.log_file.write(text + "\n")

    def serve(self):
        while True:
            conn, _ = self.sock.accept()
            with self.lock:
                self.count += 1
                n = self.count
            self.log("ACCEPT %d" % n)
            handler = self.http if self.args.kind == "http" else self.socks5
            threading.Thread(target=self.run, args=(handler, conn, n), daemon=True).start()

    def run(self, handler, conn, n):
        try:
            conn.settimeout(30)
            handler(conn, n)
        except (OSError, ValueError, struct.error):
            pass
        finally:
            conn.close()

    # --- HTTP CONNECT

    def http(self, conn, n):
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = conn.recv(4096)
            if not chunk or len(head) > 16384:
                return
            head += chunk
        head, _, rest = head.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        parts = lines[0].split()
        if len(parts) != 3 or parts[0] != "CONNECT":
            conn.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
            return
        if self.args.user is not None:
            expected = "Basic " + base64.b64encode(
                ("%s:%s" % (self.args.user, self.args.password)).encode("utf-8")
            ).decode("ascii")
            given = [l.split(":", 1)[1].strip() for l in lines[1:] if l.lower().startswith("proxy-authorization:")]
            if given != [expected]:
                self.log("AUTH-FAIL %d" % n)
                conn.sendall(
                    b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                    b'Proxy-Authenticate: Basic realm="ftptarvo-test"\r\nContent-Length: 0\r\n\r\n'
                )
                return
        host, _, port = parts[1].rpartition(":")
        target = self.open_target(host.strip("[]"), int(port), n)
        if target is None:
            conn.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
            return
        # A header line after the status line, as real proxies send, so clients must skip it.
        conn.sendall(b"HTTP/1.1 200 Connection established\r\nProxy-Agent: ftptarvo-test\r\n\r\n")
        if rest:
            target.sendall(rest)
        self.relay(conn, target)

    # --- SOCKS5 (RFC 1928, RFC 1929)

    def recv_exact(self, conn, size):
        data = b""
        while len(data) < size:
            chunk = conn.recv(size - len(data))
            if not chunk:
                raise ValueError("closed")
            data += chunk
        return data

    def socks5(self, conn, n):
        version, count = self.recv_exact(conn, 2)
        if version != 5:
            return
        methods = self.recv_exact(conn, count)
        wanted = 2 if self.args.user is not None else 0
        if wanted not in methods:
            if wanted == 2:
                self.log("AUTH-FAIL %d" % n)  # before the answer: the test reads the log after it
            conn.sendall(b"\x05\xff")
            return
        conn.sendall(bytes([5, wanted]))
        if wanted == 2:
            _, ulen = self.recv_exact(conn, 2)
            user = self.recv_exact(conn, ulen).decode("utf-8", "replace")
            (plen,) = self.recv_exact(conn, 1)
            password = self.recv_exact(conn, plen).decode("utf-8", "replace")
            if user != self.args.user or password != self.args.password:
                self.log("AUTH-FAIL %d" % n)
                conn.sendall(b"\x01\x01")
                return
            conn.sendall(b"\x01\x00")
        version, command, _, atyp = self.recv_exact(conn, 4)
        if atyp == 1:
            host = socket.inet_ntop(socket.AF_INET, self.recv_exact(conn, 4))
        elif atyp == 4:
            host = socket.inet_ntop(socket.AF_INET6, self.recv_exact(conn, 16))
        elif atyp == 3:
            (length,) = self.recv_exact(conn, 1)
            host = self.recv_exact(conn, length).decode("latin-1")
        else:
            conn.sendall(b"\x05\x08\x00\x01\0\0\0\0\0\0")
            return
        (port,) = struct.unpack("!H", self.recv_exact(conn, 2))
        if command != 1:
            conn.sendall(b"\x05\x07\x00\x01\0\0\0\0\0\0")  # only CONNECT
            return
        target = self.open_target(host, port, n)
        if target is None:
            conn.sendall(b"\x05\x05\x00\x01\0\0\0\0\0\0")
            return
        bound = target.getsockname()
        if target.family == socket.AF_INET6:
            reply = b"\x05\x00\x00\x04" + socket.inet_pton(socket.AF_INET6, bound[0])
        else:
            reply = b"\x05\x00\x00\x01" + socket.inet_pton(socket.AF_INET, bound[0])
        conn.sendall(reply + struct.pack("!H", bound[1]))
        self.relay(conn, target)

    # --- both

    def open_target(self, host, port, n):
        try:
            target = socket.create_connection((host, port), timeout=10)
        except OSError:
            self.log("REFUSED %d %s:%d" % (n, host, port))
            return None
        self.log("TUNNEL %d %s:%d" % (n, host, port))
        return target

    def relay(self, a, b):
        a.settimeout(None)
        b.settimeout(None)

        def pump(src, dst):
            try:
                while True:
                    data = src.recv(262144)
                    if not data:
                        break
                    dst.sendall(data)
            except OSError:
                pass
            try:
                dst.shutdown(socket.SHUT_WR)
            except OSError:
                pass

        t = threading.Thread(target=pump, args=(b, a), daemon=True)
        t.start()
        pump(a, b)
        t.join()
        b.close()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--kind", choices=("http", "socks5"), required=True)
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--user")
    p.add_argument("--password", default="")
    p.add_argument("--log")
    args = p.parse_args()
    proxy = Proxy(args)
    sys.stdout.write("listening\n")
    sys.stdout.flush()
    proxy.serve()


if __name__ == "__main__":
    main()
