// varnock.Sheet: an input sheet held as bytes, its value cells read and set
// by name.
#include <pybind11/stl/filesystem.h>

#include <stdexcept>

#include "bindings.h"
#include "texts.h"
#include "varnock/sheet.h"

namespace py = pybind11;

namespace varnock_python {
namespace {

// The front end writes sheets in code page 932 (Shift-JIS).
constexpr const char* SHEET_ENCODING = "cp932";

py::str decoded(const std::string& bytes) {
  return py::reinterpret_steal<py::str>(
      PyUnicode_Decode(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), SHEET_ENCODING, "replace"));
}

// The cell a name means; an unknown name is a KeyError naming the forms.
varnock::CellInfo cell_of(const varnock::Sheet& sheet, const std::string& name) {
  try {
    return sheet.cell(name);
  } catch (const std::invalid_argument& e) {
    std::string why = e.what();  // it quotes the name, which came from Python as UTF-8
    if (why.find("RN2.3") == std::string::npos) {
      why += "; a value cell is named as a spreadsheet shows it (C7) or by its value (RSRC, NSCAN, TH0, "
             "CV3, PA5, STYPE2, RN2, RN2.3)";
    }
    throw py::key_error(why);
  }
}

py::object value_of(const varnock::Sheet& sheet, const std::string& name) {
  const varnock::CellInfo cell = cell_of(sheet, name);
  const double v = sheet.value(name);
  if (cell.whole_number) return py::int_(static_cast<long long>(v));
  return py::float_(v);
}

void set_value(varnock::Sheet& sheet, const std::string& name, const py::object& value) {
  cell_of(sheet, name);
  if (py::isinstance<py::bool_>(value)) {
    throw py::type_error("a cell takes a number or a text, not True or False");
  }
  if (py::isinstance<py::str>(value)) {
    const py::bytes encoded = value.attr("encode")(SHEET_ENCODING);
    sheet.set_text(name, encoded.cast<std::string>());
  } else if (py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value) ||
             py::hasattr(value, "__float__")) {
    sheet.set(name, value.attr("__float__")().cast<double>());
  } else {
    throw py::type_error("a cell takes a number or a text, not " +
                         py::str(py::type::of(value).attr("__name__")).cast<std::string>());
  }
}

}  // namespace

void bind_sheet(py::module_& m) {
  py::class_<varnock::CellInfo>(m, "Cell", "A value cell of a sheet, as a name resolves to it.")
      .def_readonly("column", &varnock::CellInfo::column, "The column, from 1 (A is 1).")
      .def_readonly("row", &varnock::CellInfo::row, "The row, from 1.")
      .def_readonly("sheet_name", &varnock::CellInfo::sheet_name, "Its spreadsheet name, such as 'C7'.")
      .def_readonly("value_name", &varnock::CellInfo::value_name, "The value it holds, such as 'RSRC' or 'TH0'.")
      .def_readonly("whole_number", &varnock::CellInfo::whole_number,
                    "Whether a run reads it as a whole number (counts, type codes, SELI, SELJ).")
      .def("__repr__", [](const varnock::CellInfo& c) {
        return "Cell(" + c.sheet_name + ", " + c.value_name + (c.whole_number ? ", whole number)" : ")");
      });

  py::class_<varnock::Sheet>(m, "Sheet", R"(An input sheet, held in memory as its bytes.

A sheet is the tab-separated text file the spreadsheet front end writes;
its labels may be Shift-JIS. Cells are named as a spreadsheet shows them
('C7') or by the value they hold: 'THMIN', 'RSRC', 'NSCAN', ..., a surface
column with its surface number ('TH0', 'CV3', 'DX1', 'STYPE2', 'PA5') and
an index as 'RN2' (surface 2, first index set) or 'RN2.3' (set 3).

    sheet = varnock.Sheet("lens.txt")
    sheet["TH2"]            # 30.0: the value as a run reads it
    sheet["TH2"] = 25.0     # only that cell's bytes change
    sheet["C7"] = "1.5e-3"  # a text is written as it is
    sheet.write("lens-25.txt")

A name the sheet has no value cell for (a label cell, or a surface beyond
its NSURF) raises KeyError, naming the accepted forms.)")
      .def(py::init([](const std::filesystem::path& path) { return varnock::Sheet::read(path); }),
           py::arg("path"),
           "Reads a sheet file. Raises varnock.SheetError when it cannot be read or is not a sheet file.")
      .def_static(
          "from_bytes",
          [](const py::bytes& data, const std::string& name) {
            return varnock::Sheet::from_bytes(data.cast<std::string>(), name);
          },
          py::arg("data"), py::arg("name") = "sheet",
          "A sheet from its bytes; name is what messages call it.")
      .def_static(
          "from_text",
          [](const py::str& text, const std::string& name) {
            const py::bytes data = text.attr("encode")(SHEET_ENCODING);
            return varnock::Sheet::from_bytes(data.cast<std::string>(), name);
          },
          py::arg("text"), py::arg("name") = "sheet",
          "A sheet from text, encoded as Shift-JIS (code page 932) as the front end writes it.")
      .def_property_readonly(
          "bytes", [](const varnock::Sheet& s) { return py::bytes(s.bytes()); }, "The sheet's bytes.")
      .def_property_readonly(
          "text", [](const varnock::Sheet& s) { return decoded(s.bytes()); },
          "The sheet as text, decoded from Shift-JIS (bytes that are not Shift-JIS become U+FFFD).")
      .def_property_readonly(
          "name", [](const varnock::Sheet& s) { return file_name_text(s.name()); },
          "The file it was read from, or the name it was given.")
      .def("cell", &cell_of, py::arg("name"), "The value cell a name means (raises KeyError if none).")
      .def(
          "cell_text", [](const varnock::Sheet& s, const std::string& name) {
            cell_of(s, name);
            return decoded(s.text(name));
          },
          py::arg("name"), "The cell's text as it stands in the sheet.")
      .def("__getitem__", &value_of, py::arg("name"),
           "The cell's value as a run reads it: an int for a whole-number cell, a float otherwise "
           "(the longest numeric prefix of its text, 0 for an empty cell).")
      .def("__setitem__", &set_value, py::arg("name"), py::arg("value"),
           "Writes a number as the shortest text that reads back as the same value, or a text as it "
           "is. A whole-number cell takes whole numbers only (ValueError).")
      .def(
          "__contains__",
          [](const varnock::Sheet& s, const std::string& name) {
            try {
              s.cell(name);
              return true;
            } catch (const std::invalid_argument&) {
              return false;
            }
          },
          py::arg("name"), "Whether the name means a value cell of this sheet.")
      .def("write", &varnock::Sheet::write, py::arg("path"),
           "Writes the sheet's bytes to a file, replacing it only once they are all written.")
      .def("copy", [](const varnock::Sheet& s) { return s; }, "An independent copy of the sheet.")
      .def("__copy__", [](const varnock::Sheet& s) { return s; })
      .def("__deepcopy__", [](const varnock::Sheet& s, const py::object&) { return s; })
      .def(
          "__eq__", [](const varnock::Sheet& a, const varnock::Sheet& b) { return a.bytes() == b.bytes(); },
          py::is_operator(), "Whether the two sheets hold the same bytes.")
      .def("__repr__", [](const varnock::Sheet& s) {
        return "varnock.Sheet(" + py::repr(file_name_text(s.name())).cast<std::string>() + ", " +
               std::to_string(s.bytes().size()) + " bytes)";
      });
}

}  // namespace varnock_python
