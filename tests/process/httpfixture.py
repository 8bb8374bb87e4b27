"""A real HTTP server on 127.0.0.1 for the network tests: serves the files
of a folder (.kiv as application/x-talvix), echoes POST bodies, and has a
few routes that misbehave on purpose."""
import http.server
import os
import socket
import tempfile
import threading

from player import environment, fresh_tmpdir


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{".kiv": "application/x-talvix", ".txt": "text/plain"})

    def __init__(self, request, address, server):
        super().__init__(request, address, server, directory=server.root)

    def log_message(self, *args):
        pass

    def do_GET(self):
        self.server.requests.append(self.path)
        route = self.server.routes.get(self.path)
        if route:
            route(self)
        else:
            super().do_GET()

    def do_POST(self):
        length = int(self.headers.get("Content-Length", 0))
        body = self.rfile.read(length)
        reply = b"posted " + body + b" as " + self.headers.get("Content-Type", "").encode()
        self.reply(200, reply, "text/plain")

    def reply(self, status, body, ctype="text/plain", length=None):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()


class Server:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="talvix-www-")
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.httpd.root = self.root
        self.httpd.routes = {}
        self.httpd.requests = []
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def url(self, path):
        return f"http://127.0.0.1:{self.port}/{path}"

    def write(self, name, text):
        path = os.path.join(self.root, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def route(self, path, handler):
        self.httpd.routes["/" + path] = handler

    def requests(self, path):
        return self.httpd.requests.count("/" + path)

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def refused_port():
    """A port on which nothing listens."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Session:
    """A server plus a private temporary folder for the player's local
    copies, so that leftovers can be seen after it ends."""

    def __init__(self):
        self.server = Server()
        self.tmp = fresh_tmpdir()

    def env(self, **changes):
        return environment(TMPDIR=self.tmp, **changes)

    def leftovers(self):
        return os.listdir(self.tmp)

    def close(self):
        self.server.close()


def with_session(test):
    def wrapped(binary):
        session = Session()
        try:
            test(binary, session)
        finally:
            session.close()
    wrapped.__name__ = test.__name__
    return wrapped
