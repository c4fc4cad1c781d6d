"""Runs `varnock watch` on a folder whose files change under it, with its page
open in a headless Chromium, and asks its server for what it must not give.

    python3 watch_check.py CHROMIUM VARNOCK EXAMPLES OUTDIR [--screenshot PNG]

In OUTDIR it runs examples/condenser.txt and examples/reflector.txt with
`varnock run`, lays condenser's results and sheet out as the front end's
exchange folder holds them, and starts `varnock watch FOLDER --no-browser
--port 0` (a missing DIR, or one that is a file, gets exit code 2 and one
line). Then:
  - the printed address opens the page: the report of the folder, its three
    maps drawn, the system drawing there, the status line live;
  - with the maps switched to the file's layout and IXY to the logarithmic
    scale, the sheet and OUT_M.txt are replaced by rename with reflector's:
    the page shows reflector's totals within 1.5 s, in the same document
    (no reload) and with the switches as they were; OUT_M.txt truncated and
    rewritten in place with condenser's comes through the same way;
  - a half-written OUT_M.txt (60 lines): the page keeps condenser's report
    and says why; watch has written nothing into the folder;
  - `varnock run examples/reflector.txt -o FOLDER` writes a whole set there,
    run.json last: the page shows it within 1.5 s of the run's end;
  - raw requests: without the token, with a wrong one, with `..`, `%2e%2e`,
    encoded slashes or an absolute address, for another Host: 403 or 404 and
    none of the folder's bytes; POST and PUT: 405; HEAD: the headers alone;
    every answer no-store, the page's with its Content-Security-Policy;
  - SIGINT ends watch with exit code 0 within 2 s, and the page then says it
    is no longer updated.
With --screenshot, a picture of the live page (status line and IXY map) is
written there. Exits 1 with a message on the first failure.
"""

import http.client
import os
import shutil
import signal
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "browser"))
from driven_chromium import Browser, BrowserFailed  # noqa: E402

# How long a new report may take to appear on the page: the files settle
# for 300 ms, the server looks every 100 ms and the page asks every 400 ms.
UPDATE_SECONDS = 1.5


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def total_of(report_bytes):
    """The total a report file prints on its first line."""
    return report_bytes.split(b"\r\n", 1)[0].split(b"\t\t", 1)[1].decode()


def replace_by_rename(path, data):
    temporary = path + ".writing"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)


def rewrite_in_place(path, data):
    """Truncates the file and writes it again, as main6 does: the same file throughout."""
    with open(path, "r+b") as f:
        f.truncate(0)
        f.flush()
        f.write(data)


