#!/usr/bin/python3
"""A time-stamp server (RFC 3161 over HTTP) on 127.0.0.1 for the signing test:
each request posted to it is answered by `openssl ts -reply` with the
configuration given, so that a program can be signed with a real time stamp
from a throwaway authority, without the network.

Writes the port it listens on, then a line end, to PORT_FILE once it accepts
requests, and serves until it is killed.

Usage: timestamp_server.py OPENSSL_TS_CONFIG PORT_FILE
"""
import http.server
import os
import subprocess
import sys
import tempfile


def handler(config):
    class TimeStampHandler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            length = int(self.headers.get("Content-Length", "0"))
            query = self.rfile.read(length)
            with tempfile.TemporaryDirectory() as folder:
                query_file = os.path.join(folder, "query.tsq")
                reply_file = os.path.join(folder, "reply.tsr")
                with open(query_file, "wb") as file:
                    file.write(query)
                made = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", query_file,
                                       "-out", reply_file], capture_output=True, text=True)
                if made.returncode != 0:
                    sys.stderr.write(made.stderr)
                    self.send_error(500)
                    return
                with open(reply_file, "rb") as file:
                    reply = file.read()
            self.send_response(200)
            self.send_header("Content-Type", "application/timestamp-reply")
            self.send_header("Content-Length", str(len(reply)))
            self.end_headers()
            self.wfile.write(reply)

        def log_message(self, format, *args):
            sys.stderr.write("timestamp_server.py: " + format % args + "\n")

    return TimeStampHandler


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    config, port_file = argv
    server = http.server.HTTPServer(("127.0.0.1", 0), handler(config))
    with open(port_file + ".new", "w", encoding="ascii") as file:
        file.write(f"{server.server_address[1]}\n")
    os.replace(port_file + ".new", port_file)
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
