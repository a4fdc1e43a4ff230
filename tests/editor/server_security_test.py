"""The editor's server refuses what does not come from its own page, changes nothing then, and
listens on the loopback address only."""
import http.client
import json
import os
import subprocess
import time
import unittest

from editor_process import BINARY, EXAMPLES, EditorProcess, refuse_without_setup

CHANGE = json.dumps({"level": 3, "changes": [{"name": "Gateway_Autosave_Interval", "value": "7"}]})


class ServerSecurity(unittest.TestCase):
    def setUp(self):
        self.editor = EditorProcess()
        self.addCleanup(self.editor.stop)

    def send(self, method, path, headers=None, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.editor.port, timeout=10)
        connection.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
        for name, value in (headers or {}).items():
            connection.putheader(name, value)
        data = body.encode() if isinstance(body, str) else body
        connection.putheader("Content-Length", str(len(data or b"")))
        connection.endheaders(data)
        response = connection.getresponse()
        response.read()
        connection.close()
        return response

    def test_refusals_change_nothing(self):
        editor = self.editor
        host = "127.0.0.1:%d" % editor.port
        cookie = "kvrn_editor_%d=%s" % (editor.port, editor.token)
        wrong = "kvrn_editor_%d=%s" % (editor.port, "0" * len(editor.token))
        good = {"Host": host, "Cookie": cookie}
        post = dict(good, Origin=editor.origin, **{"Content-Type": "application/json"})
        cases = [
            ("no token", "GET", "/", {"Host": host}, None, 403),
            ("no token for the data", "GET", "/api/state", {"Host": host}, None, 403),
            ("no token for a preference", "GET", "/api/prefs?level=3&name=Gateway_Autosave_Interval",
             {"Host": host}, None, 403),
            ("no token for the changes", "GET", "/api/events", {"Host": host}, None, 403),
            ("wrong token for the changes", "GET", "/api/events", {"Host": host, "Cookie": wrong}, None, 403),
            ("foreign Host for the changes", "GET", "/api/events",
             dict(good, Host="attacker.example:%d" % editor.port), None, 403),
            ("wrong token in the address", "GET", "/?token=" + "0" * 64, {"Host": host}, None, 403),
            ("wrong token in the cookie", "GET", "/api/state", {"Host": host, "Cookie": wrong}, None, 403),
            ("no token for a change", "POST", "/api/apply",
             {"Host": host, "Origin": editor.origin, "Content-Type": "application/json"}, CHANGE, 403),
            ("foreign Host (DNS rebinding)", "GET", "/api/state",
             dict(good, Host="attacker.example:%d" % editor.port), None, 403),
            ("loopback Host on another port", "GET", "/", dict(good, Host="127.0.0.1:1"), None, 403),
            ("no Host", "GET", "/", {"Cookie": cookie}, None, 403),
            ("change without Origin", "POST", "/api/apply",
             {k: v for k, v in post.items() if k != "Origin"}, CHANGE, 403),
            ("change from a foreign Origin", "POST", "/api/apply",
             dict(post, Origin="http://attacker.example"), CHANGE, 403),
            ("change from the same host with another port", "POST", "/api/apply",
             dict(post, Origin="http://127.0.0.1:1"), CHANGE, 403),
            ("change as a form", "POST", "/api/apply",
             dict(post, **{"Content-Type": "application/x-www-form-urlencoded"}), CHANGE, 415),
            ("change over 64 KiB", "POST", "/api/apply", post,
             CHANGE[:-2] + ', "padding": "' + "x" * 70000 + '"}', 413),
            ("body that is not JSON", "POST", "/api/apply", post, "{not json", 400),
            ("path outside the assets", "GET", "/etc/passwd", good, None, 404),
            ("path climbing out", "GET", "/../../etc/passwd", good, None, 404),
            ("another method", "DELETE", "/api/apply", post, None, 404),
            ("CORS preflight", "OPTIONS", "/api/apply",
             dict(good, Origin="http://attacker.example", **{"Access-Control-Request-Method": "POST"}),
             None, 403),
        ]
        before = editor.read_value_file(3)
        for what, method, path, headers, body, status in cases:
            with self.subTest(what):
                response = self.send(method, path, headers, body)
                self.assertEqual(response.status, status)
                self.assertIsNone(response.getheader("Access-Control-Allow-Origin"))
        self.assertEqual(editor.read_value_file(3), before)
        self.assertEqual(editor.get("Gateway_Autosave_Interval"), "5")

        # The same change from the page itself goes through, and still sends no CORS header.
        response = self.send("POST", "/api/apply", post, CHANGE)
        self.assertEqual(response.status, 200)
        self.assertIsNone(response.getheader("Access-Control-Allow-Origin"))
        self.assertEqual(editor.get("Gateway_Autosave_Interval"), "7")

    def test_the_first_page_moves_the_token_into_a_cookie(self):
        host = "127.0.0.1:%d" % self.editor.port
        response = self.send("GET", "/?token=" + self.editor.token, {"Host": host})
        self.assertEqual(response.status, 303)
        self.assertEqual(response.getheader("Location"), "/")
        cookie = response.getheader("Set-Cookie")
        self.assertIn("HttpOnly", cookie)
        self.assertIn("SameSite=Strict", cookie)
        page = self.send("GET", "/", {"Host": "localhost:%d" % self.editor.port,
                                      "Cookie": cookie.split(";")[0]})
        self.assertEqual(page.status, 200)
        self.assertIn("script-src 'self'", page.getheader("Content-Security-Policy"))

    def test_listens_on_the_loopback_address_only(self):
        with open("/proc/net/tcp") as table:
            listening = [line.split()[1] for line in table.readlines()[1:] if line.split()[3] == "0A"]
        self.assertIn("0100007F:%04X" % self.editor.port, listening)
        self.assertNotIn("00000000:%04X" % self.editor.port, listening)


