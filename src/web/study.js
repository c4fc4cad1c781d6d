// sweep.html and trials.html: a study of many runs, drawn from the data
// object the page embeds.
import { esc } from "./format.js";
import { enableSaving } from "./figure_save.js";
import { drawPage, notesBox, readJson } from "./page.js";
import { S, prepare } from "./study_data.js";
import { drawThumb, showThumbCell, stripPoints, stripScale, stripSection } from "./study_strip.js";
import { chartsSection, chooseMode, mainChart } from "./study_sweep.js";
import { parametersSection, pointsSection, summarySection } from "./study_tables.js";
import { correlationsSection, histogramsSection, percentilesSection } from "./study_trials.js";

function render() {
  S.data = prepare(readJson("study-data"), S.pageNotes);
  S.cmap = readJson("colormap");
  const { data, view } = S;
  view.mode = chooseMode();
  const strip = stripPoints(), cs = stripScale(strip.withMap);
  const body = data.kind === "trials"
    ? [summarySection(), parametersSection(), histogramsSection(), correlationsSection(), percentilesSection(), chartsSection()]
    : [summarySection(), parametersSection(), chartsSection()];
  body.push(stripSection(strip, cs), pointsSection());
  const kindName = data.kind === "trials" ? "Tolerance trials" : "Parameter sweep";
  document.title = `${data.title}: Varnock ${data.kind === "trials" ? "trials" : "sweep"}`;
  const root = document.getElementById("report");
  root.innerHTML =
    `<header><h1>${esc(data.title)}</h1><p class="generator">${kindName}: report made by ${esc(data.generatedBy)}</p></header>` +
    notesBox(data.notes.concat(S.pageNotes)) + body.join("");
  for (const canvas of document.querySelectorAll("#ixy-strip canvas.ixy")) {
    const p = data.points.find((x) => String(x.index) === canvas.dataset.point);
    drawThumb(canvas, p, cs);
    canvas.addEventListener("mousemove", (e) => showThumbCell(p, e));
  }
  const select = document.getElementById("quantity");
  select.addEventListener("change", () => {
    view.quantity = select.value;
    document.getElementById("main-chart").innerHTML = mainChart(view.quantity);
  });
  // One reader for every mark on the page: its figure's readout line says
  // what the mark's tooltip says.
  root.addEventListener("mouseover", (e) => {
    const mark = e.target.closest && e.target.closest("[data-tip]");
    const fig = mark && mark.closest("figure");
    const readout = fig && fig.querySelector(".readout");
    if (readout) readout.textContent = mark.dataset.tip;
  });
  enableSaving(root, data.title, S.figures);
}

drawPage(render);
