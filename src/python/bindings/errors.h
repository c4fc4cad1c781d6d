// Failures of the engine as Python exceptions: varnock.Error and its
// subclasses SheetError, OutputError and Unsupported, defined in Python
// (varnock/errors.py) so that they carry file, row, column and message.
#pragma once

#include <pybind11/pybind11.h>

#include <filesystem>

#include "support/files.h"
#include "varnock/sheet.h"
#include "varnock/varnock.h"

namespace varnock_python {

// Raises the exception of a failure (as error_already_set).
[[noreturn]] void raise_failure(const varnock::RunFailure& failure);

// varnock::Error thrown by the library becomes the same exceptions.
void register_error_translator();

// Runs work (a study or an optimisation into folder): a varnock::Error goes
// on as it is, any other failure becomes an output failure of the folder
// (std::invalid_argument there means that it holds other work).
template <typename Work>
void with_folder_failures(const std::filesystem::path& folder, Work&& work) {
  try {
    work();
  } catch (const varnock::Error&) {
    throw;
  } catch (const std::exception& e) {
    throw varnock::Error(varnock::RunFailure{varnock::FailureKind::Output, varnock::display(folder), 0, 0, e.what()});
  }
}

}  // namespace varnock_python
