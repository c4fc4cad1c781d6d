// The result report OUT_M.txt: three labelled totals, then the grids IXY,
// IUV and IUV_P, each under a header naming its pitch or selected cell.
#pragma once

#include <string>

#include "model/model.h"
#include "support/files.h"

namespace varnock {

// Forms TRANS (the sum of IXY, x cell outer, y cell inner) and RATIO.
void form_totals(Results& res);

// Forms the totals, then writes the 132 lines of the report, CR LF each,
// and closes the file.
void write_report(Results& res, const RunParams& p, OutputFile& out);

// The labels of the totals, as the Shift-JIS (code page 932) bytes the
// front end expects: total ray count, transmitted ray count, transmitted
// ray ratio.
extern const std::string LABEL_TOTAL;
extern const std::string LABEL_TRANS;
extern const std::string LABEL_RATIO;

}  // namespace varnock
