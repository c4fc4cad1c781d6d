#include "study/study.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <thread>

#include "model/c_numbers.h"
#include "model/model.h"
#include "model/sheet_cells.h"
#include "platform/platform.h"
#include "run/run_driver.h"
#include "study/sheet_edit.h"
#include "study/study_page.h"
#include "study/trial_statistics.h"
#include "support/files.h"
#include "support/number_text.h"
#include "support/process_files.h"
#include "support/run_error.h"
#include "varnock/sheet.h"

namespace varnock {
namespace {

using Json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;

constexpr const char* STUDY_FILE = "study.json";
constexpr const char* POINTS_FOLDER = "points";
// More points than any study here needs, and than a grid of values should
// multiply up to by mistake.
constexpr double MOST_POINTS = 1e12;
// Ray-surface steps from which a point counts as large: about a second on
// one core.
constexpr std::int64_t LARGE_POINT_STEPS = 5'000'000;

// What a study's processes write and may leave behind when killed: files
// under temporary names (and the scratch folders of workers of earlier
// versions, which ran their points through files).
void remove_leftovers(const std::filesystem::path& folder) {
  const auto ours = [](const std::string& name) {
    return name.rfind(".work-", 0) == 0 || name.find(".varnock-tmp-") != std::string::npos;
  };
  remove_left_by_dead_processes(folder, ours);
  remove_left_by_dead_processes(folder / POINTS_FOLDER, ours);
}

std::string hex(const std::string& bytes) {
  static const char* const digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string unhex(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return out;
}

// The value a cell's text stands for, as the sheet reader reads it.
double read_as_sheet(const std::string& text, bool integer) {
  return integer ? parse_c_int(text).value : parse_c_double(text).value;
}

Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }
double number_of(const Json& j) { return j.is_number() ? j.get<double>() : NAN; }

std::string point_file(std::int64_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "%08lld.json", static_cast<long long>(index));
  return name;
}

const char* const MAPS[] = {"IXY", "IUV", "IUV_P"};

// The statistics the CSV and the charts show, by key.
std::vector<std::pair<std::string, double>> quantities(const PointRecord& r) {
  std::vector<std::pair<std::string, double>> q;
  q.emplace_back("total", r.totals.total);
  q.emplace_back("transmitted", r.totals.transmitted);
  q.emplace_back("ratio", r.totals.ratio);
  for (const char* m : MAPS) {
    const auto it = r.stats.find(m);
    const std::optional<MapStatistics> s = it == r.stats.end() ? std::nullopt : it->second;
    const std::string k = m;
    auto put = [&](const std::string& key, double v) { q.emplace_back(k + "_" + key, s ? v : NAN); };
    put("peak", s ? s->peak : 0);
    put("peak_x", s ? s->peak_at[0] : 0);
    put("peak_y", s ? s->peak_at[1] : 0);
    put("centroid_x", s ? s->centroid[0] : 0);
    put("centroid_y", s ? s->centroid[1] : 0);
    put("rms_x", s ? s->rms_width[0] : 0);
    put("rms_y", s ? s->rms_width[1] : 0);
    put("fwhm_x", s ? s->fwhm[0] : 0);
    put("fwhm_y", s ? s->fwhm[1] : 0);
    put("uniformity_min_mean", s ? s->uniformity_min_mean : 0);
    put("uniformity_std_mean", s ? s->uniformity_std_mean : 0);
  }
  return q;
}

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string study_csv(const StudyDefinition& d, const std::vector<PointRecord>& records) {
  std::string csv = "point";
  for (const StudyCell& c : d.cells) csv += "," + c.cell.value_name;
  csv += ",status,message";
  const PointRecord empty;
  for (const auto& [key, value] : quantities(empty)) {
    csv += ',';
    csv += key;
  }
  csv += '\n';
  for (const PointRecord& r : records) {
    csv += std::to_string(r.index);
    for (std::size_t i = 0; i < d.cells.size(); ++i) {
      csv += ',';
      csv += csv_field(i < r.texts.size() && !r.texts[i].empty() ? r.texts[i] : shortest_text(r.values[i]));
    }
    if (r.ok) {
      csv += ",ok,";
    } else {
      csv += ",failed,";
      csv += csv_field(r.message);
    }
    for (const auto& [key, value] : quantities(r)) {
      csv += ",";
      if (r.ok && !std::isnan(value)) csv += shortest_text(value);  // every digit the double has
      else if (r.ok && key == "ratio") csv += "nan";
    }
    csv += "\n";
  }
  return csv;
}

// The unit of a value cell, by its name, for the charts' axes.
std::string unit_of(const std::string& value_name) {
  static const std::pair<const char*, const char*> UNITS[] = {
      {"THMIN", "rad"}, {"THMAX", "rad"}, {"RSRC", "mm"}, {"WSCAN", "mm"}, {"DXY", "mm"},
      {"DUV", "rad"},   {"CV", "1/mm"},   {"TH", "mm"},   {"DX", "mm"},    {"DY", "mm"}};
  for (const auto& [name, unit] : UNITS) {
    const std::string n = name;
    if (value_name == n) return unit;
    const bool surface_column = n.size() == 2 && value_name.rfind(n, 0) == 0 && value_name.size() > 2 &&
                                std::isdigit(static_cast<unsigned char>(value_name[2]));
    if (surface_column) return unit;
  }
  return "";
}

std::string study_page_data(const StudyDefinition& d, const std::vector<PointRecord>& records,
                            const std::vector<std::string>& notes, double elapsed, unsigned threads) {
  Json data;
  data["kind"] = d.kind_name();
  data["title"] = d.sheet_name;
  data["generated_by"] = std::string("varnock ") + version();
  std::int64_t failed = 0;
  for (const PointRecord& r : records) failed += r.ok ? 0 : 1;
  data["summary"] = {{"points", records.size()}, {"failed", failed}, {"elapsed_seconds", elapsed}, {"threads", threads}};
  data["notes"] = notes;
  Json parameters = Json::array(), jitter = Json::array();
  for (const StudyCell& c : d.cells) {
    parameters.push_back({{"name", c.cell.value_name}, {"cell", c.cell.sheet_name}, {"unit_hint", unit_of(c.cell.value_name)}});
    if (d.kind == StudyDefinition::Kind::Trials) {
      jitter.push_back({{"name", c.cell.value_name},
                        {"draw", std::string(c.jitter.kind == Jitter::Kind::Normal ? "normal:" : "uniform:") +
                                     shortest_text(c.jitter.width)},
                        {"nominal", c.nominal}});
    }
  }
  data["parameters"] = parameters;
  data["jitter"] = d.kind == StudyDefinition::Kind::Trials ? jitter : Json(nullptr);
  if (d.kind == StudyDefinition::Kind::Sweep && !d.zip && d.cells.size() == 2) {
    data["grid"] = {{"shape", {d.cells[0].values.size(), d.cells[1].values.size()}}};
  } else {
    data["grid"] = nullptr;
  }
  Json q = Json::array();
  for (const auto& [key, value] : quantities(PointRecord{})) {
    std::string label = key;
    std::replace(label.begin(), label.end(), '_', ' ');
    q.push_back({{"key", key}, {"label", label}});
  }
  data["quantities"] = q;
  Json points = Json::array();
  for (const PointRecord& r : records) {
    Json p;
    p["index"] = r.index;
    Json values = Json::array();
    for (double v : r.values) values.push_back(number(v));
    p["values"] = values;
    p["texts"] = r.texts;
    p["ok"] = r.ok;
    p["message"] = r.message;
    Json qs = Json::object();
    for (const auto& [key, value] : quantities(r)) qs[key] = r.ok ? number(value) : Json(nullptr);
    p["q"] = qs;
    if (r.ixy) {
      Json grid = Json::array();
      for (const auto& column : *r.ixy) {
        Json col = Json::array();
        for (double v : column) col.push_back(number(v));
        grid.push_back(col);
      }
      p["ixy"] = grid;
    } else {
      p["ixy"] = nullptr;
    }
    points.push_back(p);
  }
  data["points"] = points;
  // The strip draws every map at one scale: the first point's cell pitch.
  // A study that varies the pitch itself says so on the page.
  double pitch = 0;
  bool pitch_varies = false;
  for (const PointRecord& r : records) {
    if (!r.ok) continue;
    if (pitch == 0) pitch = r.dxy;
    else if (r.dxy != pitch) pitch_varies = true;
  }
  data["ixy_pitch"] = pitch;
  if (pitch_varies) {
    data["notes"].push_back("the IXY cell pitch differs between points: the strip's axes use the first point's, " +
                            shortest_text(pitch) + " mm");
  }
  data["statistics"] = trial_statistics(data);
  return data.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The records in a folder's points/, by index.
std::map<std::int64_t, std::string> records_in(const std::filesystem::path& folder) {
  std::map<std::int64_t, std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder / POINTS_FOLDER, ec)) {
    const std::string name = display(entry.path().filename());
    if (name.size() != 13 || name.substr(8) != ".json" ||
        name.substr(0, 8).find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    found[std::stoll(name.substr(0, 8))] = read_whole_file(entry.path());
  }
  return found;
}

void write_outputs(const StudyDefinition& d, const std::vector<PointRecord>& records,
                   const std::filesystem::path& folder, const std::vector<std::string>& notes,
                   double elapsed, unsigned threads) {
  const std::string base = d.kind_name();
  write_atomically(folder / (base + ".csv"), study_csv(d, records));
  write_atomically(folder / (base + ".html"), study_page(study_page_data(d, records, notes, elapsed, threads)));
}

std::vector<std::string> failed_notes(const std::vector<PointRecord>& records) {
  std::vector<std::string> notes;
  for (const PointRecord& r : records) {
    if (!r.ok) notes.push_back(r.message);
  }
  return notes;
}

}  // namespace

