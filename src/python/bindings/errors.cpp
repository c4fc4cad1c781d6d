#include "errors.h"

#include "texts.h"
#include "varnock/sheet.h"

namespace py = pybind11;

namespace varnock_python {
namespace {

const char* class_of(varnock::FailureKind kind) {
  switch (kind) {
    case varnock::FailureKind::Sheet: return "SheetError";
    case varnock::FailureKind::Output: return "OutputError";
    case varnock::FailureKind::Unsupported: return "Unsupported";
    case varnock::FailureKind::Cancelled: break;
  }
  return "Error";
}

}  // namespace

void raise_failure(const varnock::RunFailure& f) {
  const py::object type = py::module_::import("varnock.errors").attr(class_of(f.kind));
  const py::object error =
      type(engine_text(f.describe()), file_name_text(f.file), f.row, f.column, engine_text(f.message));
  PyErr_SetObject(type.ptr(), error.ptr());
  throw py::error_already_set();
}

void register_error_translator() {
  py::register_exception_translator([](std::exception_ptr p) {
    if (!p) return;
    try {
      std::rethrow_exception(p);
    } catch (const varnock::Error& e) {
      try {
        raise_failure(e.failure());
      } catch (py::error_already_set& raised) {
        raised.restore();
      }
    }
  });
}

}  // namespace varnock_python
