// varnock._core.study: a sweep or trials of a sheet held in memory, run by
// the study room into a folder (its points on disk, so that it can resume),
// the same definitions, draws and table as varnock sweep and varnock trials.
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <stdexcept>

#include "bindings.h"
#include "blocking_call.h"
#include "errors.h"
#include "texts.h"
#include "study/study.h"
#include "support/files.h"
#include "support/run_error.h"

namespace py = pybind11;

namespace varnock_python {
namespace {

using Specs = std::vector<std::pair<std::string, std::string>>;

varnock::StudyDefinition define(const std::string& kind, const varnock::Sheet& sheet, const Specs& specs,
                                bool zip, std::int64_t trials, std::uint64_t seed,
                                std::vector<std::string>& warnings) {
  try {
    if (kind == "sweep") return varnock::sweep_definition(sheet, specs, zip, warnings);
    return varnock::trials_definition(sheet, specs, trials, seed, warnings);
  } catch (const varnock::RunError& e) {
    raise_failure(e.failure());
  }
}

}  // namespace

void bind_study(py::module_& m) {
  m.def(
      "study",
      [](const std::string& kind, const varnock::Sheet& sheet, const Specs& specs, bool zip, std::int64_t trials,
         std::uint64_t seed, const std::filesystem::path& folder, bool resume, bool fast, unsigned threads,
         bool exact_sums, const py::object& progress) {
        if (kind != "sweep" && kind != "trials") throw py::value_error("a study is a sweep or trials");
        std::vector<std::string> warnings;
        varnock::StudyDefinition definition = define(kind, sheet, specs, zip, trials, seed, warnings);
        definition.fast = fast;
        definition.exact_sums = exact_sums;
        varnock::StudyResult result;
        call_without_gil(
            [&](const std::atomic<bool>& cancel, ProgressSlot& slot) {
              varnock::StudyOptions options;
              options.folder = folder;
              options.threads = threads;
              options.resume = resume;
              options.cancel = &cancel;
              options.on_progress = [&slot](std::int64_t done, std::int64_t total, double elapsed) {
                const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1;
                const double left = done > 0 ? elapsed / static_cast<double>(done) * static_cast<double>(total - done) : -1;
                slot.put(Progress{fraction, done, total, 0, elapsed, left});
              };
              with_folder_failures(folder, [&] { result = varnock::run_study(definition, options); });
            },
            progress);
        if (result.cancelled) {
          // Only the caller's own stop reaches here without an exception.
          throw varnock::Error(varnock::RunFailure{varnock::FailureKind::Cancelled, varnock::display(folder), 0, 0,
                                                  "the study was stopped; resume=True goes on from there"});
        }
        py::dict d;
        d["csv"] = folder / (result.kind + ".csv");
        d["page"] = folder / (result.kind + ".html");
        d["points"] = result.points;
        d["failed"] = result.failed;
        d["complete"] = result.complete;
        d["notes"] = engine_texts(result.notes);
        d["warnings"] = engine_texts(warnings);
        return d;
      },
      py::arg("kind"), py::arg("sheet"), py::arg("specs"), py::arg("zip"), py::arg("trials"), py::arg("seed"),
      py::arg("folder"), py::arg("resume"), py::arg("fast"), py::arg("threads"), py::arg("exact_sums"),
      py::arg("progress"), "A sweep or trials into a folder (see varnock.sweep and varnock.trials).");
}

}  // namespace varnock_python
