#!/usr/bin/env python3
"""Serves the files of a folder over HTTP at a bounded rate, as a link of
RATE bits per second would (all answers together share it). Byte ranges
("Range: bytes=N-") are answered with 206. Each answer's path and the bytes
it sent are appended to LOG, one line each. Prints the port once listening.
Usage: rate_limited_server.py FOLDER RATE_BITS_PER_SECOND LOG"""
import http.server
import os
import sys
import threading
import time

folder, rate, log_path = sys.argv[1], int(sys.argv[2]) / 8, sys.argv[3]
lock = threading.Lock()
clock = [time.monotonic()]  # when the link is free again


def take(n):
    """Waits until n more bytes fit through the shared link."""
    with lock:
        start = max(clock[0], time.monotonic())
        clock[0] = start + n / rate
        wait = clock[0] - time.monotonic()
    if wait > 0:
        time.sleep(wait)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = os.path.join(folder, os.path.basename(self.path.split('?')[0]))
        if not os.path.isfile(path):
            self.send_response(404)
            self.send_header('Content-Length', '0')
            self.end_headers()
            return
        size = os.path.getsize(path)
        start = 0
        ranged = self.headers.get('Range', '')
        if ranged.startswith('bytes=') and ranged.endswith('-'):
            start = int(ranged[6:-1])
        self.send_response(206 if start else 200)
        if start:
            self.send_header('Content-Range', 'bytes %d-%d/%d' % (start, size - 1, size))
        self.send_header('Content-Length', str(size - start))
        self.send_header('Last-Modified', self.date_time_string(os.path.getmtime(path)))
        self.end_headers()
        sent = 0
        with open(path, 'rb') as f:
            f.seek(start)
            while True:
                block = f.read(64 * 1024)
                if not block:
                    break
                take(len(block))
                try:
                    self.wfile.write(block)
                except OSError:
                    break
                sent += len(block)
        with lock, open(log_path, 'a') as log:
            log.write('%s %d\n' % (self.path, sent))


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
