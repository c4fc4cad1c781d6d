// Writes the report page of a study for a data object:
// render_study_page DATA.json OUT.html. The browser check renders its sample
// studies with this and opens the pages in a headless Chromium. Sample data
// comes without the trials' statistics, which the tool adds to the data it
// writes: they are added here the same way.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "study/study_page.h"
#include "study/trial_statistics.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: varnock_render_study_page DATA.json OUT.html\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "varnock_render_study_page: cannot read " << argv[1] << "\n";
    return 1;
  }
  const std::string json{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::ofstream out(argv[2], std::ios::binary);
  out << varnock::study_page(varnock::with_trial_statistics(json));
  out.close();
  if (!out) {
    std::cerr << "varnock_render_study_page: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
