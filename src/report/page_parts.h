// The parts report.html and a study's sweep.html or trials.html have in
// common, kept here once so that the pages cannot drift apart. Each page lists
// its head and its script as parts in order, its own text between these
// shared pieces, and data_page() joins them around the embedded data.
//
// The script pieces sit inside the page's "(function () { ... })();" and
// lean on what the page defines there: cmap, NAN_RGB and render().
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "report/colormap.h"
#include "report/html_page.h"

namespace varnock {

// The start of the document, up to the page's own <title>.
inline constexpr const char* PAGE_DOCUMENT_START = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="generator" content="varnock">
)PAGE";

// The first rules of the style sheet: the colours, the page's width and type,
// and the two top levels of heading. A study and its runs read alike because
// both pages start from these.
inline constexpr const char* PAGE_BASE_STYLE = R"PAGE(<style>
:root {
  --ink: #1b1b1b; --muted: #5a5a5a; --rule: #c9c9c9; --faint: #f3f3f3;
  --accent: #2b5d8c; --note-bg: #fff3d1; --note-rule: #d99a00;
  --bad-bg: #fde8e8; --bad-rule: #c0392b;
}
* { box-sizing: border-box; }
html { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body {
  margin: 0 auto; max-width: 1360px; padding: 18px 28px 56px;
  font: 15px/1.45 system-ui, "Segoe UI", Roboto, "Helvetica Neue", Arial, sans-serif;
  color: var(--ink); background: #fff;
}
h1 { font-size: 1.7em; margin: 0 0 2px; }
h2 { font-size: 1.3em; margin: 30px 0 8px; padding-bottom: 3px; border-bottom: 2px solid var(--accent); }
)PAGE";

// Muted text and the "Please note" box. It follows the page's own h3 and p
// rules, and the page then adds the rule for the list inside the box.
inline constexpr const char* PAGE_NOTES_STYLE = R"PAGE(.generator, .explain, figcaption { color: var(--muted); }
.notes {
  margin: 16px 0; padding: 10px 16px; background: var(--note-bg);
  border-left: 6px solid var(--note-rule); border-radius: 3px;
}
.notes h2 { border: 0; margin: 0 0 4px; padding: 0; font-size: 1.05em; }
)PAGE";

// The box RENDER_GUARD_SCRIPT shows when a page cannot be drawn, and the
// plain table both pages build on; the page's own rules for numeric cells
// follow.
inline constexpr const char* PAGE_FAILED_AND_TABLE_STYLE = R"PAGE(.render-failed {
  margin: 16px 0; padding: 10px 16px; background: var(--bad-bg);
  border-left: 6px solid var(--bad-rule); white-space: pre-wrap;
}
table { border-collapse: collapse; }
th, td { padding: 3px 10px; border-bottom: 1px solid var(--rule); text-align: left; vertical-align: top; }
)PAGE";

// Reading the embedded JSON and writing text into HTML: readJson(id), esc(s)
// and grouped(n), a count with thousands separators.
inline constexpr const char* TEXT_HELPERS_SCRIPT = R"PAGE(  function readJson(id) { return JSON.parse(document.getElementById(id).textContent); }

  function esc(s) {
    return String(s).replace(/[&<>"']/g, (c) =>
      ({ "&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;", "'": "&#39;" })[c]);
  }

  function grouped(n) { return String(n).replace(/\B(?=(\d{3})+(?!\d))/g, ","); }
)PAGE";

// The ticks of a linear axis, for the maps, the colour bars and the charts
// alike: fmtTick(v, step) and linearTicks(lo, hi, minCount).
inline constexpr const char* CHART_HELPERS_SCRIPT = R"PAGE(  function fmtTick(v, step) {
    if (v === 0) return "0";
    const a = Math.abs(v);
    const decimals = Math.max(0, Math.ceil(-Math.log10(step) - 1e-9));
    if (a >= 1e6 || decimals > 5) {
      const digits = Math.max(0, Math.floor(Math.log10(a)) - Math.floor(Math.log10(step) + 1e-9));
      return v.toExponential(Math.min(digits, 6)).replace("e+", "e");
    }
    return v.toFixed(decimals);
  }

  // Ticks for a linear axis from lo to hi: multiples of 1, 2 or 5 times a
  // power of ten, the coarsest that gives at least minCount of them.
  function linearTicks(lo, hi, minCount) {
    if (!(hi > lo)) return [{ v: lo, text: fmtTick(lo, Math.abs(lo) || 1) }];
    let decade = Math.pow(10, Math.ceil(Math.log10(hi - lo)));
    for (let guard = 0; guard < 40; guard++, decade /= 10) {
      for (const m of [1, 0.5, 0.2]) {
        const step = decade * m;
        const first = Math.ceil(lo / step - 1e-9), last = Math.floor(hi / step + 1e-9);
        if (last - first + 1 >= minCount) {
          const ticks = [];
          for (let k = first; k <= last; k++) ticks.push({ v: k * step, text: fmtTick(k * step, step) });
          return ticks;
        }
      }
    }
    return [{ v: lo, text: String(lo) }, { v: hi, text: String(hi) }];
  }
)PAGE";

// colourOf(t): the colour map's entry for t in [0, 1], by the rule of rgb_of()
// on the C++ side, so that a page colours a grid as the figures do. It reads
// the page's own cmap and NAN_RGB.
inline constexpr const char* COLOUR_OF_SCRIPT = R"PAGE(  function colourOf(t) {
    if (Number.isNaN(t)) return NAN_RGB;
    if (t <= 0) return cmap[0];
    if (t >= 1) return cmap[cmap.length - 1];
    return cmap[Math.min(cmap.length - 1, Math.floor(t * cmap.length))];
  }
)PAGE";

// The end of every page: the call of the page's render() and the close of
// its script and document. A page that fails to draw says so in a box at the
// top instead of staying blank, and body[data-rendered] tells the browser
// checks which of the two happened.
inline constexpr const char* RENDER_GUARD_SCRIPT = R"PAGE(  try {
    render();
    document.body.dataset.rendered = "true";
  } catch (e) {
    const box = document.createElement("div");
    box.className = "render-failed";
    box.id = "render-failed";
    box.textContent = "This report could not be drawn: " + (e && e.stack ? e.stack : e);
    document.body.insertBefore(box, document.body.firstChild);
    document.body.dataset.rendered = "error";
  }
})();
</script>
</body>
</html>
)PAGE";

// A page's head or script, as the parts it is joined from.
using PageParts = std::span<const char* const>;

// The whole page: the head, then the data object (under data_id, the id the
// script reads it by) and the colour map, each in a script element of type
// application/json, then the script that draws the page from them.
inline std::string data_page(PageParts head, std::string_view data_id, const std::string& data_json,
                             PageParts script) {
  std::string page;
  for (const char* part : head) page += part;
  page += "<script type=\"application/json\" id=\"";
  page += data_id;
  page += "\">";
  page += embeddable_json(data_json);
  page += "</script>\n<script type=\"application/json\" id=\"colormap\">";
  page += colormap_json();
  page += "</script>\n";
  for (const char* part : script) page += part;
  return page;
}

}  // namespace varnock
