// What the live view says about the folder it shows, and whether it must
// fetch a report: pure functions of what the page knows, so that the node
// tests can take them.

// How often the page asks for the folder's state, and how often once the
// server has stopped answering.
export const POLL_MS = 400;
export const RETRY_MS = 2000;

// A time of day as the status line shows it: 14:03:07.
export function timeOfDay(date) {
  const two = (n) => String(n).padStart(2, "0");
  return `${two(date.getHours())}:${two(date.getMinutes())}:${two(date.getSeconds())}`;
}

// Whether the server has a report the page has not shown (nor failed to
// draw already).
export function needsReport(state, live) {
  return state.version > 0 && state.version !== live.shown && state.version !== live.failedVersion;
}

// The status line: its state ("live", "waiting", "empty", "lost" or
// "failed", which the style sheet colours) and its text. live holds the
// folder, the version shown and when it came (shownAt, a Date), why the
// folder is not shown as it is now (waiting), whether the server has
// stopped answering (lost) and why a report could not be drawn (failed).
export function statusLine(live) {
  const since = live.shownAt ? ` This is the report found at ${timeOfDay(live.shownAt)}.` : "";
  if (live.lost) {
    return { state: "lost", text: `varnock watch no longer answers, so this page is not updated any more.${since}` };
  }
  if (live.failed) {
    return { state: "failed", text: `A new report could not be drawn: ${live.failed}.${since}` };
  }
  if (!live.shown) {
    return { state: "empty", text: `Waiting for a complete report in ${live.folder}: ${live.waiting || "looking"}.` };
  }
  if (live.waiting) {
    return { state: "waiting", text: `Not updated: ${live.waiting}.${since}` };
  }
  return {
    state: "live",
    text: `Live view of ${live.folder}: the latest complete report, found at ${timeOfDay(live.shownAt)}. ` +
      "The page redraws itself when a new one is complete.",
  };
}
