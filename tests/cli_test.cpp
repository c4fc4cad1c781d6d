// The command-line tool as a user meets it: exit codes, the summary and the
// one-line messages on stderr.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "support/sheet_builder.h"

namespace {

using varnock_test::read_file;
using varnock_test::TestSheet;
using varnock_test::TempDir;
using varnock_test::write_file;

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

Outcome varnock(const std::string& args) {
  TempDir capture;
  const std::string command = std::string(VARNOCK_CLI) + " " + args + " >" +
                              (capture / "out").string() + " 2>" + (capture / "err").string();
  const int status = std::system(command.c_str());
  Outcome o;
  o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.out = read_file(capture / "out");
  o.err = read_file(capture / "err");
  return o;
}

std::string quoted(const std::filesystem::path& p) {
  std::string q(1, '\'');
  q.append(p.string());
  q.push_back('\'');
  return q;
}

int line_count(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

TEST(Cli, RunWritesTheFilesBesideTheSheetAndSummarises) {
  TempDir dir;
  write_file(dir / "lens.txt", TestSheet{}.text());
  const Outcome o = varnock("run " + quoted(dir / "lens.txt"));
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.err, "");
  for (const char* field : {"fan rays", "source positions", "rays traced", "total", "transmitted",
                            "ratio", "elapsed"}) {
    EXPECT_NE(o.out.find(field), std::string::npos) << field;
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "OUT_M.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "OUT_MI.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "OUT_MR.txt"));
}

TEST(Cli, OutputFolderOptionAndQuiet) {
  TempDir dir, out;
  write_file(dir / "lens.txt", TestSheet{}.text());
  const Outcome o = varnock("run -q " + quoted(dir / "lens.txt") + " -o " + quoted(out.path()));
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_TRUE(std::filesystem::exists(out / "OUT_M.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "OUT_M.txt"));
}

TEST(Cli, SheetWarningsGoToStderrAndTheRunGoesOn) {
  TempDir dir;
  TestSheet sheet;
  sheet.cells[{2, 6}] = "1.5mm";  // RSRC
  write_file(dir / "lens.txt", sheet.text());
  const Outcome o = varnock("run " + quoted(dir / "lens.txt"));
  EXPECT_EQ(o.exit_code, 0);
  EXPECT_NE(o.err.find("warning"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("C7 (RSRC)"), std::string::npos) << o.err;
}

TEST(Cli, BadSheetsExitWithTwoAndOneLine) {
  TempDir dir;
  const Outcome missing = varnock("run " + quoted(dir / "missing.txt"));
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(line_count(missing.err), 1) << missing.err;
  EXPECT_NE(missing.err.find("missing.txt"), std::string::npos) << missing.err;

  const Outcome folder = varnock("run " + quoted(dir.path()));
  EXPECT_EQ(folder.exit_code, 2);
  EXPECT_EQ(line_count(folder.err), 1) << folder.err;

  std::string big(16 * 1024 * 1024 + 10, '1');
  write_file(dir / "big.txt", big);
  const Outcome oversized = varnock("run " + quoted(dir / "big.txt"));
  EXPECT_EQ(oversized.exit_code, 2);
  EXPECT_NE(oversized.err.find("16 MiB"), std::string::npos) << oversized.err;

  TestSheet huge;
  huge.THMIN = 0.5;
  huge.THMAX = 1.5;
  huge.NTH = 5000;
  huge.NPHI = 5000;
  write_file(dir / "huge.txt", huge.text());
  const Outcome fan = varnock("run " + quoted(dir / "huge.txt"));
  EXPECT_EQ(fan.exit_code, 2);
  EXPECT_EQ(line_count(fan.err), 1) << fan.err;
  EXPECT_NE(fan.err.find("huge.txt: cell C6"), std::string::npos) << fan.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "OUT_MI.txt"));
}

TEST(Cli, ARefusedSheetLeavesEarlierResultsAlone) {
  TempDir dir;
  write_file(dir / "OUT_M.txt", "the report of an earlier run");
  const Outcome typo = varnock("run " + quoted(dir / "lens.txt"));
  EXPECT_EQ(typo.exit_code, 2);
  EXPECT_EQ(read_file(dir / "OUT_M.txt"), "the report of an earlier run");
}

TEST(Cli, PipesAndDevicesAreNotSheets) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  const Outcome pipe = varnock("run " + quoted(dir / "pipe"));  // would block if opened
  EXPECT_EQ(pipe.exit_code, 2);
  EXPECT_NE(pipe.err.find("not a regular file"), std::string::npos) << pipe.err;
  const Outcome device = varnock("run /dev/zero -o " + quoted(dir.path()));
  EXPECT_EQ(device.exit_code, 2);
}

