import assert from "node:assert/strict";
import test from "node:test";
import { coord, esc, fixed6, fmt, fmtLog, fmtTick, grouped, plural, seconds } from "../format.js";

test("text for HTML escapes the five special characters and nothing else", () => {
  assert.equal(esc(`<a href="x">Tom & 'Jerry'</a>`), "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
  assert.equal(esc("résultats 結果"), "résultats 結果");
  assert.equal(esc(12), "12");
});

test("counts are grouped by thousands", () => {
  assert.deepEqual([0, 999, 1000, 1234567, 40860].map(grouped), ["0", "999", "1,000", "1,234,567", "40,860"]);
  assert.equal(plural(1, "point"), "1 point");
  assert.equal(plural(1200, "point"), "1,200 points");
});

test("six decimals round the binary value as printf does", () => {
  assert.equal(fixed6(7018.52589), "7018.525890");
  assert.equal(fixed6(-0.0000004), "-0.000000");
  assert.equal(fixed6(12345.678), "12345.678000");
  assert.equal(fixed6(NaN), "nan");
  assert.equal(fixed6(Infinity), "nan");
});

test("cell centres lose the float noise of (i - 20) * pitch", () => {
  assert.equal(coord((23 - 20) * 0.1), "0.3");
  assert.equal(coord((17 - 20) * 0.7), "-2.1");
});

test("values read with six significant digits, exponents at the extremes", () => {
  assert.equal(fmt(0.999285123), "0.999285");
  assert.equal(fmt(0), "0");
  assert.equal(fmt(NaN), "\u2013");
  assert.equal(fmt(12345678), "1.2346e7");
  assert.equal(fmt(0.00001234), "1.2340e-5");
  assert.equal(seconds(0.0517), "0.0517");
  assert.equal(seconds(123.4), "123");
});

test("tick labels carry the decimals their step needs", () => {
  assert.equal(fmtTick(0, 0.5), "0");
  assert.equal(fmtTick(2.5, 0.5), "2.5");
  assert.equal(fmtTick(-10, 5), "-10");
  assert.equal(fmtTick(0.002, 0.001), "0.002");
  assert.equal(fmtTick(2000000, 1000000), "2e6");
  assert.equal(fmtTick(3e-7, 1e-7), "3e-7");
  assert.equal(fmtLog(0.02), "0.02");
  assert.equal(fmtLog(1e7), "1e7");
});
