// One complete run: sheet -> model -> fan -> source-position passes ->
// grids -> report.
#pragma once

#include <filesystem>

#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "source/fan.h"
#include "trace/ray_block.h"
#include "varnock/varnock.h"

namespace varnock {

// Most threads a run starts, whatever it is asked for.
inline constexpr unsigned MAX_THREADS = 256;

// The threads a run uses when asked for `requested`: 0 means the CPUs this
// process may run on.
unsigned resolve_threads(unsigned requested);

// A sheet's bytes, and what its messages call it (its file as given).
struct SheetInput {
  std::string_view bytes;
  std::string name;
};

// Reads a sheet into model.sys (PI included) and lays its fan out, adding
// the sheet's warnings; throws RunError when the sheet is refused (missing,
// unreadable, too large, a fan over the limit). Writes nothing.
FanPlan load_sheet(Model& model, const SheetInput& sheet, std::vector<std::string>& warnings);
FanPlan load_sheet(Model& model, const std::filesystem::path& sheet,
                   std::vector<std::string>& warnings);

// Where a run writes its three files: in place, as main6 does (a failure
// part way then leaves OUT_M.txt empty, so that no earlier report passes
// for this run's), or under names with a temporary suffix that the caller
// moves into place as a set once everything is written; or no folder at
// all, for a run held in memory.
struct OutputNames {
  std::filesystem::path dir;     // empty: no files
  std::string temporary_suffix;  // empty: in place
  std::filesystem::path of(const std::string& name) const { return dir / (name + temporary_suffix); }
  bool none() const { return dir.empty(); }
  bool in_place() const { return temporary_suffix.empty(); }
};

// Runs one sheet into output.dir, tracing its blocks with tracer (the exact
// one, or a fast one the caller chose for options.fast). Throws RunError
// when the sheet is refused, a file cannot be written or the run is
// cancelled; nothing is written for a refused sheet. Every thread it starts
// has ended when it returns.
RunSuccess run_sheet(Model& model, const SheetInput& sheet, const OutputNames& output,
                     const RunOptions& options, const BlockTracer& tracer = {});

// run_sheet with every failure turned into a RunFailure: nothing escapes.
// The second reads the sheet file first.
RunResult run_sheet_result(Model& model, const SheetInput& sheet, const OutputNames& output,
                           const RunOptions& options, const BlockTracer& tracer = {});
RunResult run_sheet_result(Model& model, const std::filesystem::path& sheet,
                           const OutputNames& output, const RunOptions& options,
                           const BlockTracer& tracer = {});

}  // namespace varnock