TEST(Cli, UnwritableOutputExitsWithOne) {
  TempDir dir;
  write_file(dir / "lens.txt", TestSheet{}.text());
  const Outcome missing_folder =
      varnock("run " + quoted(dir / "lens.txt") + " -o " + quoted(dir / "not-there"));
  EXPECT_EQ(missing_folder.exit_code, 1);
  EXPECT_EQ(line_count(missing_folder.err), 1) << missing_folder.err;
  EXPECT_NE(missing_folder.err.find("not-there"), std::string::npos);

  std::filesystem::create_directory(dir / "OUT_M.txt");  // in the way of the report
  const Outcome blocked = varnock("run " + quoted(dir / "lens.txt"));
  EXPECT_EQ(blocked.exit_code, 1);
  EXPECT_NE(blocked.err.find("OUT_M.txt"), std::string::npos) << blocked.err;
}

TEST(Cli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(varnock("").exit_code, 2);
  EXPECT_EQ(varnock("run").exit_code, 2);
  EXPECT_EQ(varnock("fly a.txt").exit_code, 2);
  EXPECT_EQ(varnock("run a.txt --bogus").exit_code, 2);
  for (const char* threads : {"-1", "two", "1.5", "257"}) {
    EXPECT_EQ(varnock(std::string("run a.txt --threads ") + threads).exit_code, 2) << threads;
  }
}

// sha256sum's digest of a file.
std::string sha256_of(const std::filesystem::path& path) {
  TempDir capture;
  const std::string command = "sha256sum " + quoted(path) + " >" + (capture / "sum").string();
  EXPECT_EQ(std::system(command.c_str()), 0);
  return read_file(capture / "sum").substr(0, 64);
}

TEST(Cli, RunRecordNamesTheFilesTheThreadsAndTheWork) {
  TempDir dir;
  TestSheet lens;
  lens.surfaces = {varnock_test::SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1}},
                   varnock_test::SurfaceRow{0.05, 3, 0, 0, 1, 0, 0, {1.5}},
                   varnock_test::SurfaceRow{-0.05, 20, 0, 0, 1, 0, 0, {1}}};
  write_file(dir / "lens.txt", lens.text());
  const Outcome o = varnock("run --threads 3 " + quoted(dir / "lens.txt"));
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("threads           3 (exact mode)"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("steps per second"), std::string::npos) << o.out;

  const nlohmann::json record = nlohmann::json::parse(read_file(dir / "run.json"));
  EXPECT_EQ(record["program"], "varnock");
  EXPECT_EQ(record["mode"], "exact");
  EXPECT_EQ(record["threads"], 3);
  EXPECT_EQ(record["sheet"]["sha256"], sha256_of(dir / "lens.txt"));
  for (const char* name : {"OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt"}) {
    EXPECT_EQ(record["files"][name]["sha256"], sha256_of(dir / name)) << name;
    EXPECT_EQ(record["files"][name]["bytes"], std::filesystem::file_size(dir / name)) << name;
  }
  const nlohmann::json& summary = record["summary"];
  const std::int64_t rays = summary["rays_traced"];
  EXPECT_GT(rays, 0);
  EXPECT_EQ(summary["ray_surface_steps"], rays * 2);
  EXPECT_EQ(summary["source_positions"], 4);
  // The parts of the run, each timed on its own, fit into its time.
  double parts = 0;
  for (const char* part : {"sheet", "fan", "trace", "report"}) {
    const double seconds = record["parts_seconds"][part];
    EXPECT_GE(seconds, 0) << part;
    parts += seconds;
  }
  EXPECT_LE(parts, summary["elapsed_seconds"].get<double>());
  EXPECT_GE(record["parts_seconds"]["page"].get<double>(), 0);

  // A run that fails leaves the previous set whole, its record with it.
  const std::string record_text = read_file(dir / "run.json");
  const std::string report = read_file(dir / "OUT_M.txt");
  std::filesystem::remove(dir / "OUT_MR.txt");
  std::filesystem::create_directory(dir / "OUT_MR.txt");
  EXPECT_EQ(varnock("run " + quoted(dir / "lens.txt")).exit_code, 1);
  EXPECT_EQ(read_file(dir / "run.json"), record_text);
  EXPECT_EQ(read_file(dir / "OUT_M.txt"), report);
}

