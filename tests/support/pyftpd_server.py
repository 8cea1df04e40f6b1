#!/usr/bin/python3
"""pyftpdlib server for the tests and benchmarks (started by FtpServerFixture).

Runs in the foreground until killed. One user with full rights whose "/" is --root. Options
cover what the tests need beyond a stock server: explicit or implicit TLS, a delay before every
reply (round-trip benchmarks), idle and passive-port time-outs (a real 421), FEAT without UTF8,
a limit of sessions per address.
"""

import argparse
import logging
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, PassiveDTP
from pyftpdlib.servers import ThreadedFTPServer


def main():
    p = argparse.ArgumentParser()
    for name in ("--host", "--root", "--user", "--password", "--cert", "--log"):
        p.add_argument(name)
    for name in ("--port", "--pasv-min", "--pasv-max", "--reply-delay-ms", "--timeout", "--passive-timeout",
                 "--max-cons-per-ip"):
        p.add_argument(name, type=int, default=0)  # 0: pyftpdlib's default
    p.add_argument("--tls", choices=("none", "explicit", "implicit"), default="none")
    p.add_argument("--no-utf8", action="store_true")
    args = p.parse_args()
    logging.basicConfig(filename=args.log, level=logging.DEBUG if args.log else logging.WARNING,
                        format="%(asctime)s %(message)s")
    # DEBUG gives the protocol lines; the library's "[debug]" chatter (a line per TLS read) would drown them.
    for h in logging.getLogger().handlers:
        h.addFilter(lambda record: not str(record.msg).startswith("[debug]"))

    if args.tls != "none":
        from pyftpdlib.handlers import TLS_FTPHandler  # needs python3-openssl
    base = FTPHandler if args.tls == "none" else TLS_FTPHandler

    class Handler(base):
        def respond(self, resp, logfun=logging.debug):
            time.sleep(args.reply_delay_ms / 1000.0)
            super().respond(resp, logfun)

        def push(self, data):
            # Without UTF8 in FEAT clients fall back to their local code page.
            super().push(data.replace(" UTF8\r\n", "") if args.no_utf8 else data)

        if args.tls == "implicit":
            # The handshake comes first, the greeting follows it; data connections are protected
            # from the start.
            def handle(self):
                self._implicit_greeted = False
                self.secure_connection(self.ssl_context)

            def handle_ssl_established(self):
                if not self._implicit_greeted:
                    self._implicit_greeted = self._pbsz = self._prot = True
                    FTPHandler.handle(self)

            def flush_account(self):
                super().flush_account()
                self._pbsz = self._prot = True

    if args.tls != "none":
        Handler.certfile, Handler.tls_control_required, Handler.tls_data_required = args.cert, True, True
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.passive_ports = range(args.pasv_min, args.pasv_max + 1)
    Handler.permit_foreign_addresses = False
    Handler.banner = "pyftpdlib test server ready."
    Handler.auth_failed_timeout = 0.1  # not the 3 s pause after a wrong password
    Handler.timeout = args.timeout or Handler.timeout
    # The threaded server binds a passive port with SO_REUSEADDR and listens only afterwards: two
    # sessions choosing ports at the same moment could take the same one, and the second would
    # close silently. A port is bound and listened on by one session at a time.
    choosing = threading.Lock()

    class ShortPassiveDTP(PassiveDTP):
        # An unused passive port gets an unasked 421 after this time-out.
        timeout = args.passive_timeout or PassiveDTP.timeout
        _holding = False

        def bind(self, address):
            if not self._holding:
                choosing.acquire()
                self._holding = True
            try:
                return PassiveDTP.bind(self, address)
            except BaseException:
                self._holding = False
                choosing.release()
                raise

        def listen(self, backlog):
            try:
                return PassiveDTP.listen(self, backlog)
            finally:
                if self._holding:
                    self._holding = False
                    choosing.release()

    Handler.passive_dtp = ShortPassiveDTP
    # Large buffers so the benchmarks measure the client, not the server's 64 KiB default.
    Handler.dtp_handler.ac_in_buffer_size = Handler.dtp_handler.ac_out_buffer_size = 262144

    # One thread per connection, as each connection waits on its own over a real network. The
    # single-threaded server also loses track of active data connections when several clients
    # open them at the same moment: the transfer never ends.
    server = ThreadedFTPServer((args.host, args.port), Handler)
    server.max_cons, server.max_cons_per_ip = 256, args.max_cons_per_ip
    print("listening", flush=True)
    # A bounded poll: with none, pyftpdlib's idle timer can wait for socket activity that never comes.
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()
