#include "cli/batch_convert.h"

#include <exception>
#include <system_error>

#include "cli/arguments.h"
#include "cli/file_report.h"
#include "conversion/convert_transfer_file.h"
#include "naming/output_name.h"
#include "platform/files.h"

#ifndef QUADRELO_VERSION
#define QUADRELO_VERSION "desconocida"
#endif

namespace quadrelo::cli {

namespace {

constexpr std::string_view kUsage =
    "Uso: quadrelo-convert [--overwrite] [-o LIBRO] [--quiet] FICHERO...\n"
    "\n"
    "Convierte cada fichero de transferencias recibidas en un libro de Excel 97-2003 (.xls)\n"
    "junto a él, con el mismo nombre que le daría la ventana de Quadrelo.\n"
    "\n"
    "  --overwrite   sustituye los libros que ya existan (sin ella, esos ficheros se omiten)\n"
    "  -o LIBRO      nombre del libro de salida; solo con un único FICHERO\n"
    "  --quiet       muestra solo los errores\n"
    "  --help        muestra esta ayuda\n"
    "  --version     muestra la versión\n"
    "  --            lo que sigue son ficheros, aunque empiecen por \"-\"\n"
    "\n"
    "Los ficheros con saltos de línea LF se reparan en su sitio, como en la ventana.\n"
    "Estado de salida: 0 si se han convertido todos los ficheros; 1 si alguno se ha rechazado,\n"
    "omitido o ha fallado; 2 si los argumentos no son válidos.\n";

// How many warnings of one file are listed before the rest is only counted.
constexpr std::size_t kListedWarnings = 20;

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(PathFromUtf8(path), error);
}

class Batch {
 public:
  Batch(const Invocation& invocation, std::ostream& out, std::ostream& err)
      : invocation_(invocation), out_(out), err_(err) {}

  // Converts one file; false when it was refused, skipped or failed.
  bool convert(const std::string& input) {
    const std::string workbook =
        invocation_.workbook ? *invocation_.workbook : naming::WorkbookPathFor(input);
    if (naming::SameFile(workbook, input)) {
      return fail(input, "El fichero de salida es el propio fichero de entrada");
    }
    for (const std::string& earlier : written_) {
      // Two inputs that name one workbook ("remesa.txt", "remesa.dat"): the second would
      // replace what this run has just written.
      if (naming::SameFile(workbook, earlier)) {
        return fail(input, "El fichero de salida ya se ha generado en esta ejecución: " + workbook);
      }
    }
    if (!invocation_.overwrite && Exists(workbook)) {
      return fail(input, "El fichero de salida ya existe: " + workbook);
    }

    FileReport report;
    conversion::RunServices services;
    services.messages = &report;
    services.report = &report;
    bool crashed = false;
    try {
      conversion::ConvertTransferFile(input, workbook, services);
    } catch (const std::exception&) {
      crashed = true;
    }
    // As the window's completion dialog does: the run leaves its input open.
    files::Reset();

    for (const std::string& error : report.errors()) say(input, error);
    if (crashed) say(input, "Error inesperado durante la conversión");
    if (report.saved()) {
      written_.push_back(workbook);
      if (!invocation_.quiet) {
        out_ << SummaryLine(input, workbook, report) << '\n';
        for (const std::string& line : WarningLines(report, kListedWarnings)) {
          out_ << "  " << line << '\n';
        }
      }
    } else if (report.errors().empty() && !crashed) {
      say(input, "No se ha generado el libro");
    }
    return report.converted() && !crashed;
  }

 private:
  bool fail(const std::string& input, const std::string& text) {
    say(input, text);
    return false;
  }
  void say(const std::string& input, std::string_view text) {
    err_ << input << ": " << text << '\n';
  }

  const Invocation& invocation_;
  std::ostream& out_;
  std::ostream& err_;
  std::vector<std::string> written_;
};

}  // namespace

int RunBatchConvert(const std::vector<std::string>& arguments, std::ostream& out,
                    std::ostream& err) {
  const Invocation invocation = ParseArguments(arguments);
  if (!invocation.error.empty()) {
    err << "quadrelo-convert: " << invocation.error << "\n" << kUsage;
    return kUsageError;
  }
  if (invocation.help) {
    out << kUsage;
    return kAllConverted;
  }
  if (invocation.version) {
    out << "quadrelo-convert " << QUADRELO_VERSION << '\n';
    return kAllConverted;
  }
  Batch batch(invocation, out, err);
  int status = kAllConverted;
  for (const std::string& input : invocation.files) {
    if (!batch.convert(input)) status = kSomeNotConverted;
  }
  out.flush();
  err.flush();
  return status;
}

}  // namespace quadrelo::cli
