// The one exception the engine throws: a failure of the run, turned into a
// RunFailure at the API boundary.
#pragma once

#include <exception>
#include <string>

#include "varnock/varnock.h"

namespace varnock {

class RunError : public std::exception {
 public:
  explicit RunError(RunFailure failure) : failure_(std::move(failure)), text_(failure_.describe()) {}
  const RunFailure& failure() const { return failure_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  RunFailure failure_;
  std::string text_;
};

// A problem with the sheet file as a whole.
[[noreturn]] void fail_sheet(const std::string& file, const std::string& message);
// A problem located at a cell (0-based column and row, as the reader counts).
[[noreturn]] void fail_sheet_cell(const std::string& file, int column, int row,
                                  const std::string& message);
// A result file or the output folder cannot be written.
[[noreturn]] void fail_output(const std::string& file, const std::string& message);
// The run was stopped from outside (RunOptions::cancel).
[[noreturn]] void fail_cancelled(const std::string& file);

}  // namespace varnock
