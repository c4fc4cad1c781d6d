"""Drives one headless Chromium over the DevTools protocol, standard library only.

The report checks used to start a `chromium --headless --dump-dom` process per
look at a page, which cannot click a button, run a script in the page, catch a
file the page saves or time how long a page takes to open. This module starts
one Chromium with --remote-debugging-pipe and talks to it over the two pipes
that flag uses (the child reads commands on fd 3 and writes replies and events
on fd 4, each message a JSON text ending in a NUL byte), so neither a websocket
library nor chromedriver is needed.

    sys.path.insert(0, ".../tests/browser")
    from driven_chromium import Browser, BrowserFailed
    with Browser("/usr/bin/chromium", download_dir=outdir) as b:
        b.open(pathlib.Path(page).as_uri())   # load event, then body[data-rendered]
        n = b.evaluate("document.querySelectorAll('canvas').length")
        b.click("button.save-png")             # runs as a user gesture
        png = b.wait_for_download()            # outdir/<the name the page gave it>
        b.screenshot(outdir + "/page.png", full_page=True)
        ms = b.opening_time_ms(pathlib.Path(page).as_uri())
        b.check_no_errors()

Also: wait_until(expression) polls until a JavaScript expression is truthy, and
command(method, params) sends any protocol command to the page. Uncaught
exceptions (unhandled rejections too), console.error() and failed
console.assert() calls, errors Chromium logs for the page (e.g. a file it could
not load) and alert()/confirm() dialogs, which are accepted so the page cannot
stall, all land in Browser.errors; clear that list after provoking an error on
purpose. Every wait gives up after `timeout` seconds with BrowserFailed, as
does Chromium exiting, whose last lines on stderr then end the message.

`python3 driven_chromium.py CHROMIUM` tries this on a small demo page.
"""

import base64
import collections
import fcntl
import json
import math
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import time

# Takes the page as opened at the first frame produced after it set
# body[data-rendered]: the observer runs in the microtask right after the flag
# is set, and a task queued from the next animation frame runs once that
# frame is painted. DOMContentLoaded covers a flag written in the HTML, whose
# setting no observer sees.
_OPENING_PROBE = """(() => {
  const seen = () => {
    if (!document.body || !document.body.dataset.rendered || window.__openedProbe) return;
    window.__openedProbe = {rendered: performance.now()};
    requestAnimationFrame(() => setTimeout(() => { window.__openedProbe.frame = performance.now(); }));
  };
  new MutationObserver(seen).observe(document, {subtree: true, attributes: true,
                                                attributeFilter: ["data-rendered"]});
  document.addEventListener("DOMContentLoaded", seen);
})();"""


class BrowserFailed(Exception):
    """Chromium or the page did not do what the check asked for in time."""


def _describe_exception(details):
    text = (details.get("exception") or {}).get("description") or details.get("text") or "exception"
    where = f" ({details['url']}:{details.get('lineNumber', 0) + 1})" if details.get("url") else ""
    return text.splitlines()[0] + where


