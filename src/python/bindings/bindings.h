// The parts of the extension module varnock._core, one file each.
#pragma once

#include <pybind11/pybind11.h>

namespace varnock_python {

void bind_sheet(pybind11::module_& m);
void bind_progress(pybind11::module_& m);
void bind_run(pybind11::module_& m);
void bind_study(pybind11::module_& m);
void bind_optimize(pybind11::module_& m);

}  // namespace varnock_python
