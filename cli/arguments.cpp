#include "cli/arguments.h"

namespace quadrelo::cli {

Invocation ParseArguments(const std::vector<std::string>& arguments) {
  Invocation invocation;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      invocation.files.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--overwrite") {
      invocation.overwrite = true;
    } else if (argument == "--quiet" || argument == "-q") {
      invocation.quiet = true;
    } else if (argument == "--help" || argument == "-h") {
      invocation.help = true;
    } else if (argument == "--version") {
      invocation.version = true;
    } else if (argument == "-o" || argument == "--output") {
      if (i + 1 == arguments.size()) {
        invocation.error = "Falta el nombre del libro detrás de " + argument;
        return invocation;
      }
      if (invocation.workbook) {
        invocation.error = "La opción -o solo puede darse una vez";
        return invocation;
      }
      invocation.workbook = arguments[++i];
    } else {
      invocation.error = "Opción desconocida: " + argument;
      return invocation;
    }
  }
  if (invocation.help || invocation.version) return invocation;
  if (invocation.files.empty()) {
    invocation.error = "Falta el fichero de transferencias que convertir";
  } else if (invocation.workbook && invocation.files.size() > 1) {
    invocation.error = "La opción -o solo vale con un único fichero";
  } else if (invocation.workbook &&
             invocation.workbook->find_first_not_of(' ') == std::string::npos) {
    invocation.error = "El nombre del libro de -o está vacío";
  }
  return invocation;
}

}  // namespace quadrelo::cli