// --- the definition ---------------------------------------------------------

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
  Json j;
  j["kind"] = kind_name();
  j["sheet"] = {{"name", sheet_name}, {"bytes_hex", hex(sheet_text)}};
  Json cs = Json::array();
  for (const StudyCell& c : cells) {
    Json cell = {{"cell", c.cell.sheet_name}, {"name", c.cell.value_name}, {"integer", c.cell.integer},
                 {"nominal", number(c.nominal)}};
    if (kind == Kind::Sweep) {
      Json v = Json::array();
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
  j["points"] = points();
  return j.dump(2) + "\n";
}

StudyDefinition StudyDefinition::from_json(const std::string& text) {
  const Json j = Json::parse(text);
  StudyDefinition d;
  d.kind = j.at("kind") == "sweep" ? Kind::Sweep : Kind::Trials;
  d.sheet_name = j.at("sheet").at("name").get<std::string>();
  d.sheet_text = unhex(j.at("sheet").at("bytes_hex").get<std::string>());
  d.zip = j.at("zip").get<bool>();
  d.trials = j.at("trials").get<std::int64_t>();
  d.seed = j.at("seed").get<std::uint64_t>();
  const Json& mode = j.at("mode");
  d.fast = mode.at("fast").get<bool>();
  for (SimdPath path : {SimdPath::Auto, SimdPath::Avx512, SimdPath::Avx2, SimdPath::Sse2}) {
    if (mode.at("simd") == simd_path_name(path)) d.simd = path;
  }
  d.exact_sums = mode.at("exact_sums").get<bool>();
  for (const Json& c : j.at("cells")) {
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

// --- records ----------------------------------------------------------------

std::string PointRecord::json() const {
  Json j;
  j["index"] = index;
  j["texts"] = texts;
  Json v = Json::array();
  for (double x : values) v.push_back(number(x));
  j["values"] = v;
  j["ok"] = ok;
  j["message"] = message;
  j["dxy"] = number(dxy);
  j["duv"] = number(duv);
  j["totals"] = {{"total", number(totals.total)},
                 {"transmitted", number(totals.transmitted)},
                 {"ratio", number(totals.ratio)},
                 {"fan_rays", totals.fan_rays},
                 {"source_positions", totals.source_positions},
                 {"rays_traced", totals.rays_traced},
                 {"steps", totals.steps}};
  Json stats = Json::object();
  for (const auto& [name, s] : this->stats) {
    if (!s) {
      stats[name] = nullptr;
      continue;
    }
    stats[name] = {{"sum", s->sum}, {"peak", s->peak}, {"peak_cell", s->peak_cell}, {"peak_at", s->peak_at},
                   {"centroid", s->centroid}, {"rms_width", s->rms_width}, {"fwhm", s->fwhm},
                   {"uniformity_min_mean", s->uniformity_min_mean},
                   {"uniformity_std_mean", s->uniformity_std_mean}, {"lit_cells", s->lit_cells}};
  }
  j["stats"] = stats;
  if (ixy) {
    Json grid = Json::array();
    for (const auto& column : *ixy) grid.push_back(Json(column));
    j["ixy"] = grid;
  } else {
    j["ixy"] = nullptr;
  }
  return j.dump() + "\n";
}

PointRecord PointRecord::from_json(const std::string& text) {
  const Json j = Json::parse(text);
  PointRecord r;
  r.index = j.at("index").get<std::int64_t>();
  r.texts = j.at("texts").get<std::vector<std::string>>();
  for (const Json& v : j.at("values")) r.values.push_back(number_of(v));
  r.ok = j.at("ok").get<bool>();
  r.message = j.at("message").get<std::string>();
  r.dxy = number_of(j.at("dxy"));
  r.duv = number_of(j.at("duv"));
  const Json& t = j.at("totals");
  r.totals.total = number_of(t.at("total"));
  r.totals.transmitted = number_of(t.at("transmitted"));
  r.totals.ratio = number_of(t.at("ratio"));
  r.totals.fan_rays = t.at("fan_rays").get<std::int64_t>();
  r.totals.source_positions = t.at("source_positions").get<std::int64_t>();
  r.totals.rays_traced = t.at("rays_traced").get<std::int64_t>();
  r.totals.steps = t.at("steps").get<std::int64_t>();
  for (const auto& [name, s] : j.at("stats").items()) {
    if (s.is_null()) {
      r.stats[name] = std::nullopt;
      continue;
    }
    MapStatistics m;
    m.sum = s.at("sum").get<double>();
    m.peak = s.at("peak").get<double>();
    m.peak_cell = s.at("peak_cell").get<std::array<int, 2>>();
    m.peak_at = s.at("peak_at").get<std::array<double, 2>>();
    m.centroid = s.at("centroid").get<std::array<double, 2>>();
    m.rms_width = s.at("rms_width").get<std::array<double, 2>>();
    m.fwhm = s.at("fwhm").get<std::array<double, 2>>();
    m.uniformity_min_mean = s.at("uniformity_min_mean").get<double>();
    m.uniformity_std_mean = s.at("uniformity_std_mean").get<double>();
    m.lit_cells = s.at("lit_cells").get<int>();
    r.stats[name] = m;
  }
  if (!j.at("ixy").is_null()) {
    GridValues g{};
    for (int i = 0; i < GRID_SIZE; ++i) {
      for (int k = 0; k < GRID_SIZE; ++k) g[i][k] = number_of(j.at("ixy").at(i).at(k));
    }
    r.ixy = g;
  }
  return r;
}

namespace {

// The point's record, or nothing when the study was asked to stop.
std::optional<PointRecord> run_point(const StudyDefinition& d, std::int64_t index,
                                     const std::filesystem::path& dir, const StudyOptions& options,
                                     unsigned threads, std::atomic<std::int64_t>* steps) {
  PointRecord r;
  r.index = index;
  r.texts = d.texts(index);
  r.values = d.values(index);
  const Sheet sheet = Sheet::from_bytes(d.sheet(index), SHEET_FILE);
  RunOptions run_options;
  run_options.threads = threads;
  run_options.fast = d.fast;
  run_options.simd = d.simd;
  run_options.exact_sums = d.exact_sums;
  run_options.cancel = options.cancel;
  run_options.write_report_page = options.keep_runs;
  run_options.write_run_record = options.keep_runs;
  if (steps) run_options.on_size = [steps](const RunSize& size) { *steps = size.steps; };
  // A fresh model: the point's results are a first run's. Only kept runs
  // write files, the point's sheet among them.
  RunResult result = [&] {
    if (!options.keep_runs) return run(sheet, run_options);
    std::filesystem::create_directories(dir);
    sheet.write(dir / SHEET_FILE);
    return run(sheet, run_options, dir);
  }();
  if (!result.ok()) {
    const RunFailure& f = result.failure();
    if (f.kind == FailureKind::Cancelled) return std::nullopt;
    r.message = "point " + std::to_string(index) + ": " +
                (f.row > 0 ? "cell " + cell_name(f.column - 1, f.row - 1) + ": " : std::string()) + f.message;
    return r;
  }
  const RunSuccess& ran = result.success();
  r.ok = true;
  r.totals = ran.totals;
  r.dxy = ran.maps.DXY;
  r.duv = ran.maps.DUV;
  r.stats["IXY"] = map_statistics(ran.maps.IXY, ran.maps.DXY);
  r.stats["IUV"] = map_statistics(ran.maps.IUV, 1000 * ran.maps.DUV);
  r.stats["IUV_P"] = map_statistics(ran.maps.IUV_P, 1000 * ran.maps.DUV);
  r.ixy = ran.maps.IXY;
  return r;
}

std::vector<PointRecord> all_records(const std::map<std::int64_t, std::string>& found) {
  std::vector<PointRecord> records;
  for (const auto& [index, text] : found) records.push_back(PointRecord::from_json(text));
  return records;
}

}  // namespace

StudyResult run_study(const StudyDefinition& d, const StudyOptions& options) {
  const Clock::time_point start = Clock::now();
  const std::filesystem::path& folder = options.folder;
  std::filesystem::create_directories(folder / POINTS_FOLDER);
  StudyResult result;
  result.kind = d.kind_name();
  result.sheet_name = d.sheet_name;
  result.points = d.points();
  if (options.tasks < 1 || options.task < 0 || options.task >= options.tasks) {
    throw std::invalid_argument("task " + std::to_string(options.task) + " is not one of " +
                                std::to_string(options.tasks) + " shares");
  }
  const std::string definition = d.json();
  const std::filesystem::path study_file = folder / STUDY_FILE;
  std::error_code ec;
  if (std::filesystem::exists(study_file, ec)) {
    if (read_whole_file(study_file) != definition) {
      throw std::invalid_argument(display(folder) + " holds another study (its study.json differs); choose another "
                               "folder, or remove that one");
    }
    if (!options.resume) {
      bool removed = false;
      for (const auto& [index, text] : records_in(folder)) {
        if (index % options.tasks != options.task) continue;
        std::filesystem::remove(folder / POINTS_FOLDER / point_file(index), ec);
        removed = true;
      }
      if (removed) {
        result.notes.push_back("the folder held this study already; it starts afresh (--resume keeps what was done)");
      }
    }
  }
  write_atomically(study_file, definition);
  remove_leftovers(folder);

  std::vector<std::int64_t> pending;
  const std::map<std::int64_t, std::string> done = records_in(folder);
  for (std::int64_t i = options.task; i < result.points; i += options.tasks) {
    if (!done.count(i)) pending.push_back(i);
  }

  // How the points share the threads. The first point runs alone on all of
  // them and its size decides for the rest: small points run side by side,
  // one thread each (a run's own threads gain little on a small run), large
  // ones one after another on all threads (a large run's threads are nearly
  // all gain, and no core idles while the last point finishes alone).
  const unsigned cpus = resolve_threads(options.threads);
  std::atomic<std::int64_t> first_steps{0};
  std::atomic<std::size_t> next{0};
  std::atomic<std::int64_t> finished{0};
  std::atomic<bool> stopped{false};
  std::mutex progress_mutex;
  std::exception_ptr failure;
  auto work = [&](unsigned threads, std::size_t until) {
    try {
      for (std::size_t k; (k = next++) < until;) {
        if (stopped || (options.cancel && options.cancel->load())) {
          stopped = true;
          break;
        }
        const std::int64_t index = pending[k];
        char name[32];
        std::snprintf(name, sizeof name, "%06lld", static_cast<long long>(index));
        const std::filesystem::path dir = options.keep_runs ? folder / "runs" / name : std::filesystem::path();
        const std::optional<PointRecord> r =
            run_point(d, index, dir, options, threads, k == 0 ? &first_steps : nullptr);
        if (!r) {
          stopped = true;
          break;
        }
        write_atomically(folder / POINTS_FOLDER / point_file(index), r->json());
        const std::int64_t n = ++finished;
        if (options.on_progress) {
          std::lock_guard<std::mutex> lock(progress_mutex);
          options.on_progress(n, static_cast<std::int64_t>(pending.size()),
                              std::chrono::duration<double>(Clock::now() - start).count());
        }
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(progress_mutex);
      if (!failure) failure = std::current_exception();
      stopped = true;
    }
  };
  if (!pending.empty()) work(cpus, 1);
  next = 1;  // the first point's worker counted past it
  if (!failure && !stopped && pending.size() > 1) {
    const bool large = first_steps.load() >= LARGE_POINT_STEPS;
    const unsigned workers =
        large ? 1u : static_cast<unsigned>(std::min<std::size_t>(cpus, pending.size() - 1));
    const unsigned threads_each = std::max(1u, cpus / workers);
    std::vector<std::thread> helpers;
    for (unsigned w = 1; w < workers; ++w) helpers.emplace_back(work, threads_each, pending.size());
    work(threads_each, pending.size());
    for (std::thread& t : helpers) t.join();
  }
  if (failure) std::rethrow_exception(failure);
  result.run_now = finished;
  result.cancelled = stopped && finished < static_cast<std::int64_t>(pending.size());
  if (!options.write_outputs) return result;
  const StudyResult finished_study =
      finish_study(d, folder, std::chrono::duration<double>(Clock::now() - start).count(), cpus);
  result.failed = finished_study.failed;
  result.complete = finished_study.complete;
  return result;
}

StudyResult finish_study(const StudyDefinition& d, const std::filesystem::path& folder,
                         double elapsed_seconds, unsigned threads) {
  StudyResult result;
  result.kind = d.kind_name();
  result.sheet_name = d.sheet_name;
  result.points = d.points();
  const std::map<std::int64_t, std::string> now = records_in(folder);
  const std::vector<PointRecord> records = all_records(now);
  for (const PointRecord& r : records) result.failed += r.ok ? 0 : 1;
  result.complete = static_cast<std::int64_t>(now.size()) == result.points;
  if (result.complete) write_outputs(d, records, folder, failed_notes(records), elapsed_seconds, threads);
  return result;
}

StudyResult merge_studies(const std::vector<std::filesystem::path>& folders,
                          const std::filesystem::path& output) {
  if (folders.empty()) throw std::invalid_argument("merge needs at least one study folder");
  std::error_code missing_ec;
  if (!std::filesystem::is_regular_file(folders.front() / STUDY_FILE, missing_ec)) {
    throw std::invalid_argument(display(folders.front()) + " is not a study folder (it has no study.json)");
  }
  const std::string definition = read_whole_file(folders.front() / STUDY_FILE);
  std::map<std::int64_t, std::string> all;
  for (const std::filesystem::path& f : folders) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(f / STUDY_FILE, ec)) {
      throw std::invalid_argument(display(f) + " is not a study folder (it has no study.json)");
    }
    if (read_whole_file(f / STUDY_FILE) != definition) {
      throw std::invalid_argument(display(f) + " holds another study than " + display(folders.front()) +
                               " (their study.json differ)");
    }
    for (const auto& [index, text] : records_in(f)) {
      const auto [it, added] = all.emplace(index, text);
      if (!added && it->second != text) {
        throw std::invalid_argument("point " + std::to_string(index) + " differs between the folders");
      }
    }
  }
  const StudyDefinition d = StudyDefinition::from_json(definition);
  StudyResult result;
  result.kind = d.kind_name();
  result.sheet_name = d.sheet_name;
  result.points = d.points();
  std::vector<std::int64_t> missing;
  for (std::int64_t i = 0; i < result.points && missing.size() < 20; ++i) {
    if (!all.count(i)) missing.push_back(i);
  }
  if (!missing.empty()) {
    std::string list;
    for (std::int64_t i : missing) list += (list.empty() ? "" : ", ") + std::to_string(i);
    throw std::invalid_argument("the folders hold " + std::to_string(all.size()) + " of the study's " +
                             std::to_string(result.points) + " points; missing: " + list +
                             (missing.size() == 20 ? ", ..." : ""));
  }
  std::filesystem::create_directories(output / POINTS_FOLDER);
  write_atomically(output / STUDY_FILE, definition);
  for (const auto& [index, text] : all) {
    const std::filesystem::path target = output / POINTS_FOLDER / point_file(index);
    std::error_code ec;
    if (!std::filesystem::exists(target, ec)) write_atomically(target, text);
  }
  const std::vector<PointRecord> records = all_records(all);
  for (const PointRecord& r : records) result.failed += r.ok ? 0 : 1;
  result.complete = true;
  write_outputs(d, records, output, failed_notes(records), 0, 0);
  return result;
}

}  // namespace varnock
