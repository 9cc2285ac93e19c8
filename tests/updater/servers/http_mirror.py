#!/usr/bin/env python3
"""An HTTP mirror for the updater's tests: serves one folder on 127.0.0.1 at a free port and prints
"PORT n" once it listens. A first path segment picks a misbehaviour for the file named by the rest:
  /throttle/...  sends the file in 1024-byte pieces with a pause between them
  /drop/...      announces the full length, sends half and closes the connection
  /nolength/...  sends no Content-Length (the end of the connection ends the body)
  /missing/...   answers 404
  /stall/...     announces the full length, sends the first 4 KiB and then nothing, keeping the
                 connection open
  /trickle/...   announces the full length and sends one byte every half second
Each request line is appended to the file given as the second argument, if any."""
import http.server
import os
import socket
import sys
import time

ROOT = os.path.abspath(sys.argv[1])
LOG = sys.argv[2] if len(sys.argv) > 2 else None
MODES = ("throttle", "drop", "nolength", "missing", "stall", "trickle")
STALL_BYTES = 4096
FOREVER = 3600


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        if LOG:
            with open(LOG, "a") as log:
                log.write(self.requestline + "\n")
        parts = [p for p in self.path.split("?")[0].split("/") if p]
        mode = parts.pop(0) if parts and parts[0] in MODES else None
        path = os.path.abspath(os.path.join(ROOT, *parts)) if parts else ROOT
        if mode == "missing" or not path.startswith(ROOT + os.sep) or not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if mode == "nolength":
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if mode == "throttle":
            for i in range(0, len(data), 1024):
                self.wfile.write(data[i:i + 1024])
                self.wfile.flush()
                time.sleep(0.02)
        elif mode == "stall":
            self.wfile.write(data[:STALL_BYTES])
            self.wfile.flush()
            time.sleep(FOREVER)
        elif mode == "trickle":
            for i in range(len(data)):
                self.wfile.write(data[i:i + 1])
                self.wfile.flush()
                time.sleep(0.5)
        elif mode == "drop":
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True
        else:
            self.wfile.write(data)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print("PORT", server.server_address[1], flush=True)
server.serve_forever()
