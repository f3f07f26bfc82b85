#!/usr/bin/python3
"""A calendar server that misbehaves, over TLS, for the cases a real server will not produce.

hostile.py PORT CERT KEY MODE     prints "ready" once listening; MODE is one of
  conflict  every first PUT of a resource answers 412, the next one 201
  full      every PUT answers 507
  garbage   the calendar's listing is not XML
  huge      the listing is 50 MiB, without Content-Length
  silent    accepts and never answers
"""
import http.server
import ssl
import sys
import threading
import time

EMPTY_LISTING = b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:"></d:multistatus>'


def make_handler(mode):
    seen = set()

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def answer(self, status, body=b"", length=True):
            self.send_response(status)
            if length:
                self.send_header("Content-Length", str(len(body)))
            else:
                self.send_header("Connection", "close")
                self.close_connection = True
            self.end_headers()
            self.wfile.write(body)

        def drain(self):
            self.rfile.read(int(self.headers.get("Content-Length", "0")))

        def do_REPORT(self):
            self.drain()
            if mode == "silent":
                time.sleep(3600)
            elif mode == "garbage":
                self.answer(207, b"<d:multistatus xmlns:d='DAV:'><d:response><<<\x00 not xml")
            elif mode == "huge":
                self.send_response(207)
                self.send_header("Connection", "close")
                self.end_headers()
                chunk = b"<!-- " + b"x" * (1024 * 1024 - 9) + b" -->"
                try:
                    for _ in range(50):
                        self.wfile.write(chunk)
                except OSError:
                    pass
                self.close_connection = True
            else:
                self.answer(207, EMPTY_LISTING)

        def do_PUT(self):
            self.drain()
            if mode == "full":
                self.answer(507)
            elif mode == "conflict" and self.path not in seen:
                seen.add(self.path)
                self.answer(412)
            else:
                self.answer(201)

        def do_DELETE(self):
            self.answer(204)

        def do_PROPFIND(self):
            self.drain()
            self.answer(207, EMPTY_LISTING)

    return Handler


def main():
    port, cert, key, mode = sys.argv[1:]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", int(port)), make_handler(mode))
    server.daemon_threads = True
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print("ready", flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()  # ends when the test closes its end


if __name__ == "__main__":
    main()
