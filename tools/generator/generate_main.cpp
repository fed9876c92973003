// quadrelo-generate: writes a synthetic transfer file for scripts, end-to-end tests and benchmarks.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "tools/generator/transfer_generator.h"

namespace {

constexpr std::string_view kUsage =
    "Uso: quadrelo-generate [--transfers N] [--accounts K] [--seed S] [--lf] [--no-remarks]\n"
    "                       [--trim] [--no-final-break] -o FICHERO\n"
    "Escribe un fichero de transferencias recibidas sintético (por omisión 100 transferencias,\n"
    "1 cuenta, semilla 1, líneas de 80 caracteres terminadas en CR LF).\n";

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
  quadrelo::bench::GeneratorOptions options;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    bool ok = true;
    if (arg == "--transfers" && hasValue) {
      ok = ParseNumber(argv[++i], options.transfers) && options.transfers >= 0;
    } else if (arg == "--accounts" && hasValue) {
      ok = ParseNumber(argv[++i], options.accounts) && options.accounts >= 1;
    } else if (arg == "--seed" && hasValue) {
      ok = ParseNumber(argv[++i], options.seed);
    } else if (arg == "-o" && hasValue) {
      output = argv[++i];
    } else if (arg == "--lf") {
      options.lineFeedsOnly = true;
    } else if (arg == "--no-remarks") {
      options.remarks = false;
    } else if (arg == "--trim") {
      options.trimTrailingSpaces = true;
    } else if (arg == "--no-final-break") {
      options.finalLineBreak = false;
    } else if (arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else {
      ok = false;
    }
    if (!ok) {
      std::cerr << "Argumento no válido: " << arg << "\n" << kUsage;
      return 2;
    }
  }
  if (output.empty()) {
    std::cerr << "Falta el fichero de salida (-o FICHERO)\n" << kUsage;
    return 2;
  }
  std::ofstream out(quadrelo::PathFromUtf8(output), std::ios::binary | std::ios::trunc);
  if (out) quadrelo::bench::WriteTransferFile(options, out);
  out.close();
  if (!out) {
    std::cerr << "No se puede escribir " << output << "\n";
    return 1;
  }
  return 0;
}
