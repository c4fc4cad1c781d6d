// Text from the engine for Python. Messages and warnings are UTF-8 but may
// quote a sheet's cells, which are Shift-JIS; file names are the system's
// bytes. None of them may make a call fail for want of decoding.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <vector>

namespace varnock_python {

// UTF-8 where the text is, else code page 932 with replacement characters.
inline pybind11::str engine_text(const std::string& text) {
  PyObject* s = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
  if (s == nullptr) {
    PyErr_Clear();
    s = PyUnicode_Decode(text.data(), static_cast<Py_ssize_t>(text.size()), "cp932", "replace");
  }
  if (s == nullptr) throw pybind11::error_already_set();
  return pybind11::reinterpret_steal<pybind11::str>(s);
}

inline pybind11::list engine_texts(const std::vector<std::string>& texts) {
  pybind11::list out;
  for (const std::string& t : texts) out.append(engine_text(t));
  return out;
}

// A file name as os.fsdecode gives it (undecodable bytes kept as surrogates).
inline pybind11::str file_name_text(const std::string& name) {
  PyObject* s = PyUnicode_DecodeFSDefaultAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
  if (s == nullptr) throw pybind11::error_already_set();
  return pybind11::reinterpret_steal<pybind11::str>(s);
}

}  // namespace varnock_python
