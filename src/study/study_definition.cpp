#include "study/study_definition.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>

#include "model/c_numbers.h"
#include "model/model.h"
#include "model/sheet_cells.h"
#include "run/run_driver.h"
#include "study/sheet_edit.h"
#include "study/study_json.h"
#include "support/files.h"
#include "support/run_error.h"

namespace varnock {

std::int64_t StudyDefinition::points() const {
  if (kind == Kind::Trials) return trials + 1;
  if (cells.empty()) return 0;
  if (zip) return static_cast<std::int64_t>(cells.front().values.size());
  double n = 1;
  for (const StudyCell& c : cells) n *= static_cast<double>(c.values.size());
  return static_cast<std::int64_t>(n);
}

std::vector<std::string> StudyDefinition::texts(std::int64_t point) const {
  std::vector<std::string> out(cells.size());
  if (kind == Kind::Trials) {
    if (point == 0) return out;  // the nominal sheet, as it is
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const StudyCell& c = cells[i];
      out[i] = cell_text(c.nominal + jitter_draw(c.jitter, seed, static_cast<std::uint64_t>(point), c.cell.sheet_name),
                         c.cell.integer);
    }
    return out;
  }
  // The grid: the last cell's values vary fastest.
  std::int64_t rest = point;
  for (std::size_t i = cells.size(); i-- > 0;) {
    const std::int64_t n = static_cast<std::int64_t>(cells[i].values.size());
    const std::int64_t k = zip ? point : rest % n;
    if (!zip) rest /= n;
    out[i] = cell_text(cells[i].values[static_cast<std::size_t>(k)], cells[i].cell.integer);
  }
  return out;
}

std::vector<double> StudyDefinition::values(std::int64_t point) const {
  const std::vector<std::string> t = texts(point);
  std::vector<double> out;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    // strtod, not stod: a subnormal value reads back rather than throwing.
    out.push_back(t[i].empty() ? cells[i].nominal : std::strtod(t[i].c_str(), nullptr));
  }
  return out;
}

std::string StudyDefinition::sheet(std::int64_t point) const {
  const std::vector<std::string> t = texts(point);
  std::map<std::pair<int, int>, std::string> edits;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!t[i].empty()) edits[{cells[i].cell.column, cells[i].cell.row}] = t[i];
  }
  return edits.empty() ? sheet_text : replace_cells(sheet_text, edits);
}

std::string StudyDefinition::json() const {
  StudyJson j;
  j["kind"] = kind_name();
  j["sheet"] = {{"name", sheet_name}, {"bytes_hex", hex_of_bytes(sheet_text)}};
  StudyJson cs = StudyJson::array();
  for (const StudyCell& c : cells) {
    StudyJson cell = {{"cell", c.cell.sheet_name}, {"name", c.cell.value_name}, {"integer", c.cell.integer},
                      {"nominal", json_number(c.nominal)}};
    if (kind == Kind::Sweep) {
      StudyJson v = StudyJson::array();
      for (double x : c.values) v.push_back(x);
      cell["values"] = v;
    } else {
      cell["jitter"] = {{"kind", c.jitter.kind == Jitter::Kind::Normal ? "normal" : "uniform"},
                        {"width", c.jitter.width}};
    }
    cs.push_back(cell);
  }
  j["cells"] = cs;
  j["zip"] = zip;
  j["trials"] = trials;
  j["seed"] = seed;
  j["mode"] = {{"fast", fast}, {"simd", simd_path_name(simd)}, {"exact_sums", exact_sums}};
  j["statistics"] = statistics;
  j["points"] = points();
  return j.dump(2) + "\n";
}

StudyDefinition StudyDefinition::from_json(const std::string& text) {
  const StudyJson j = StudyJson::parse(text);
  StudyDefinition d;
  d.kind = j.at("kind") == "sweep" ? Kind::Sweep : Kind::Trials;
  d.sheet_name = j.at("sheet").at("name").get<std::string>();
  d.sheet_text = bytes_of_hex(j.at("sheet").at("bytes_hex").get<std::string>());
  d.zip = j.at("zip").get<bool>();
  d.trials = j.at("trials").get<std::int64_t>();
  d.seed = j.at("seed").get<std::uint64_t>();
  const StudyJson& mode = j.at("mode");
  d.fast = mode.at("fast").get<bool>();
  for (SimdPath path : {SimdPath::Auto, SimdPath::Avx512, SimdPath::Avx2, SimdPath::Sse2}) {
    if (mode.at("simd") == simd_path_name(path)) d.simd = path;
  }
  d.exact_sums = mode.at("exact_sums").get<bool>();
  d.statistics = j.contains("statistics") ? j.at("statistics").get<int>() : 1;
  for (const StudyJson& c : j.at("cells")) {
    StudyCell cell;
    cell.cell.sheet_name = c.at("cell").get<std::string>();
    cell.cell.value_name = c.at("name").get<std::string>();
    cell.cell.integer = c.at("integer").get<bool>();
    cell.nominal = number_of(c.at("nominal"));
    if (c.contains("values")) cell.values = c.at("values").get<std::vector<double>>();
    if (c.contains("jitter")) {
      cell.jitter.kind = c.at("jitter").at("kind") == "normal" ? Jitter::Kind::Normal : Jitter::Kind::Uniform;
      cell.jitter.width = c.at("jitter").at("width").get<double>();
    }
    d.cells.push_back(cell);
  }
  return d;
}

