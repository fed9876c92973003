// Prints an .xls file's Workbook stream one record a line, or with --check what the structural
// checker finds in it ("ok" when nothing).
//
//   quadrelo-xls-dump [--check] FILE
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "tools/xls_structure/xls_structure.h"

int main(int argc, char** argv) {
  bool check = argc == 3 && std::string(argv[1]) == "--check";
  if (argc != 2 && !check) {
    std::cerr << "Uso: quadrelo-xls-dump [--check] FICHERO\n";
    return 2;
  }
  std::ifstream in(argv[argc - 1], std::ios::binary);
  if (!in) {
    std::cerr << "No se puede leer " << argv[argc - 1] << "\n";
    return 2;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!check) {
    std::cout << quadrelo::fuzzing::DumpXlsRecords(bytes);
    return 0;
  }
  std::string fault = quadrelo::fuzzing::CheckXlsStructure(bytes);
  std::cout << (fault.empty() ? "ok" : fault) << "\n";
  return fault.empty() ? 0 : 1;
}
