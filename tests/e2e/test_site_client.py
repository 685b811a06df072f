"""The program's web client (WinHTTP) under Wine against sites on 127.0.0.1: an answer with
the token as "Authorization: Bearer", a closed port, a redirect not followed, a certificate
not trusted, and a site that never answers, each with its reason."""
import http.server
import json
import re
import socket
import ssl
import subprocess
import tempfile
import threading
import unittest
from pathlib import Path

from harness import WINDOWS_BUILD, VirtualDisplay, ensure_wine_prefix, free_port


class Site(http.server.BaseHTTPRequestHandler):
    seen = []  # (path, Authorization header) of every post that arrived

    def do_POST(self):
        body = self.rfile.read(int(self.headers["Content-Length"]))
        Site.seen.append((self.path, self.headers.get("Authorization")))
        answer = json.dumps({"echo": json.loads(body), "type": self.headers["Content-Type"]}).encode()
        self.send_response(307 if self.path == "/moved" else 200 if self.headers.get("Authorization") else 401)
        self.send_header("Location", "/elsewhere")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


class SiteClient(unittest.TestCase):
    def serve(self, server):
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        return server

    def test_answers_and_failures_with_their_reasons(self):
        folder = Path(self.enterContext(tempfile.TemporaryDirectory()))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.1", "-keyout", folder / "key.pem", "-out", folder / "cert.pem"],
                       check=True, capture_output=True)
        plain = self.serve(http.server.ThreadingHTTPServer(("127.0.0.1", 0), Site))
        secure = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Site)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(folder / "cert.pem", folder / "key.pem")
        secure.socket = context.wrap_socket(secure.socket, server_side=True)
        self.serve(secure)
        silent = socket.create_server(("127.0.0.1", 0))  # takes the connection, never answers
        self.addCleanup(silent.close)
        with VirtualDisplay() as display:
            ensure_wine_prefix(display)

            def post(url, token="s3cret"):
                out = display.run(["wine", str(WINDOWS_BUILD / "quorvel_sitetool.exe"), url, token, '{"query":"{ a }"}'],
                                  timeout=60).stdout
                found = re.search(r"status=(\d+) ms=(\d+) failure=\[(.*)\] body=\[(.*)\]", out)
                self.assertIsNotNone(found, out)
                return int(found[1]), int(found[2]), found[3], found[4]

            status, _, failure, body = post(f"http://127.0.0.1:{plain.server_port}/gql/alpha?x=1")
            self.assertEqual((status, failure, json.loads(body)),
                             (200, "", {"echo": {"query": "{ a }"}, "type": "application/json"}))
            self.assertEqual(post(f"http://127.0.0.1:{plain.server_port}/gql", token="")[0], 401)
            self.assertEqual(post(f"http://127.0.0.1:{plain.server_port}/moved")[0], 307)
            self.assertEqual(Site.seen, [("/gql/alpha?x=1", "Bearer s3cret"), ("/gql", None), ("/moved", "Bearer s3cret")])

            self.assertEqual(post(f"http://127.0.0.1:{free_port()}/gql")[2],
                             "no network: 127.0.0.1 does not take the connection")
            self.assertIn("certificate is not trusted", post(f"https://127.0.0.1:{secure.server_port}/gql")[2])
            self.assertEqual(len(Site.seen), 3)  # nothing sent over the connection not trusted
            status, ms, failure, _ = post(f"http://127.0.0.1:{silent.getsockname()[1]}/gql")
            self.assertEqual((status, failure), (0, "no answer within 10 s"))
            self.assertTrue(9500 <= ms <= 11000, ms)

