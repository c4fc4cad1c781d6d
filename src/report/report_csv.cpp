// IXY.csv, IUV.csv and IUV_P.csv: the grids for spreadsheets and scripts.
#include <string>

#include "report/report_page.h"
#include "support/files.h"
#include "support/number_text.h"

namespace varnock {

std::vector<std::string> report_csv_names() { return {"IXY.csv", "IUV.csv", "IUV_P.csv"}; }

void write_report_csv(const ReportFile& r, const PathOf& path_of) {
  struct Sheet {
    const char* name;
    const GridValues* values;
    double pitch;
    const char* unit;
    const char* first;
    const char* second;
  };
  for (const Sheet& s : {Sheet{"IXY", &r.IXY, r.DXY, "mm", "x", "y"},
                         Sheet{"IUV", &r.IUV, 1000 * r.DUV, "mrad", "U", "V"},
                         Sheet{"IUV_P", &r.IUV_P, 1000 * r.DUV, "mrad", "U", "V"}}) {
    std::string text = std::string("# ") + s.name + ": summed ray weight per cell. Columns: " +
                       s.first + " (" + s.unit + ") at the cell centres; rows: " + s.second +
                       " (" + s.unit + "), as the lines of OUT_M.txt.\n";
    text += std::string(s.second) + "\\" + s.first;
    for (int i = 0; i < GRID_SIZE; ++i) {
      text += ',';
      text += fixed_text((i - 20) * s.pitch);
    }
    text += '\n';
    for (int j = 0; j < GRID_SIZE; ++j) {
      text += fixed_text((j - 20) * s.pitch);
      for (int i = 0; i < GRID_SIZE; ++i) {
        text += ',';
        text += fixed_text((*s.values)[i][j]);
      }
      text += '\n';
    }
    OutputFile out(path_of(std::string(s.name) + ".csv"));
    out.write(text);
    out.close();
  }
}

}  // namespace varnock
