// varnock._core: the engine for Python. The package varnock (its
// __init__.py) builds the documented interface on it.
#include "bindings.h"
#include "errors.h"
#include "varnock/varnock.h"

PYBIND11_MODULE(_core, m) {
  m.doc() = "The Varnock engine; use it through the package varnock.";
  m.attr("__version__") = varnock::version();
  varnock_python::register_error_translator();
  varnock_python::bind_progress(m);
  varnock_python::bind_sheet(m);
  varnock_python::bind_run(m);
  varnock_python::bind_study(m);
  varnock_python::bind_optimize(m);
}
