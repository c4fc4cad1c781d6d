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
