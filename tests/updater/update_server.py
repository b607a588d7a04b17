#!/usr/bin/env python3
"""Update server for the updater tests, on 127.0.0.1 only.

    update_server.py STATE_DIR [--max-seconds N]

Serves STATE_DIR/root: a GET of /a/b answers with the file root/a/b. Beside a file, optional
sidecars change the answer:
  root/a/b.zip.entries  builds the archive a/b.zip; one entry per line:
                        NAME<TAB>YYYY-MM-DD HH:MM:SS<TAB>CONTENT  (NAME ending in "/" is a folder)
  root/a/b.sign         names a key of tests/keys (such as "update-dev"), then any options of
                        scripts/sign-update-list ("--serial 5 --expires 2020-01-01"): the answer is
                        a/b as that script signs it with that key, at the time of the request
  root/a/b.how          lines of directives for the answer of a/b:
                          status N    answer with status N (the body is still sent)
                          slow MS     send the body in 256-byte pieces, MS milliseconds apart
                          cut N       announce the whole length but send only N bytes, then close
                          flip N      change byte N of the body (after signing) by its lowest bit
Missing files answer 404. Every request path is appended to STATE_DIR/requests.log, and the path
with a tab and the request's user agent to STATE_DIR/agents.log.
The port goes to STATE_DIR/port, the process id to STATE_DIR/pid. The server stops by itself after
--max-seconds (default 900) so that an interrupted test run leaves nothing behind.
"""
import http.server
import io
import os
import subprocess
import sys
import threading
import time
import urllib.parse
import zipfile


def build_zip(entries_path):
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as archive:
        with open(entries_path, "r", encoding="latin-1", newline="") as listing:
            for line in listing.read().splitlines():
                if not line:
                    continue
                name, stamp, content = (line.split("\t", 2) + ["", ""])[:3]
                date = time.strptime(stamp, "%Y-%m-%d %H:%M:%S")[:6]
                info = zipfile.ZipInfo(name, date_time=date)
                if name.endswith("/"):
                    info.external_attr = 0o40755 << 16 | 0x10
                    archive.writestr(info, b"")
                else:
                    info.external_attr = 0o644 << 16
                    info.compress_type = zipfile.ZIP_DEFLATED
                    archive.writestr(info, content.encode("latin-1"))
    return data.getvalue()


REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def sign(body, key_and_options):
    words = key_and_options.split()
    key = os.path.join(REPO, "tests", "keys", os.path.basename(words[0]) + ".pem")
    script = os.path.join(REPO, "scripts", "sign-update-list")
    return subprocess.run([script, key] + words[1:], input=body, stdout=subprocess.PIPE, check=True).stdout


def read_directives(path):
    how = {}
    if os.path.isfile(path):
        with open(path, "r", encoding="latin-1") as lines:
            for line in lines:
                parts = line.split()
                if len(parts) == 2:
                    how[parts[0]] = int(parts[1])
    return how


class Handler(http.server.BaseHTTPRequestHandler):
    root = ""
    state = ""

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        path = urllib.parse.urlsplit(self.path).path
        with open(os.path.join(self.state, "requests.log"), "a", encoding="latin-1") as log:
            log.write(path + "\n")
        with open(os.path.join(self.state, "agents.log"), "a", encoding="latin-1") as log:
            log.write(path + "\t" + self.headers.get("User-Agent", "") + "\n")
        local = os.path.normpath(os.path.join(self.root, urllib.parse.unquote(path).lstrip("/")))
        if not local.startswith(self.root + os.sep):
            self.answer(404, b"<html><body>404 Not Found</body></html>", {})
            return
        how = read_directives(local + ".how")
        if os.path.isfile(local + ".entries"):
            body = build_zip(local + ".entries")
        elif os.path.isfile(local):
            with open(local, "rb") as source:
                body = source.read()
            if os.path.isfile(local + ".sign"):
                with open(local + ".sign", "r", encoding="latin-1") as key_name:
                    body = sign(body, key_name.read())
        else:
            self.answer(404, b"<html><body>404 Not Found</body></html>", how)
            return
        self.answer(how.get("status", 200), body, how)

    def answer(self, status, body, how):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        if "cut" in how:
            body = body[: how["cut"]]
        if "flip" in how and how["flip"] < len(body):
            body = body[: how["flip"]] + bytes([body[how["flip"]] ^ 1]) + body[how["flip"] + 1 :]
        try:
            if "slow" in how:
                for start in range(0, len(body), 256):
                    self.wfile.write(body[start : start + 256])
                    self.wfile.flush()
                    time.sleep(how["slow"] / 1000.0)
            else:
                self.wfile.write(body)
            self.wfile.flush()
        except OSError:
            pass
        self.close_connection = True


def main():
    state = os.path.abspath(sys.argv[1])
    max_seconds = 900
    if len(sys.argv) > 3 and sys.argv[2] == "--max-seconds":
        max_seconds = int(sys.argv[3])
    Handler.root = os.path.join(state, "root")
    Handler.state = state
    os.makedirs(Handler.root, exist_ok=True)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    with open(os.path.join(state, "pid"), "w") as out:
        out.write(str(os.getpid()))
    with open(os.path.join(state, "port.tmp"), "w") as out:
        out.write(str(server.server_address[1]))
    os.replace(os.path.join(state, "port.tmp"), os.path.join(state, "port"))
    threading.Timer(max_seconds, lambda: os._exit(0)).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