class Browser:
    def __init__(self, chromium, window=(1400, 1000), timeout=60, download_dir=None):
        self.timeout, self.window = timeout, window
        self.download_dir = os.path.abspath(download_dir) if download_dir else None
        self.errors, self.last_opening = [], None
        self._cond, self._write_lock = threading.Condition(), threading.Lock()
        # Events carry a sequence number so a wait can ask for "the first X
        # after this point" and not miss one that arrived before it began
        # (the load event can beat Page.navigate's own reply).
        self._replies, self._events = {}, collections.deque(maxlen=20000)
        self._seq = self._last_id = self._download_mark = 0
        self._eof, self._session, self._proc = False, None, None
        self._root = tempfile.mkdtemp(prefix="varnock-chromium-")
        self._log = open(os.path.join(self._root, "chromium.log"), "wb")
        cmd_read, self._cmd_write = os.pipe()
        self._event_read, event_write = os.pipe()

        def place_pipes():
            # Runs in the child between fork and exec, so plain system calls
            # only. Copying to fds >= 10 first keeps one dup2 from overwriting
            # the other end when it already sits at 3 or 4; the copies at 3
            # and 4 are not close-on-exec, unlike what os.pipe() returns.
            ends = [fcntl.fcntl(cmd_read, fcntl.F_DUPFD, 10), fcntl.fcntl(event_write, fcntl.F_DUPFD, 10)]
            for target, fd in zip((3, 4), ends):
                os.dup2(fd, target)
                os.close(fd)

        args = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--user-data-dir=" + os.path.join(self._root, "profile"),
                "--window-size=%d,%d" % tuple(window), "--remote-debugging-pipe", "about:blank"]
        try:
            # close_fds would close the new 3 and 4 too; every other fd Python
            # opened is close-on-exec anyway.
            self._proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=self._log, stderr=self._log,
                                          close_fds=False, preexec_fn=place_pipes)
        finally:
            os.close(cmd_read)  # the child's ends: holding them would hide its exit
            os.close(event_write)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        try:
            self._attach()
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- protocol plumbing ---------------------------------------------------

    def _attach(self):
        pages = [t for t in self.command("Target.getTargets", browser=True)["targetInfos"] if t["type"] == "page"]
        target = pages[0]["targetId"] if pages else \
            self.command("Target.createTarget", {"url": "about:blank"}, browser=True)["targetId"]
        self._session = self.command("Target.attachToTarget", {"targetId": target, "flatten": True},
                                     browser=True)["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.command(domain + ".enable")
        # --window-size sizes the window, not the page: this pins the viewport
        # so screenshots have exactly the asked size. Headless Chromium also
        # draws scrollbars, which would narrow only the pages that scroll.
        self.command("Emulation.setDeviceMetricsOverride", {"width": self.window[0], "height": self.window[1],
                                                            "deviceScaleFactor": 1, "mobile": False})
        self.command("Emulation.setScrollbarsHidden", {"hidden": True})
        if self.download_dir:
            # Either way the file is saved under its guid; "allowAndName" at
            # least says so, and downloadWillBegin has the page's name for it.
            os.makedirs(self.download_dir, exist_ok=True)
            self.command("Browser.setDownloadBehavior", {"behavior": "allowAndName", "eventsEnabled": True,
                                                         "downloadPath": self.download_dir}, browser=True)

    def _read(self):
        parts = []
        while True:
            try:
                chunk = os.read(self._event_read, 1 << 20)
            except OSError:
                chunk = b""
            if not chunk:
                break
            *messages, rest = chunk.split(b"\0")
            for message in messages:
                self._dispatch(json.loads(b"".join(parts + [message])))
                parts = []
            parts.append(rest)
        with self._cond:
            self._eof = True
            self._cond.notify_all()

    def _dispatch(self, message):
        method, params = message.get("method"), message.get("params", {})
        entry = params.get("entry", {})
        if method == "Runtime.exceptionThrown":
            self.errors.append("uncaught: " + _describe_exception(params["exceptionDetails"]))
        elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
            words = [str(a.get("value", a.get("description", a.get("type")))) for a in params.get("args", [])]
            self.errors.append(f"console.{params['type']}: " + " ".join(words))
        elif method == "Log.entryAdded" and entry.get("level") == "error":
            self.errors.append(f"log ({entry.get('source')}): {entry.get('text')} {entry.get('url', '')}".rstrip())
        elif method == "Page.javascriptDialogOpening":
            self.errors.append(f"{params.get('type')} dialog: {params.get('message')}")
            self._send("Page.handleJavaScriptDialog", {"accept": True}, self._session)  # the reader cannot wait
        with self._cond:
            if "id" in message:
                self._replies[message["id"]] = message
            elif method:
                self._seq += 1
                self._events.append((self._seq, method, params))
            self._cond.notify_all()

    def _failure(self, message):
        # While Chromium runs its stderr is D-Bus complaints; once it has
        # gone, the last lines usually say why.
        if self._eof or self._proc is None or self._proc.poll() is not None:
            try:
                with open(os.path.join(self._root, "chromium.log"), "rb") as log:
                    tail = log.read().decode("utf-8", "replace").strip().splitlines()[-8:]
                message += "".join("\n  " + line for line in ["chromium's last words:"] + tail if tail)
            except OSError:
                pass
        return BrowserFailed(message)

    def _send(self, method, params, session):
        with self._cond:
            self._last_id += 1
            ident = self._last_id
        message = dict(id=ident, method=method, params=params or {}, **({"sessionId": session} if session else {}))
        data = json.dumps(message).encode() + b"\0"
        with self._write_lock:
            try:
                while data:
                    data = data[os.write(self._cmd_write, data):]
            except OSError as e:
                raise self._failure(f"could not send {method} to chromium: {e}")
        return ident

    def _wait(self, probe, what, timeout=None):
        timeout = timeout or self.timeout
        deadline = time.monotonic() + timeout
        with self._cond:
            while (found := probe()) is None:
                if self._eof:
                    raise self._failure(f"chromium exited while waiting for {what}")
                if time.monotonic() >= deadline:
                    raise self._failure(f"no {what} within {timeout} s")
                self._cond.wait(deadline - time.monotonic())
            return found

    def _wait_event(self, method, since, what, match=lambda params: True, timeout=None):
        return self._wait(lambda: next(((s, p) for s, m, p in self._events
                                        if s > since and m == method and match(p)), None), what, timeout)

    def command(self, method, params=None, browser=False, timeout=None):
        """Sends a protocol command to the page (or, with browser, to Chromium) and returns its result."""
        ident = self._send(method, params, None if browser else self._session)
        reply = self._wait(lambda: self._replies.pop(ident, None), f"reply to {method}", timeout)
        if "error" in reply:
            raise BrowserFailed(f"{method} failed: {reply['error'].get('message')} {reply['error'].get('data', '')}")
        return reply.get("result", {})

    # --- what checks use -----------------------------------------------------

    def open(self, url, wait_for="document.body && document.body.dataset.rendered", timeout=None):
        """Navigates, waits for the load event, then until wait_for (if any) is truthy; returns its value."""
        with self._cond:
            since = self._seq
        result = self.command("Page.navigate", {"url": url})
        if result.get("errorText"):
            raise BrowserFailed(f"could not open {url}: {result['errorText']}")
        self._wait_event("Page.loadEventFired", since, f"load event from {url}", timeout=timeout)
        return self.wait_until(wait_for, timeout) if wait_for else None

    def wait_until(self, expression, timeout=None):
        """Evaluates expression every 50 ms until it is truthy, and returns that value."""
        timeout = timeout or self.timeout
        deadline = time.monotonic() + timeout
        while not (value := self.evaluate(expression)):
            if time.monotonic() > deadline:
                raise self._failure(f"`{expression}` still {value!r} after {timeout} s")
            time.sleep(0.05)
        return value

    def evaluate(self, expression, await_promise=True):
        """The value as JSON would carry it (None for undefined); BrowserFailed when it throws."""
        result = self.command("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                   "awaitPromise": await_promise, "userGesture": True})
        if "exceptionDetails" in result:
            raise BrowserFailed(f"the page threw {_describe_exception(result['exceptionDetails'])} "
                                f"evaluating: {expression[:300]}")
        text = result["result"].get("unserializableValue")  # NaN, Infinity, -0, BigInt "12n"
        if text is not None:
            return int(text[:-1]) if text.endswith("n") else float(text)
        return result["result"].get("value")

    def click(self, selector):
        """Clicks the first element matching the CSS selector; BrowserFailed if there is none."""
        s = json.dumps(selector)
        self.evaluate(f"(() => {{ const e = document.querySelector({s});"
                      f" if (!e) throw new Error('nothing matches ' + {s}); e.click(); }})()")

    def wait_for_download(self, timeout=None):
        """Path of the next download to finish, renamed to the name the page gave it (an earlier
        file of that name is replaced)."""
        if not self.download_dir:
            raise BrowserFailed("wait_for_download needs a Browser made with download_dir")
        seq, done = self._wait_event("Browser.downloadProgress", self._download_mark, "finished download",
                                     lambda p: p.get("state") in ("completed", "canceled"), timeout)
        self._download_mark = seq
        with self._cond:
            begun = next((p for _, m, p in self._events
                          if m == "Browser.downloadWillBegin" and p.get("guid") == done["guid"]), {})
        if done["state"] == "canceled":
            raise BrowserFailed(f"the download of {begun.get('url', done['guid'])} was canceled")
        path = os.path.join(self.download_dir, os.path.basename(begun.get("suggestedFilename", "")) or done["guid"])
        os.replace(done.get("filePath") or os.path.join(self.download_dir, done["guid"]), path)
        return path

    def screenshot(self, path, full_page=False):
        """Writes a PNG of the viewport, or of all of the page's content when full_page."""
        params = {"format": "png"}
        if full_page:
            size = self.command("Page.getLayoutMetrics")["cssContentSize"]
            params.update(captureBeyondViewport=True, clip={"x": 0, "y": 0, "scale": 1,
                          "width": math.ceil(size["width"]), "height": math.ceil(size["height"])})
        with open(path, "wb") as out:
            out.write(base64.b64decode(self.command("Page.captureScreenshot", params)["data"]))
        return path

    def opening_time_ms(self, url, timeout=None):
        """Opens url and returns the ms from its navigation start (performance.timeOrigin) until the
        first frame after the page set body[data-rendered] has been painted: loading, the page's
        script, layout and painting, not the frame's way to the screen. last_opening then holds
        that as "frame", and as "rendered" when the flag was set. The first page a Browser opens
        also pays for starting a renderer, so open one before, or take the least of a few."""
        probe = self.command("Page.addScriptToEvaluateOnNewDocument", {"source": _OPENING_PROBE})["identifier"]
        try:
            self.open(url, "window.__openedProbe && window.__openedProbe.frame", timeout)
        finally:
            self.command("Page.removeScriptToEvaluateOnNewDocument", {"identifier": probe})
        self.last_opening = self.evaluate("window.__openedProbe")
        return float(self.last_opening["frame"])

    def check_no_errors(self, what="the page"):
        if self.errors:
            raise BrowserFailed(f"{what} reported {len(self.errors)} error(s):\n  " + "\n  ".join(self.errors))

    def close(self):
        """Asks Chromium to quit, else terminates or kills it, and removes the temporary profile."""
        proc, self._proc = self._proc, None
        if proc is None:
            return
        try:
            self._send("Browser.close", None, None)
            proc.wait(10)
        except (BrowserFailed, subprocess.TimeoutExpired):
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        os.close(self._cmd_write)
        self._reader.join(5)
        if not self._reader.is_alive():  # else a late read could hit a reused fd number
            os.close(self._event_read)
        self._log.close()
        shutil.rmtree(self._root, ignore_errors=True)


# --- self-test: python3 driven_chromium.py CHROMIUM ---------------------------

_DEMO_PAGE = """<!doctype html><meta charset="utf-8"><title>driven_chromium demo</title>
<body><canvas width="40" height="30"></canvas><button id="png">PNG</button><button id="bad">bad</button>
<script>
const canvas = document.querySelector("canvas"), g = canvas.getContext("2d");
g.fillStyle = "#c03"; g.fillRect(0, 0, 40, 30); g.fillStyle = "#0c3"; g.fillRect(5, 5, 10, 10);
document.getElementById("png").onclick = () => canvas.toBlob(blob => {
  const a = document.createElement("a");
  a.download = "figure.png"; a.href = URL.createObjectURL(blob); a.click();
});
document.getElementById("bad").onclick = () => { throw new Error("on purpose"); };
document.body.dataset.rendered = "true";
</script>"""


def _self_test(chromium):
    def expect(condition, what):
        if not condition:
            raise BrowserFailed("self-test: " + what)
    with tempfile.TemporaryDirectory(prefix="driven-chromium-") as folder:
        page = pathlib.Path(folder, "demo.html")
        page.write_text(_DEMO_PAGE)
        with Browser(chromium, download_dir=os.path.join(folder, "saved"), timeout=30) as b:
            expect(b.open(page.as_uri()) == "true", "the page did not say it rendered")
            expect(b.evaluate("Promise.resolve([1 + 2, 'x'])") == [3, "x"], "evaluate gave a wrong value")
            try:
                b.evaluate("null.x")
                expect(False, "an expression that throws did not raise")
            except BrowserFailed as e:
                expect("TypeError" in str(e), f"odd message for a throw: {e}")
            b.click("#png")
            saved = pathlib.Path(b.wait_for_download())
            drawn = base64.b64decode(b.evaluate("canvas.toDataURL().split(',')[1]"))
            expect(saved.name == "figure.png" and saved.read_bytes() == drawn, f"{saved} is not the page's PNG")
            shot = pathlib.Path(b.screenshot(os.path.join(folder, "shot.png")))
            expect(shot.read_bytes()[16:24] == bytes.fromhex("00000578 000003e8"), "the screenshot is not 1400 x 1000")
            b.check_no_errors()
            b.click("#bad")
            b.wait_until("new Promise(done => setTimeout(() => done(true), 100))")
            expect(any("on purpose" in e for e in b.errors), f"the page's error went unnoticed: {b.errors}")
            b.errors.clear()
            ms = b.opening_time_ms(page.as_uri())
            expect(0 < ms < 10000, f"opening time {ms} ms")
    print(f"ok (the demo page opened in {ms:.0f} ms)")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: python3 driven_chromium.py CHROMIUM")
    try:
        _self_test(sys.argv[1])
    except BrowserFailed as e:
        sys.exit(str(e))
