#!/usr/bin/python3
"""HTTP server for the link checker's tests: answers by path on 127.0.0.1:--port.

/ok.html 200, /moved 302 to /ok.html, /slow never answers (holds the connection for a
minute), anything else 404. Runs until killed.
"""

import argparse
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        path = self.path.split("?")[0]
        if path == "/slow":
            time.sleep(60)
            return
        if path == "/moved":
            self.send_response(302)
            self.send_header("Location", "/ok.html")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        body = b"<html>ok</html>" if path == "/ok.html" else b"not found"
        self.send_response(200 if path == "/ok.html" else 404)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    do_HEAD = do_GET

    def log_message(self, *args):
        pass


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    args = p.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    print("listening", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
