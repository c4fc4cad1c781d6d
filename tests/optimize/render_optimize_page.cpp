// Writes the report page of an optimisation for a data object:
// render_optimize_page DATA.json OUT.html. The browser check renders its
// sample optimisations with this and opens the pages in a headless Chromium.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "optimize/optimize_page.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: varnock_render_optimize_page DATA.json OUT.html\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "varnock_render_optimize_page: cannot read " << argv[1] << "\n";
    return 1;
  }
  const std::string json{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::ofstream out(argv[2], std::ios::binary);
  out << varnock::optimize_page(json);
  out.close();
  if (!out) {
    std::cerr << "varnock_render_optimize_page: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
