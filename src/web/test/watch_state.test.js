import assert from "node:assert/strict";
import test from "node:test";
import { needsReport, statusLine, timeOfDay } from "../watch_state.js";

const at = new Date(2024, 0, 1, 9, 5, 7);
const live = (fields) => ({ folder: "C:\\VBA_C_APP64\\", shown: 0, shownAt: null, waiting: null, lost: false,
  failed: null, failedVersion: 0, ...fields });

test("times of day have two digits a part", () => {
  assert.equal(timeOfDay(at), "09:05:07");
  assert.equal(timeOfDay(new Date(2024, 0, 1, 23, 59, 0)), "23:59:00");
});

test("a report is fetched when the server has one the page has neither shown nor failed to draw", () => {
  assert.equal(needsReport({ version: 0 }, live({})), false);
  assert.equal(needsReport({ version: 3 }, live({ shown: 3 })), false);
  assert.equal(needsReport({ version: 4 }, live({ shown: 3 })), true);
  assert.equal(needsReport({ version: 4 }, live({ shown: 3, failedVersion: 4 })), false);
  assert.equal(needsReport({ version: 5 }, live({ shown: 3, failedVersion: 4 })), true);
});

test("the status line says how current the report is, the worst news first", () => {
  const shown = { shown: 2, shownAt: at };
  assert.deepEqual(statusLine(live({ ...shown })), {
    state: "live",
    text: "Live view of C:\\VBA_C_APP64\\: the latest complete report, found at 09:05:07. " +
      "The page redraws itself when a new one is complete.",
  });
  assert.deepEqual(statusLine(live({ ...shown, waiting: "OUT_M.txt is being written" })), {
    state: "waiting",
    text: "Not updated: OUT_M.txt is being written. This is the report found at 09:05:07.",
  });
  assert.deepEqual(statusLine(live({ waiting: "there is no OUT_M.txt in the folder yet" })), {
    state: "empty",
    text: "Waiting for a complete report in C:\\VBA_C_APP64\\: there is no OUT_M.txt in the folder yet.",
  });
  assert.equal(statusLine(live({ ...shown, waiting: "x", failed: "no maps" })).state, "failed");
  const lost = statusLine(live({ ...shown, waiting: "x", failed: "no maps", lost: true }));
  assert.equal(lost.state, "lost");
  assert.match(lost.text, /no longer answers.*found at 09:05:07/);
});
