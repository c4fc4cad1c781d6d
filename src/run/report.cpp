#include "run/report.h"

#include "support/number_text.h"

namespace varnock {
namespace {

std::string bytes(std::initializer_list<unsigned char> list) {
  return std::string(list.begin(), list.end());
}

// Line j of a grid lists cells [0][j] .. [40][j]: the first subscript runs
// across, the second down. Every cell is followed by a tab.
void write_grid(const Grid& grid, OutputFile& out) {
  std::string line;
  for (int j = 0; j < GRID_CELLS; ++j) {
    line.clear();
    for (int i = 0; i < GRID_CELLS; ++i) {
      append_fixed_w10(line, grid[i][j]);
      line += '\t';
    }
    line += "\r\n";
    out.write(line);
  }
}

}  // namespace

// トータル光線数, 透過光線数, 透過光線比
const std::string LABEL_TOTAL = bytes({0x83, 0x67, 0x81, 0x5B, 0x83, 0x5E, 0x83, 0x8B, 0x8C, 0xF5,
                                       0x90, 0xFC, 0x90, 0x94});
const std::string LABEL_TRANS = bytes({0x93, 0xA7, 0x89, 0xDF, 0x8C, 0xF5, 0x90, 0xFC, 0x90, 0x94});
const std::string LABEL_RATIO = bytes({0x93, 0xA7, 0x89, 0xDF, 0x8C, 0xF5, 0x90, 0xFC, 0x94, 0xE4});

void form_totals(Results& res) {
  res.TRANS = 0;
  for (int i = 0; i < GRID_CELLS; ++i) {
    for (int j = 0; j < GRID_CELLS; ++j) res.TRANS = res.TRANS + res.IXY[i][j];
  }
  res.RATIO = res.TRANS / res.TOTAL;  // not a number when nothing was traced
}

void write_report(Results& res, const RunParams& p, OutputFile& out) {
  form_totals(res);

  std::string text = LABEL_TOTAL + "\t\t";
  append_fixed(text, res.TOTAL);
  text += "\r\n" + LABEL_TRANS + "\t\t";
  append_fixed(text, res.TRANS);
  text += "\r\n" + LABEL_RATIO + "\t\t";
  append_fixed(text, res.RATIO);
  text += "\r\n\r\nIXY[i][j](";
  append_fixed(text, p.DXY);
  text += "mm)\r\n";
  out.write(text);
  write_grid(res.IXY, out);

  text = "\r\nIUV[i][j](";
  append_fixed(text, p.DUV);
  text += "rad)\r\n";
  out.write(text);
  write_grid(res.IUV, out);

  text = "\r\nIUV_P[i][j](";
  append_int(text, p.SELI);
  text += '-';
  append_int(text, p.SELJ);
  text += ")\r\n";
  out.write(text);
  write_grid(res.IUV_P, out);

  out.close();
}

}  // namespace varnock
