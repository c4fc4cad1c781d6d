// optimize.html: an optimisation of a sheet's cells, drawn from the data
// object the page embeds: the run at a glance, the merit and the variables'
// paths over the evaluations, the IXY maps of the start and the best point,
// and the goals and variables.
import { esc, grouped } from "./format.js";
import { enableSaving } from "./figure_save.js";
import { drawPage, notesBox, readJson } from "./page.js";
import { meritSection, pathsSection } from "./optimize_charts.js";
import { O, prepare } from "./optimize_data.js";
import { mapsSection, wireMaps } from "./optimize_maps.js";
import { goalsSection, summarySection, variablesSection } from "./optimize_tables.js";

function render() {
  const notes = [];
  O.data = prepare(readJson("optimize-data"), notes);
  O.cmap = readJson("colormap");
  const { data } = O;
  // Stopped early, the page shows the best point found so far: the reader
  // must see that before anything else.
  const stopped = data.stopped
    ? [`The optimisation was stopped (Ctrl-C) after ${grouped(data.evaluationsRun)}` +
       (Number.isInteger(data.evaluations) ? ` of at most ${grouped(data.evaluations)}` : "") +
       " evaluations: the page shows the best point found so far."]
    : [];
  const body = [summarySection(), meritSection(), pathsSection(), mapsSection(), goalsSection(), variablesSection()];
  document.title = `${data.title}: Varnock optimize`;
  const root = document.getElementById("report");
  root.innerHTML =
    `<header><h1>${esc(data.title)}</h1><p class="generator">Optimisation: report made by ${esc(data.generatedBy)}</p></header>` +
    notesBox(stopped.concat(data.notes, notes)) + body.join("");
  wireMaps();
  // One reader for every mark on the page: its figure's readout line says
  // what the mark's tooltip says.
  root.addEventListener("mouseover", (e) => {
    const mark = e.target.closest && e.target.closest("[data-tip]");
    const fig = mark && mark.closest("figure");
    const readout = fig && fig.querySelector(".readout");
    if (readout) readout.textContent = mark.dataset.tip;
  });
  enableSaving(root, data.title, O.figures);
}

drawPage(render);
