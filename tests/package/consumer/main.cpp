// Runs one sheet through the installed library, as a caller of the package
// would: consumer SHEET OUTPUT_DIR VERSION. The files must then be those of
// `varnock run` of the same sheet, which the caller compares.
#include <cstring>
#include <iostream>
#include <string>

#include <varnock/varnock.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: consumer SHEET OUTPUT_DIR VERSION\n";
    return 2;
  }
  if (std::strcmp(varnock::version(), argv[3]) != 0) {
    std::cerr << "the library says version " << varnock::version() << ", not " << argv[3] << '\n';
    return 1;
  }
  varnock::Session session;
  varnock::RunOptions options;
  options.threads = 2;
  const varnock::RunResult result = session.run(argv[1], argv[2], options);
  if (!result.ok()) {
    std::cerr << result.failure().describe() << '\n';
    return 1;
  }
  const varnock::RunTotals& totals = result.success().totals;
  if (totals.rays_traced <= 0) {
    std::cerr << "the run traced no rays\n";
    return 1;
  }
  // A sheet that is not there is refused, and describe() names it.
  const varnock::RunResult missing = session.run("no-such-sheet.txt", argv[2]);
  if (missing.ok() || missing.failure().kind != varnock::FailureKind::Sheet ||
      missing.failure().describe().find("no-such-sheet.txt") == std::string::npos) {
    std::cerr << "a missing sheet was not refused as it should be\n";
    return 1;
  }
  std::cout << "consumer: " << totals.rays_traced << " rays traced, ratio " << totals.ratio << '\n';
  return 0;
}
