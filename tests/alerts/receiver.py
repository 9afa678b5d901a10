#!/usr/bin/env python3
"""A webhook receiver for the tests, on 127.0.0.1 at a port of its own choosing.

    receiver.py <port file> <log file> [<certificate> <key>]

It answers by the first part of the path:
    /ok/...      200
    /failN/...   500 to the first N requests for that path, then 200
    /fail/...    500, always
    /silent/...  reads the request and never answers

Each request is written to the log as it arrives, one line of tab-separated
fields: the status answered ("-" for none), the path, the Content-Type, the
wall-clock time in seconds, and the body in hex.
"""
import http.server
import os
import re
import ssl
import sys
import threading
import time

port_file, log_path = sys.argv[1], sys.argv[2]
log_lock = threading.Lock()
counts = {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keeps the connection, as chat services do
    disable_nagle_algorithm = True  # the status line and the body go out at once

    def log_message(self, *args):
        pass

    def do_POST(self):
        arrived = time.time()
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        kind = self.path.split("/")[1] if self.path.count("/") >= 2 else ""
        status = None
        if kind == "ok":
            status = 200
        elif kind == "fail":
            status = 500
        elif re.fullmatch(r"fail\d+", kind):
            with log_lock:
                counts[self.path] = counts.get(self.path, 0) + 1
                status = 500 if counts[self.path] <= int(kind[4:]) else 200
        elif kind != "silent":
            status = 404
        with log_lock, open(log_path, "a", encoding="ascii") as log:
            log.write(f"{status or '-'}\t{self.path}\t{self.headers.get('Content-Type', '')}\t"
                      f"{arrived:.6f}\t{body.hex()}\n")
        if status is None:
            # Hold the connection until the client gives up on it.
            self.close_connection = True
            while self.rfile.read(1):
                pass
            return
        reply = b"ok" if status == 200 else b"no"
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
if len(sys.argv) > 4:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[3], sys.argv[4])
    server.socket = context.wrap_socket(server.socket, server_side=True)
with open(port_file + ".new", "w", encoding="ascii") as f:
    f.write(str(server.server_address[1]))
os.replace(port_file + ".new", port_file)
server.serve_forever()
