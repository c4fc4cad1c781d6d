// Failures of the engine as Python exceptions: varnock.Error and its
// subclasses SheetError, OutputError and Unsupported, defined in Python
// (varnock/errors.py) so that they carry file, row, column and message.
#pragma once

#include <pybind11/pybind11.h>

#include "varnock/varnock.h"

namespace varnock_python {

// Raises the exception of a failure (as error_already_set).
[[noreturn]] void raise_failure(const varnock::RunFailure& failure);

// varnock::Error thrown by the library becomes the same exceptions.
void register_error_translator();

}  // namespace varnock_python
