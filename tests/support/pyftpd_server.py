#!/usr/bin/python3
"""pyftpdlib server for the tests and benchmarks (started by FtpServerFixture).

Runs in the foreground until killed. One user with full rights whose "/" is --root. Options
cover what the tests need beyond a stock server: explicit or implicit TLS, a delay before every
reply (round-trip benchmarks), an idle time-out (a real 421), and FEAT without UTF8.
"""

import argparse
import logging
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def build_handler(args):
    base = FTPHandler
    if args.tls != "none":
        from pyftpdlib.handlers import TLS_FTPHandler  # needs python3-openssl

        base = TLS_FTPHandler

    delay = args.reply_delay_ms / 1000.0
    no_utf8 = args.no_utf8
    implicit = args.tls == "implicit"

    class Handler(base):
        def respond(self, resp, logfun=logging.debug):
            if delay > 0:
                time.sleep(delay)
            super().respond(resp, logfun)

        def ftp_FEAT(self, line):
            if not no_utf8:
                return super().ftp_FEAT(line)
            # Same list as the base class minus UTF8, so clients fall back to their local code page.
            features = {"TVFS"}
            features.update(f for f in ("EPRT", "EPSV", "MDTM", "MFMT", "SIZE") if f in self.proto_cmds)
            features.update(self._extra_feats)
            if "MLST" in self.proto_cmds or "MLSD" in self.proto_cmds:
                facts = "".join(f + ("*;" if f in self._current_facts else ";") for f in self._available_facts)
                features.add("MLST " + facts)
            if "REST" in self.proto_cmds:
                features.add("REST STREAM")
            self.push("211-Features supported:\r\n")
            self.push("".join(" %s\r\n" % f for f in sorted(features)))
            self.respond("211 End FEAT.")

        if implicit:
            # Implicit TLS: the handshake comes first, the greeting follows it; data connections
            # are protected from the start.
            def handle(self):
                self._implicit_greeted = False
                self.secure_connection(self.ssl_context)

            def handle_ssl_established(self):
                if not self._implicit_greeted:
                    self._implicit_greeted = True
                    self._pbsz = True
                    self._prot = True
                    FTPHandler.handle(self)

            def flush_account(self):
                super().flush_account()
                self._pbsz = True
                self._prot = True

    if args.tls != "none":
        Handler.certfile = args.cert
        Handler.tls_control_required = True
        Handler.tls_data_required = True
    return Handler


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--pasv-min", type=int, required=True)
    p.add_argument("--pasv-max", type=int, required=True)
    p.add_argument("--tls", choices=("none", "explicit", "implicit"), default="none")
    p.add_argument("--cert", help="PEM file with the key and the certificate")
    p.add_argument("--reply-delay-ms", type=int, default=0)
    p.add_argument("--timeout", type=int, default=0, help="idle seconds before 421 (0: 300)")
    p.add_argument("--passive-timeout", type=int, default=0,
                   help="seconds an unused passive port waits before its 421 (0: 30)")
    p.add_argument("--no-utf8", action="store_true")
    p.add_argument("--log", help="protocol log file")
    args = p.parse_args()

    logging.basicConfig(
        filename=args.log,
        level=logging.DEBUG if args.log else logging.WARNING,
        format="%(asctime)s %(message)s",
    )
    # DEBUG gives the protocol lines; the library's own "[debug]" chatter (one line per TLS
    # read attempt) would drown them.
    for h in logging.getLogger().handlers:
        h.addFilter(lambda record: not str(record.msg).startswith("[debug]"))

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    handler = build_handler(args)
    handler.authorizer = authorizer
    handler.passive_ports = range(args.pasv_min, args.pasv_max + 1)
    handler.permit_foreign_addresses = False
    handler.banner = "pyftpdlib test server ready."
    if args.timeout > 0:
        handler.timeout = args.timeout
    if args.passive_timeout > 0:
        from pyftpdlib.handlers import PassiveDTP

        class ShortPassiveDTP(PassiveDTP):
            timeout = args.passive_timeout

        handler.passive_dtp = ShortPassiveDTP
    # Large buffers so the benchmarks measure the client, not the server's 64 KiB default.
    handler.dtp_handler.ac_in_buffer_size = 262144
    handler.dtp_handler.ac_out_buffer_size = 262144

    server = FTPServer((args.host, args.port), handler)
    server.max_cons = 256
    server.max_cons_per_ip = 0
    sys.stdout.write("listening\n")
    sys.stdout.flush()
    # A bounded poll: with none, pyftpdlib's idle timer can wait for socket activity that never comes.
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()
