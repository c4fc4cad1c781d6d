#include "api/run_record.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <vector>

#include "platform/sha256.h"
#include "support/files.h"

namespace varnock {
namespace {

using Json = nlohmann::ordered_json;

// A number as JSON has it; not-a-number and infinities (a ratio of 0/0) have
// no JSON form and become null.
Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

}  // namespace

std::string file_sha256(const std::filesystem::path& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(open_file(path, "rb"), std::fclose);
  if (!file) throw std::runtime_error(display(path) + ": cannot read: " + last_error_text());
  platform::Sha256 hash;
  std::vector<unsigned char> chunk(1 << 20);
  for (;;) {
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
    hash.update(chunk.data(), got);
    if (got < chunk.size()) break;
  }
  if (std::ferror(file.get())) {
    throw std::runtime_error(display(path) + ": cannot read: " + last_error_text());
  }
  return hash.hex_digest();
}

namespace {

std::string record_text(const std::string& sheet_name, const std::string& sheet_sha256,
                        const std::filesystem::path& output_dir, const RunSuccess& run,
                        const std::string& suffix) {
  const RunTotals& t = run.totals;
  Json record;
  record["program"] = "varnock";
  record["version"] = version();
  record["mode"] = run.mode;
  if (*run.simd != '\0') record["simd"] = run.simd;
  record["sums"] = run.sums;
  record["threads"] = run.threads;
  if (!run.processes.empty()) {
    // A run shared among MPI ranks: each rank's host, threads and maths code.
    Json processes = Json::array();
    for (std::size_t r = 0; r < run.processes.size(); ++r) {
      const ProcessInfo& p = run.processes[r];
      processes.push_back({{"rank", r}, {"host", p.host}, {"threads", p.threads}, {"maths", p.maths}});
    }
    record["processes"] = processes;
  }
  record["sheet"] = {{"path", sheet_name}, {"sha256", sheet_sha256}};
  Json files = Json::object();
  for (const char* name : {FAN_LISTING_FILE, PASS_MARKER_FILE, REPORT_FILE}) {
    const std::filesystem::path path = output_dir / (std::string(name) + suffix);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) continue;  // no pass ran: no OUT_MR.txt
    files[name] = {{"sha256", file_sha256(path)},
                   {"bytes", static_cast<std::uintmax_t>(std::filesystem::file_size(path))}};
  }
  record["files"] = files;
  const double seconds = run.elapsed_seconds;
  record["summary"] = {
      {"fan_rays", t.fan_rays},
      {"source_positions", t.source_positions},
      {"index_sets", t.index_sets},
      {"surfaces", t.surfaces},
      {"rays_traced", t.rays_traced},
      {"ray_surface_steps", t.steps},
      {"total", number(t.total)},
      {"transmitted", number(t.transmitted)},
      {"ratio", number(t.ratio)},
      {"elapsed_seconds", seconds},
      {"steps_per_second", seconds > 0 ? number(static_cast<double>(t.steps) / seconds) : Json(nullptr)},
  };
  // Where the time went: the run.json being written is not in it.
  record["parts_seconds"] = {{"sheet", run.parts.sheet}, {"fan", run.parts.fan},
                             {"trace", run.parts.trace}, {"report", run.parts.report},
                             {"page", run.parts.page}};
  record["warnings"] = run.warnings;
  return record.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string run_record_text(const std::string& sheet_name, std::string_view sheet_bytes,
                            const std::filesystem::path& output_dir, const RunSuccess& run,
                            const std::string& suffix) {
  platform::Sha256 hash;
  hash.update(sheet_bytes.data(), sheet_bytes.size());
  return record_text(sheet_name, hash.hex_digest(), output_dir, run, suffix);
}

std::string run_record_text(const std::filesystem::path& sheet,
                            const std::filesystem::path& output_dir, const RunSuccess& run,
                            const std::string& suffix) {
  return record_text(display(sheet), file_sha256(sheet), output_dir, run, suffix);
}

void write_run_record(const std::filesystem::path& sheet, const std::filesystem::path& output_dir,
                      const RunSuccess& run) {
  const std::string text = run_record_text(sheet, output_dir, run);
  OutputFile out(output_dir / RUN_RECORD_FILE);
  out.write(text);
  out.close();
}

std::optional<RunRecord> read_run_record(const std::filesystem::path& folder) {
  const std::filesystem::path path = folder / RUN_RECORD_FILE;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    throw std::runtime_error(display(path) + ": not a run record (not JSON)");
  }
  RunRecord r;
  try {
    const nlohmann::json& s = j.at("summary");
    auto number = [](const nlohmann::json& v) {
      return v.is_number() ? v.get<double>() : std::numeric_limits<double>::quiet_NaN();
    };
    r.totals.fan_rays = s.at("fan_rays").get<std::int64_t>();
    r.totals.source_positions = s.at("source_positions").get<std::int64_t>();
    r.totals.index_sets = s.at("index_sets").get<int>();
    r.totals.surfaces = s.at("surfaces").get<int>();
    r.totals.rays_traced = s.at("rays_traced").get<std::int64_t>();
    r.totals.steps = s.at("ray_surface_steps").get<std::int64_t>();
    r.totals.total = number(s.at("total"));
    r.totals.transmitted = number(s.at("transmitted"));
    r.totals.ratio = number(s.at("ratio"));
    r.elapsed_seconds = s.at("elapsed_seconds").get<double>();
    r.threads = j.at("threads").get<unsigned>();
    r.mode = j.at("mode").get<std::string>();
    r.simd = j.value("simd", "");
    r.sums = j.value("sums", "serial");
    for (const auto& [name, file] : j.at("files").items()) {
      const std::filesystem::path f = folder / name;
      if (!std::filesystem::is_regular_file(f, ec) || file_sha256(f) != file.at("sha256").get<std::string>()) {
        r.changed_files.push_back(name);
      }
    }
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error(display(path) + ": not a run record: " + e.what());
  }
  return r;
}

}  // namespace varnock
