#include "support/run_error.h"

#include "model/sheet_cells.h"

namespace varnock {

std::string RunFailure::describe() const {
  std::string text = file.empty() ? std::string("varnock") : file;
  text += ": ";
  if (row > 0 && column > 0) {
    text += "cell " + cell_name(column - 1, row - 1) + " (row " + std::to_string(row) +
            ", column " + std::to_string(column) + "): ";
  }
  return text + message;
}

void fail_sheet(const std::string& file, const std::string& message) {
  throw RunError(RunFailure{FailureKind::Sheet, file, 0, 0, message});
}

void fail_sheet_cell(const std::string& file, int column, int row, const std::string& message) {
  throw RunError(RunFailure{FailureKind::Sheet, file, row + 1, column + 1, message});
}

void fail_output(const std::string& file, const std::string& message) {
  throw RunError(RunFailure{FailureKind::Output, file, 0, 0, message});
}

void fail_cancelled(const std::string& file) {
  throw RunError(RunFailure{FailureKind::Cancelled, file, 0, 0, "the run was stopped before it finished"});
}

}  // namespace varnock