TEST(Cli, TheDefaultThreadsAreTheCpusTheProcessMayUse) {
  TempDir dir;
  write_file(dir / "lens.txt", TestSheet{}.text());
  const Outcome o = varnock("run " + quoted(dir / "lens.txt"));
  ASSERT_EQ(o.exit_code, 0) << o.err;
  const int all = nlohmann::json::parse(read_file(dir / "run.json"))["threads"];
  EXPECT_GE(all, 1);
  // Bound to one CPU, as a scheduler or mpirun would bind it.
  const std::string command = "taskset -c 0 " + std::string(VARNOCK_CLI) + " run -q " +
                              quoted(dir / "lens.txt");
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(nlohmann::json::parse(read_file(dir / "run.json"))["threads"], 1);
}

// A lens that gathers the light near the axis.
TestSheet lens_system() {
  TestSheet lens;
  lens.NPHI = 60;
  lens.surfaces = {varnock_test::SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1}},
                   varnock_test::SurfaceRow{0.05, 3, 0, 0, 1, 0, 0, {1.5}},
                   varnock_test::SurfaceRow{-0.05, 20, 0, 0, 1, 0, 0, {1}}};
  return lens;
}

TEST(Cli, FastRunsNameTheirPathAndUsageIsChecked) {
  TempDir dir;
  write_file(dir / "lens.txt", lens_system().text());
  const Outcome fast = varnock("run --fast --simd sse2 " + quoted(dir / "lens.txt"));
  ASSERT_EQ(fast.exit_code, 0) << fast.err;
  EXPECT_NE(fast.out.find("(fast mode, sse2)"), std::string::npos) << fast.out;
  const nlohmann::json record = nlohmann::json::parse(read_file(dir / "run.json"));
  EXPECT_EQ(record["mode"], "fast");
  EXPECT_EQ(record["simd"], "sse2");
  EXPECT_EQ(varnock("run --simd sse2 " + quoted(dir / "lens.txt")).exit_code, 2);  // needs --fast
  EXPECT_EQ(varnock("run --fast --simd neon " + quoted(dir / "lens.txt")).exit_code, 2);
}

TEST(Cli, CompareSaysWhetherAndHowFarTwoResultsDiffer) {
  TempDir dir, a, b, c, broken;
  write_file(dir / "lens.txt", lens_system().text());
  ASSERT_EQ(varnock("run -q " + quoted(dir / "lens.txt") + " -o " + quoted(a.path())).exit_code, 0);
  ASSERT_EQ(varnock("run -q --fast " + quoted(dir / "lens.txt") + " -o " + quoted(b.path())).exit_code, 0);
  const Outcome same = varnock("compare " + quoted(a.path()) + " " + quoted(b.path()));
  EXPECT_EQ(same.exit_code, 0) << same.out << same.err;
  EXPECT_NE(same.out.find("OUT_M.txt   identical"), std::string::npos) << same.out;

  // The same rays binned at another pitch: the fan and the total stay, the
  // weight moves between the cells of IXY.
  const std::string report = read_file(a / "OUT_M.txt");
  TestSheet moved = lens_system();
  moved.DXY = 0.6;
  write_file(dir / "lens.txt", moved.text());
  ASSERT_EQ(varnock("run -q " + quoted(dir / "lens.txt") + " -o " + quoted(c.path())).exit_code, 0);
  const Outcome differ = varnock("compare --json " + quoted(a.path()) + " " + quoted(c.path()));
  EXPECT_EQ(differ.exit_code, 1) << differ.err;
  const nlohmann::json j = nlohmann::json::parse(differ.out);
  EXPECT_FALSE(j["identical"]);
  EXPECT_TRUE(j["files"]["OUT_MI.txt"]["identical"]);
  EXPECT_FALSE(j["files"]["OUT_M.txt"]["identical"]);
  EXPECT_EQ(j["total"]["relative"], 0);  // the same rays, binned otherwise
  const double moved_share = j["grids"]["IXY"]["moved_share"];
  EXPECT_GT(moved_share, 0.01);
  EXPECT_LE(moved_share, 1.0);
  EXPECT_EQ(j["grids"]["IUV"]["moved_share"], 0);

  // Folders that cannot be compared.
  EXPECT_EQ(varnock("compare " + quoted(a.path()) + " " + quoted(dir / "nowhere")).exit_code, 2);
  write_file(broken / "OUT_M.txt", report.substr(0, report.size() / 2));
  const Outcome truncated = varnock("compare " + quoted(a.path()) + " " + quoted(broken.path()));
  EXPECT_EQ(truncated.exit_code, 2);
  EXPECT_NE(truncated.err.find("truncated"), std::string::npos) << truncated.err;
  write_file(broken / "OUT_M.txt", "");
  EXPECT_NE(varnock("compare " + quoted(a.path()) + " " + quoted(broken.path())).err.find("empty"),
            std::string::npos);
}