class Watch:
    """varnock watch FOLDER as a process, its printed lines gathered as they come."""

    def __init__(self, varnock, folder):
        self.proc = subprocess.Popen([varnock, "watch", folder, "--no-browser", "--port", "0"],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.lines, self._arrived = [], threading.Event()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        check(self._arrived.wait(10) and self.lines, "varnock watch printed no address within 10 s: " +
              (self.proc.stderr.read() if self.proc.poll() is not None else ""))
        self.url = self.lines[0].strip()
        check(self.url.startswith("http://127.0.0.1:") and self.url.endswith("/"), f"odd address {self.url!r}")
        self.port = int(self.url.split(":")[2].split("/")[0])
        self.token = self.url.rstrip("/").rsplit("/", 1)[1]
        check(len(self.token) == 32 and all(c in "0123456789abcdef" for c in self.token),
              f"the token {self.token!r} is not 128 bits in hex")

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append(line)
            self._arrived.set()
        self._arrived.set()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


# --- the page -----------------------------------------------------------------

PAGE_STATE = """(() => {
  const total = [...document.querySelectorAll('#run th')].find(th => th.textContent.startsWith('Total weight'));
  const painted = [...document.querySelectorAll('canvas[id^="map-"]')].map(c => {
    const px = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    const colours = new Set();
    for (let k = 0; k < px.length; k += 4) if (px[k + 3]) colours.add(px[k] << 16 | px[k + 1] << 8 | px[k + 2]);
    return colours.size;
  });
  const status = document.getElementById('watch-status');
  return {total: total ? total.nextElementSibling.textContent : null, painted,
          version: Number(document.body.dataset.version), status: status.dataset.state, says: status.textContent,
          layout: (document.querySelector('input[name="layout"]:checked') || {}).value,
          ixyScale: (document.querySelector('input[name="scale-IXY"]:checked') || {}).value,
          orientation: (document.querySelector('#section-IXY .orientation') || {}).textContent || '',
          drawing: !!document.querySelector('#system-drawing svg'), sameDocument: window.__sameDocument === true};
})()"""


def page_state(b):
    return b.evaluate(PAGE_STATE)


def wait_for_total(b, total, what):
    """Waits until the page shows total; returns the seconds it took."""
    start = time.monotonic()
    try:
        b.wait_until(f"(() => {{ const s = {PAGE_STATE}; return s.total === {total!r} && s.status === 'live'; }})()",
                     timeout=5)
    except BrowserFailed:
        raise CheckFailed(f"{what}: the page did not show the total {total} within 5 s: {page_state(b)}")
    took = time.monotonic() - start
    check(took <= UPDATE_SECONDS, f"{what}: the page took {took:.2f} s to show the new report")
    return took


def check_page(b, watch, folder, runs, screenshot):
    condenser, reflector = runs["condenser"], runs["reflector"]
    b.open(watch.url)
    b.wait_until("document.body.dataset.version === '1'", timeout=10)
    s = page_state(b)
    check(s["total"] == condenser["total"], f"the page shows the total {s['total']}, not {condenser['total']}")
    check(len(s["painted"]) == 3 and all(n >= 2 for n in s["painted"]),
          f"the three maps are not all drawn (colours per canvas: {s['painted']})")
    check(s["drawing"], "the system drawing is missing though IN_FM.txt lies beside the report")
    check(s["status"] == "live", f"the status line is {s['status']}: {s['says']}")
    print(f"ok: the page shows the folder's report, maps drawn ({s['painted']} colours)")

    b.evaluate("window.__sameDocument = true")
    b.click('input[name="layout"][value="file"]')
    b.click('input[name="scale-IXY"][value="log"]')
    replace_by_rename(os.path.join(folder, "IN_FM.txt"), reflector["sheet"])
    replace_by_rename(os.path.join(folder, "OUT_M.txt"), reflector["report"])
    took = wait_for_total(b, reflector["total"], "OUT_M.txt replaced by rename")
    s = page_state(b)
    check(s["sameDocument"], "the page was reloaded to show the new report")
    check(s["version"] == 2, f"the page shows version {s['version']}, not 2")
    check(s["layout"] == "file" and "layout of the text file" in s["orientation"],
          f"the orientation chosen was not kept: {s['layout']}, {s['orientation']!r}")
    check(s["ixyScale"] == "log", f"the IXY scale chosen was not kept: {s['ixyScale']}")
    check(all(n >= 2 for n in s["painted"]), f"the new maps are not drawn: {s['painted']}")
    print(f"ok: a report replaced by rename shown after {took:.2f} s, orientation and scale kept, no reload")

    report = os.path.join(folder, "OUT_M.txt")
    inode = os.stat(report).st_ino
    rewrite_in_place(report, condenser["report"])
    check(os.stat(report).st_ino == inode, "the report was not rewritten in place")
    took = wait_for_total(b, condenser["total"], "OUT_M.txt rewritten in place")
    print(f"ok: a report truncated and rewritten in place shown after {took:.2f} s")

    version = page_state(b)["version"]
    half = b"".join(condenser["report"].split(b"\r\n")[i] + b"\r\n" for i in range(60))
    rewrite_in_place(report, half)
    try:
        b.wait_until("document.getElementById('watch-status').textContent.includes('not a complete report')",
                     timeout=5)
    except BrowserFailed:
        raise CheckFailed(f"the page did not say the half-written report is incomplete: {page_state(b)}")
    s = page_state(b)
    check(s["status"] == "waiting" and "line 60" in s["says"], f"the status line says {s['says']!r}")
    check(s["total"] == condenser["total"] and s["version"] == version and all(n >= 2 for n in s["painted"]),
          f"the last good report was not kept: {s}")
    print(f"ok: a half-written report is not shown; the page says: {s['says']}")
    b.check_no_errors("the live page")

    written = sorted(os.listdir(folder))
    check(written == sorted(runs["laid_out"]), f"the folder holds {written}, not only what the check put there")
    print("ok: watch wrote nothing into the folder")

    start = time.monotonic()
    done = subprocess.run([runs["varnock"], "run", "-q", "--no-progress", runs["sheets"]["reflector"], "-o", folder],
                          capture_output=True, timeout=60)
    check(done.returncode == 0, f"varnock run into the watched folder failed: {done.stderr.decode(errors='replace')}")
    run_took = time.monotonic() - start
    took = wait_for_total(b, reflector["total"], "a run's set written into the folder")
    print(f"ok: the set varnock run wrote ({run_took:.2f} s) shown {took:.2f} s after the run ended")
    if screenshot:
        b.evaluate("document.getElementById('section-IXY').scrollIntoView(); window.scrollBy(0, -8 - "
                   "document.getElementById('watch-status').offsetHeight - document.querySelector('.toolbar').offsetHeight)")
        b.wait_until("new Promise(done => requestAnimationFrame(() => setTimeout(() => done(true), 100)))")
        b.screenshot(screenshot)
        print(f"ok: screenshot in {screenshot}")
    b.check_no_errors("the live page")


# --- raw requests ---------------------------------------------------------------

def ask(port, method, target, host=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    try:
        connection.putrequest(method, target, skip_host=True, skip_accept_encoding=True)
        connection.putheader("Host", host if host is not None else f"127.0.0.1:{port}")
        connection.endheaders()
        answer = connection.getresponse()
        return answer.status, dict(answer.getheaders()), answer.read()
    finally:
        connection.close()


def check_requests(watch, folder):
    port, token = watch.port, watch.token
    secrets = []
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            head = f.read(48)
        if len(head) >= 16:
            secrets.append((name, head))
    wrong = ("0" if token[0] != "0" else "1") + token[1:]
    refused = [
        ("GET", "/"), ("GET", "/state"), ("GET", "/data"), ("GET", f"/{wrong}/"), ("GET", f"/{wrong}/state"),
        ("GET", "/OUT_M.txt"), ("GET", "/../OUT_M.txt"), ("GET", "/%2e%2e/OUT_M.txt"), ("GET", "/%2e%2e%2fOUT_M.txt"),
        ("GET", f"/{token}/../OUT_M.txt"), ("GET", f"/{token}/%2e%2e/OUT_M.txt"), ("GET", f"/{token}/..%2FOUT_M.txt"),
        ("GET", f"/{token}/%2e%2e%2f%2e%2e%2fetc%2fpasswd"), ("GET", f"/{token}/OUT_M.txt"),
        ("GET", f"/{token}/IN_FM.txt"), ("GET", f"/{token}/run.json"), ("GET", f"/{token}//etc/passwd"),
        ("GET", f"/{token}/state/../../OUT_M.txt"), ("GET", f"/{token}%2FOUT_M.txt"),
        ("GET", f"http://127.0.0.1:{port}/{token}/../OUT_M.txt"), ("GET", os.path.join(folder, "OUT_M.txt")),
        ("POST", "/state"),
    ]
    for method, target in refused:
        status, headers, body = ask(port, method, target)
        check(status in (403, 404), f"{method} {target}: {status}, not 403 or 404")
        check(headers.get("Cache-Control") == "no-store", f"{method} {target}: no Cache-Control: no-store")
        for name, head in secrets:
            check(head not in body, f"{method} {target}: the answer holds bytes of {name}")
    print(f"ok: {len(refused)} requests without the token or beside it: 403 or 404, no file's bytes")

    # Which host, method and target gets what is the routes' unit tests'
    # business; here only that the server on the wire applies them.
    status, headers, _ = ask(port, "POST", f"/{token}/state")
    check(status == 405 and headers.get("Allow") == "GET, HEAD", f"POST with the token: {status}")
    status, _, _ = ask(port, "GET", f"/{token}/", f"evil.example:{port}")
    check(status == 403, f"another Host: {status}, not 403")
    status, headers, body = ask(port, "HEAD", f"/{token}/")
    check(status == 200 and body == b"" and int(headers.get("Content-Length", "0")) > 1000,
          f"HEAD of the page: {status}, {len(body)} bytes, Content-Length {headers.get('Content-Length')}")
    print("ok: POST 405, another host 403, HEAD the headers alone")


# --- the whole check -------------------------------------------------------------

def make_runs(varnock, examples, outdir):
    runs = {"varnock": varnock, "sheets": {}}
    for name in ("condenser", "reflector"):
        sheet = os.path.join(examples, name + ".txt")
        folder = os.path.join(outdir, "run-" + name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        done = subprocess.run([varnock, "run", "-q", "--no-progress", sheet, "-o", folder],
                              capture_output=True, timeout=60)
        check(done.returncode == 0, f"varnock run {sheet} failed: {done.stderr.decode(errors='replace')}")
        with open(os.path.join(folder, "OUT_M.txt"), "rb") as f:
            report = f.read()
        with open(sheet, "rb") as f:
            runs[name] = {"report": report, "total": total_of(report), "sheet": f.read(), "folder": folder}
        runs["sheets"][name] = sheet
    check(runs["condenser"]["total"] != runs["reflector"]["total"], "the two examples give the same total")
    return runs


def main():
    args = sys.argv[1:]
    screenshot = None
    if "--screenshot" in args:
        at = args.index("--screenshot")
        screenshot = os.path.abspath(args[at + 1])
        del args[at:at + 2]
    if len(args) != 4:
        sys.exit("usage: watch_check.py CHROMIUM VARNOCK EXAMPLES OUTDIR [--screenshot PNG]")
    chromium, varnock, examples, outdir = args
    os.makedirs(outdir, exist_ok=True)
    start = time.monotonic()
    watch = None
    try:
        runs = make_runs(varnock, examples, outdir)
        folder = os.path.join(outdir, "exchange")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name in ("OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt"):
            shutil.copy2(os.path.join(runs["condenser"]["folder"], name), os.path.join(folder, name))
        shutil.copy2(runs["sheets"]["condenser"], os.path.join(folder, "IN_FM.txt"))
        runs["laid_out"] = os.listdir(folder)

        for wrong in (os.path.join(outdir, "no-such-folder"), os.path.join(folder, "OUT_M.txt")):
            done = subprocess.run([varnock, "watch", wrong, "--no-browser"], capture_output=True, timeout=10)
            check(done.returncode == 2 and done.stderr.decode().count("\n") == 1 and not done.stdout,
                  f"watch {wrong}: exit {done.returncode}, {done.stderr!r}")

        watch = Watch(varnock, folder)
        with Browser(chromium, timeout=30) as b:
            check_page(b, watch, folder, runs, screenshot)
            check_requests(watch, folder)
            asked = time.monotonic()
            watch.proc.send_signal(signal.SIGINT)
            try:
                code = watch.proc.wait(2)
            except subprocess.TimeoutExpired:
                raise CheckFailed("varnock watch did not end within 2 s of SIGINT")
            check(code == 0, f"varnock watch ended with exit code {code} after SIGINT: {watch.proc.stderr.read()}")
            print(f"ok: SIGINT ended watch with exit code 0 after {time.monotonic() - asked:.2f} s")
            try:
                b.wait_until("document.getElementById('watch-status').dataset.state === 'lost'", timeout=5)
            except BrowserFailed:
                raise CheckFailed(f"the page did not notice that watch has ended: {page_state(b)}")
            b.errors.clear()  # the polls that found no server
        said = "".join(watch.lines)
        check(" shown " in said and " waiting " in said, f"watch did not tell of the reports it showed:\n{said}")
    except (CheckFailed, BrowserFailed) as failure:
        print(f"watch check FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        if watch:
            watch.stop()
    print(f"watch check passed in {time.monotonic() - start:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