def open_stream(editor):
    """Opens the stream of changes as a page does; the connection and its response."""
    connection = http.client.HTTPConnection("127.0.0.1", editor.port, timeout=10)
    connection.request("GET", "/api/events", headers={
        "Host": "127.0.0.1:%d" % editor.port, "Cookie": "kvrn_editor_%d=%s" % (editor.port, editor.token)})
    return connection, connection.getresponse()


class ServerLifetime(unittest.TestCase):
    def test_ends_when_stopped_and_when_idle(self):
        stopped = EditorProcess()
        self.addCleanup(stopped.stop)
        stopped.process.terminate()
        self.assertEqual(stopped.wait(10), 0)
        self.assertIn("stopped", stopped.process.stdout.read())

        # A stop is not held up by the pages' open streams of changes, of which there are at most
        # eight (each holds one of the server's threads).
        streaming = EditorProcess()
        self.addCleanup(streaming.stop)
        streams = [open_stream(streaming) for _ in range(8)]
        for connection, response in streams:
            self.addCleanup(connection.close)
            self.assertEqual(response.status, 200)
            self.assertEqual(response.getheader("Content-Type"), "text/event-stream")
            self.assertIsNone(response.getheader("Access-Control-Allow-Origin"))
            self.assertIn(b"event: ready", response.read1(4096))
        connection, refused = open_stream(streaming)
        self.addCleanup(connection.close)
        self.assertEqual(refused.status, 503)
        # A page that goes frees its stream: the next write to it fails.
        streams[0][0].close()
        deadline = time.monotonic() + 20
        while True:
            connection, response = open_stream(streaming)
            self.addCleanup(connection.close)
            if response.status == 200 or time.monotonic() > deadline:
                break
            time.sleep(0.2)
        self.assertEqual(response.status, 200)
        streaming.process.terminate()
        self.assertEqual(streaming.wait(10), 0)

        idle = EditorProcess(idle=1)
        self.addCleanup(idle.stop)
        started = time.monotonic()
        self.assertEqual(idle.wait(10), 0)
        self.assertGreaterEqual(time.monotonic() - started, 0.5)
        self.assertIn("idle", idle.process.stdout.read())


class CommandLine(unittest.TestCase):
    def test_wrong_command_lines_are_refused_before_serving(self):
        refuse_without_setup()
        environment = dict(os.environ, KVRN_BASE_DIR=EXAMPLES,
                           KVRN_SITE_DIR=os.path.join(EXAMPLES, "site"),
                           KVRN_GROUP_DIR=os.path.join(EXAMPLES, "group"),
                           KVRN_USER_DIR=os.path.join(EXAMPLES, "user"))
        cases = [
            (["extra"], "edit takes no arguments"),
            (["--port", "70000"], "--port takes a port number"),
            (["--port", "http"], "--port takes a port number"),
            (["--level", "defaults"], "--level takes site, group or user"),
            (["--idle-timeout", "soon"], "--idle-timeout takes a number of seconds"),
        ]
        for arguments, message in cases:
            with self.subTest(" ".join(arguments)):
                run = subprocess.run([BINARY, "edit", "--no-browser", *arguments], env=environment,
                                     capture_output=True, text=True, timeout=30)
                self.assertEqual(run.returncode, 2)
                self.assertIn(message, run.stderr)
                self.assertEqual(run.stdout, "")


if __name__ == "__main__":
    unittest.main()
