import assert from "node:assert/strict";
import test from "node:test";
import { linearTicks, logTicks, spacedTicks, wholeTicks } from "../ticks.js";

// The step between ticks is 1, 2 or 5 times a power of ten.
function niceStep(ticks) {
  const step = ticks[1].v - ticks[0].v;
  const mantissa = step / Math.pow(10, Math.floor(Math.log10(step) + 1e-9));
  return [1, 2, 5].some((m) => Math.abs(mantissa - m) < 1e-6);
}

test("linear ticks: at least the count asked for, evenly spaced, inside the range", () => {
  for (const [lo, hi, count] of [[-10.25, 10.25, 5], [0, 10.661121, 5], [0, 71.58, 4], [-0.205, 0.205, 5], [3, 3.0004, 3], [0, 1e9, 5]]) {
    const ticks = linearTicks(lo, hi, count);
    assert.ok(ticks.length >= count, `${lo}..${hi}: ${ticks.length} ticks`);
    assert.ok(ticks.every((t) => t.v >= lo - 1e-9 * Math.abs(hi - lo) && t.v <= hi + 1e-9 * Math.abs(hi - lo)));
    assert.ok(niceStep(ticks), `${lo}..${hi}: step ${ticks[1].v - ticks[0].v}`);
    assert.equal(new Set(ticks.map((t) => t.text)).size, ticks.length, `${lo}..${hi}: repeated labels`);
  }
  assert.deepEqual(linearTicks(-10.25, 10.25, 5).map((t) => t.text), ["-10", "-5", "0", "5", "10"]);
});

test("an empty range gives one tick and no endless loop", () => {
  assert.equal(linearTicks(4, 4, 5).length, 1);
  assert.equal(linearTicks(0, 0, 5)[0].text, "0");
  assert.deepEqual(spacedTicks(1, 1, 10), []);
});

test("log ticks: decades when there are enough, never more than twelve", () => {
  assert.deepEqual(logTicks(0.001, 1000, 5).map((t) => t.text), ["0.001", "0.01", "0.1", "1", "10", "100", "1000"]);
  const narrow = logTicks(2, 9, 5);
  assert.ok(narrow.length >= 5 && narrow.every((t) => t.v >= 2 && t.v <= 9));
  assert.ok(logTicks(1e-30, 1e30, 5).length <= 12);
});

test("whole ticks for counts and indices", () => {
  assert.ok(wholeTicks(0, 3, 5).every((t) => Number.isInteger(t.v)));
  assert.deepEqual(wholeTicks(0.2, 0.4, 3).map((t) => t.v), [0]);
});

test("the drawing's ticks are no finer than a tenth of the span", () => {
  const ticks = spacedTicks(-1.05, 36.05, 10);
  assert.deepEqual(ticks.map((t) => t.text), ["0", "5", "10", "15", "20", "25", "30", "35"]);
  assert.ok(spacedTicks(-12.3, 12.3, 6).some((t) => t.v === 0 && t.text === "0"));
});
