// report.html: a run's totals, the optical system and the three grids as
// false-colour maps, drawn from the data object the page embeds.
import { drawPage, readJson } from "./page.js";
import { drawReport, newView, viewFromAddress } from "./report_view.js";

drawPage(() => {
  const data = readJson("report-data");
  const view = newView(readJson("colormap"));
  viewFromAddress(view);
  drawReport(document.getElementById("report"), data, view);
});
