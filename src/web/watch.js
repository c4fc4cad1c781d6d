// The live view varnock watch serves: the report page of the folder's
// latest complete report, redrawn in place, in the orientation and scales
// the reader chose, whenever a new one is complete, under a line that says
// how current it is. It asks the server that sent it for the folder's
// state and, when that has moved on, for the new report.
import { drawPage, readJson } from "./page.js";
import { drawReport, newView, viewFromAddress } from "./report_view.js";
import { POLL_MS, RETRY_MS, needsReport, statusLine } from "./watch_state.js";

const live = { folder: "", shown: 0, shownAt: null, waiting: null, lost: false, failed: null, failedVersion: 0 };
let view = null;

function showStatus() {
  const line = statusLine(live);
  const box = document.getElementById("watch-status");
  box.dataset.state = line.state;
  if (box.textContent !== line.text) box.textContent = line.text;
  // The maps' toolbar sticks under the line, however many lines it wraps to.
  const height = `${box.offsetHeight}px`, root = document.documentElement.style;
  if (root.getPropertyValue("--watch-status-height") !== height) root.setProperty("--watch-status-height", height);
  document.body.dataset.version = String(live.shown);
}

// Draws the report into a new element in the old one's place: the old
// one's listeners go with it, and a report that cannot be drawn puts the
// old one back. The reader stays where they were on the page.
function show(report, version) {
  const old = document.getElementById("report");
  const fresh = document.createElement("main");
  fresh.id = "report";
  const scrolled = window.scrollY;
  old.replaceWith(fresh);
  try {
    drawReport(fresh, report, view);
  } catch (e) {
    fresh.replaceWith(old);
    throw e;
  }
  window.scrollTo(window.scrollX, scrolled);
  document.title = `${report.title}: Varnock live view`;
  live.shown = version;
  live.shownAt = new Date();
  live.failed = null;
}

async function askFor(what) {
  const answer = await fetch(what, { cache: "no-store" });
  if (!answer.ok) throw new Error(`${what}: HTTP ${answer.status}`);
  return answer.json();
}

async function poll() {
  let next = POLL_MS;
  try {
    const state = await askFor("state");
    live.lost = false;
    live.waiting = state.waiting;
    if (needsReport(state, live)) {
      const data = await askFor("data");
      live.waiting = data.waiting;
      if (data.report && data.version !== live.shown) {
        try {
          show(data.report, data.version);
        } catch (e) {
          live.failed = e && e.message ? e.message : String(e);
          live.failedVersion = data.version;
        }
      }
    }
  } catch {
    live.lost = true;
    next = RETRY_MS;
  }
  showStatus();
  setTimeout(poll, next);
}

drawPage(() => {
  const data = readJson("watch-data");
  view = newView(readJson("colormap"));
  viewFromAddress(view);
  live.folder = data.folder;
  live.waiting = data.waiting;
  const bar = document.createElement("div");
  bar.id = "watch-status";
  bar.className = "watch-status";
  bar.setAttribute("role", "status");
  document.body.insertBefore(bar, document.getElementById("report"));
  document.title = "Varnock live view";
  setTimeout(poll, POLL_MS);
  if (data.report) show(data.report, data.version);
  showStatus();
});