TEST(Cli, RunWritesAReportPageAndOnRequestCsv) {
  TempDir dir;
  write_file(dir / "lens.txt", lens_system().text());
  const Outcome o = varnock("run --csv " + quoted(dir / "lens.txt"));
  ASSERT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("report.html"), std::string::npos);
  const std::string page = read_file(dir / "report.html");
  EXPECT_NE(page.find("<html"), std::string::npos);
  EXPECT_NE(page.find("report-data"), std::string::npos);
  // The CSV: a header comment, the x centres, then one line per y cell with
  // the cells as the report prints them.
  const std::string csv = read_file(dir / "IXY.csv");
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = csv.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(csv.substr(at, end - at));
  }
  ASSERT_EQ(lines.size(), 43u);
  EXPECT_EQ(lines[0].rfind("# IXY", 0), 0u);
  EXPECT_EQ(lines[1].substr(0, 15), "y\\x,-10.000000,");  // pitch 0.5: cell 0 at -10 mm
  EXPECT_EQ(std::count(lines[22].begin(), lines[22].end(), ','), 41);
  EXPECT_EQ(lines[22].substr(0, 9), "0.000000,");

  // --no-report takes an earlier page away.
  EXPECT_EQ(varnock("run -q --no-report " + quoted(dir / "lens.txt")).exit_code, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "report.html"));
}

TEST(Cli, PlotMakesThePageFromAnExchangeFolder) {
  TempDir dir, out;
  TestSheet sheet = lens_system();
  write_file(dir / "IN_FM.txt", sheet.text());
  ASSERT_EQ(varnock("run -q --no-report " + quoted(dir / "IN_FM.txt")).exit_code, 0);
  std::filesystem::remove(dir / "run.json");  // as main6 leaves the folder
  const Outcome o = varnock("plot " + quoted(dir.path()) + " -o " + quoted(out.path()));
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_EQ(o.err, "");
  const std::string page = read_file(out / "report.html");
  EXPECT_NE(page.find("refracting sphere"), std::string::npos);  // the system table
  EXPECT_NE(page.find("\"layout\":{"), std::string::npos);          // and its drawing
  EXPECT_NE(page.find("\"surfaces\":[{\"number\":1"), std::string::npos);

  // A sheet whose headers no longer match the report.
  sheet.DXY = 0.75;
  write_file(dir / "IN_FM.txt", sheet.text());
  const Outcome changed = varnock("plot " + quoted(dir / "OUT_M.txt"));
  EXPECT_EQ(changed.exit_code, 0) << changed.err;
  EXPECT_NE(changed.err.find("may have changed since the run"), std::string::npos) << changed.err;
  EXPECT_NE(changed.err.find("DXY 0.750000 in the sheet, 0.500000 in the report"), std::string::npos);

  // A report that is not one: the line at fault, exit code 2.
  write_file(dir / "OUT_M.txt", "not a report\r\n");
  const Outcome bad = varnock("plot " + quoted(dir.path()));
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_NE(bad.err.find("line"), std::string::npos) << bad.err;
}

TEST(Cli, CheckPrintsTheSystemTheSizeAndTheMistakes) {
  TempDir dir;
  TestSheet sheet = lens_system();
  sheet.NSET = 1;
  sheet.surfaces[1].PA = 0;
  sheet.surfaces[1].type = 6;  // a stop of radius 0
  write_file(dir / "s.txt", sheet.text());
  const Outcome o = varnock("check " + quoted(dir / "s.txt"));
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("circular stop"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("ray-surface steps"), std::string::npos);
  EXPECT_NE(o.out.find("estimated time"), std::string::npos);
  EXPECT_NE(o.out.find("warning: surface 1: a stop of radius 0"), std::string::npos) << o.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "OUT_M.txt"));  // nothing written
  const nlohmann::json j = nlohmann::json::parse(varnock("check --json " + quoted(dir / "s.txt")).out);
  EXPECT_EQ(j["source_positions"], 4);
  EXPECT_EQ(j["surfaces"], 2);
  EXPECT_FALSE(j["warnings"].empty());
  // A sheet run would refuse: the same message, exit code 2.
  const Outcome refused = varnock("check " + quoted(dir / "missing.txt"));
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_EQ(refused.err, varnock("run " + quoted(dir / "missing.txt")).err);
}

TEST(Cli, HelpAndVersion) {
  const Outcome help = varnock("--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("run"), std::string::npos);
  const Outcome run_help = varnock("run --help");
  EXPECT_EQ(run_help.exit_code, 0);
  EXPECT_NE(run_help.out.find("--output"), std::string::npos);
  const Outcome version = varnock("--version");
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("varnock ", 0), 0u) << version.out;
}

}  // namespace