namespace {

// More points than any study here needs, and than a grid of values should
// multiply up to by mistake.
constexpr double MOST_POINTS = 1e12;

// The value a cell's text stands for, as the sheet reader reads it.
double read_as_sheet(const std::string& text, bool integer) {
  return integer ? parse_c_int(text).value : parse_c_double(text).value;
}

StudyDefinition definition_base(const Sheet& sheet, Model& model, std::vector<std::string>& warnings) {
  StudyDefinition d;
  load_sheet(model, SheetInput{sheet.bytes(), sheet.name()}, warnings);  // refuses what a run would refuse
  d.sheet_name = display(utf8_path(sheet.name()).filename());
  d.sheet_text = sheet.bytes();
  return d;
}

// The sheet file, refused as a run refuses it.
Sheet read_study_sheet(const std::filesystem::path& sheet) {
  try {
    return Sheet::read(sheet);
  } catch (const Error& e) {
    throw RunError(e.failure());
  }
}

StudyCell resolve(const std::string& name, const Model& model, const SheetCells& cells,
                  std::set<std::string>& seen) {
  StudyCell c;
  c.cell = value_cell(name, model.sys);
  if (!seen.insert(c.cell.sheet_name).second) {
    throw std::invalid_argument(name + " (" + c.cell.sheet_name + ") is given twice");
  }
  c.nominal = read_as_sheet(std::string(cells.at(c.cell.column, c.cell.row)), c.cell.integer);
  return c;
}

void warn_fractional(const StudyCell& c, double v, std::vector<std::string>& warnings) {
  if (c.cell.integer && v != std::floor(v)) {
    warnings.push_back(c.cell.value_name + " is a whole-number cell: " + shortest_text(v) +
                       " is written as it is and reads as " + std::to_string(static_cast<long long>(
                           read_as_sheet(shortest_text(v), true))));
  }
}

}  // namespace

StudyDefinition sweep_definition(const std::filesystem::path& sheet,
                                 const std::vector<std::pair<std::string, std::string>>& sets,
                                 bool zip, std::vector<std::string>& warnings) {
  return sweep_definition(read_study_sheet(sheet), sets, zip, warnings);
}

StudyDefinition sweep_definition(const Sheet& sheet,
                                 const std::vector<std::pair<std::string, std::string>>& sets,
                                 bool zip, std::vector<std::string>& warnings) {
  Model model;
  StudyDefinition d = definition_base(sheet, model, warnings);
  d.kind = StudyDefinition::Kind::Sweep;
  d.zip = zip;
  const SheetCells cells = SheetCells::parse(d.sheet_text);
  std::set<std::string> seen;
  double product = 1;
  for (const auto& [name, values] : sets) {
    StudyCell c = resolve(name, model, cells, seen);
    c.values = parse_sweep_values(values);
    bool warned = false;
    for (double v : c.values) {
      if (!warned && c.cell.integer && v != std::floor(v)) {
        warn_fractional(c, v, warnings);
        warned = true;
      }
    }
    product *= static_cast<double>(c.values.size());
    d.cells.push_back(std::move(c));
  }
  if (d.cells.empty()) throw std::invalid_argument("a sweep needs at least one --set CELL=VALUES");
  if (zip) {
    for (const StudyCell& c : d.cells) {
      if (c.values.size() != d.cells.front().values.size()) {
        throw std::invalid_argument("--zip pairs the values one by one: every --set needs as many (" +
                                    d.cells.front().cell.value_name + " has " +
                                    std::to_string(d.cells.front().values.size()) + ", " + c.cell.value_name +
                                    " " + std::to_string(c.values.size()) + ")");
      }
    }
  } else if (product > MOST_POINTS) {
    throw std::invalid_argument("the grid of all combinations has more than 10^12 points");
  }
  return d;
}

StudyDefinition trials_definition(const std::filesystem::path& sheet,
                                  const std::vector<std::pair<std::string, std::string>>& jitters,
                                  std::int64_t trials, std::uint64_t seed,
                                  std::vector<std::string>& warnings) {
  return trials_definition(read_study_sheet(sheet), jitters, trials, seed, warnings);
}

StudyDefinition trials_definition(const Sheet& sheet,
                                  const std::vector<std::pair<std::string, std::string>>& jitters,
                                  std::int64_t trials, std::uint64_t seed,
                                  std::vector<std::string>& warnings) {
  Model model;
  StudyDefinition d = definition_base(sheet, model, warnings);
  d.kind = StudyDefinition::Kind::Trials;
  if (trials < 0 || static_cast<double>(trials) >= MOST_POINTS) {
    throw std::invalid_argument("--trials must be from 0 to 10^12");
  }
  d.trials = trials;
  d.seed = seed;
  const SheetCells cells = SheetCells::parse(d.sheet_text);
  std::set<std::string> seen;
  for (const auto& [name, spec] : jitters) {
    StudyCell c = resolve(name, model, cells, seen);
    c.jitter = parse_jitter(spec);
    if (c.cell.integer && c.jitter.width > 0) {
      warnings.push_back(c.cell.value_name + " is a whole-number cell: its jittered values are written as "
                         "they are and read as whole numbers");
    }
    d.cells.push_back(std::move(c));
  }
  if (d.cells.empty()) throw std::invalid_argument("trials need at least one --jitter CELL=SPEC");
  return d;
}

}  // namespace varnock
