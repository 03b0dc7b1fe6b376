#!/usr/bin/env python3
"""Pages for the end-to-end scripts on 127.0.0.1: prints its port, then serves
   /slow      a green page, answered after SLOW seconds (default 4)
   /corner    a page with body margins and a magenta box in its bottom-right corner
   /tall      a page of tall coloured bands
   /hold      never answers
   /first, /second  pages 1024 px wide of one colour each (red, green), with
              a blue marker at their right edge (x 1000 to 1024)
and writes one line per request to the file given as its first argument."""
import http.server
import socketserver
import sys
import threading
import time

LOG = sys.argv[1]
SLOW = float(sys.argv[2]) if len(sys.argv) > 2 else 4.0
WIDE_PAGE = ("<body style='margin:0'><div style='position:relative;width:1024px;height:700px;"
             "background:%s'><div style='position:absolute;left:1000px;top:0;width:24px;"
             "height:700px;background:#0000ff'></div></div></body>")
TALL_BANDS = ["#c00000", "#00a000", "#0000c0", "#c000c0", "#00c0c0", "#c0c000"]

PAGES = {
    "/slow": "<body style='margin:0;background:#10b010'><div style='height:300px'></div></body>",
    "/corner": "<!DOCTYPE html><style>body{margin:40px;background:#ffffe0}</style><body>"
               "<div style='position:relative;width:1200px;height:900px'>"
               "<div style='position:absolute;right:0;bottom:0;width:60px;height:60px;"
               "background:#ff00ff'></div></div></body>",
    "/tall": "<body style='margin:0'>" + "".join(
        "<div style='width:1000px;height:500px;background:%s'></div>" % c for c in TALL_BANDS)
             + "</body>",
    "/first": WIDE_PAGE % "#c00000",
    "/second": WIDE_PAGE % "#00a000",
}


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(LOG, "a") as log:
            log.write(self.path + "\n")
        if self.path == "/hold":
            time.sleep(3600)
            return
        if self.path == "/slow":
            time.sleep(SLOW)
        body = PAGES.get(self.path)
        if body is None:
            self.send_error(404)
            return
        data = ("<!DOCTYPE html><html><head><meta charset='utf-8'></head>" + body + "</html>").encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        try:
            self.wfile.write(data)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the engine gave up on the page

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
