#include "cli/file_report.h"

#include "conversion/record_layout.h"

namespace quadrelo::cli {

namespace {

std::string Counted(long count, std::string_view singular, std::string_view plural) {
  std::string text = GroupThousands(count);
  text += ' ';
  text += count == 1 ? singular : plural;
  return text;
}

std::string AtLine(long line) { return "línea " + GroupThousands(line) + ": "; }

}  // namespace

void FileReport::show(std::string_view text, MessageIcon) { errors_.emplace_back(text); }

void FileReport::recordRead(long line, std::string_view type) {
  if (type == conversion::kAccountRecord) {
    ++accounts_;
  } else if (type == conversion::kTransferRecord) {
    ++transfers_;
  } else if (type != conversion::kRemarksRecord) {
    if (unknownRecords_++ == 0) firstUnknownLine_ = line;
  }
}

void FileReport::cellNotWritten(long line, std::string_view address, std::string_view) {
  warnings_.push_back({line, AtLine(line) + "no se ha podido escribir la celda " +
                                 std::string(address) + ", que queda vacía"});
}

void FileReport::amountNotNumber(long line, std::string_view text) {
  warnings_.push_back({line, AtLine(line) + "el importe «" + std::string(text) +
                                 "» no es un número; su celda queda vacía"});
}

void FileReport::workbookSaved(std::string_view, int, long) { saved_ = true; }

void FileReport::lineBreaksNotRepaired(std::string_view) {
  errors_.emplace_back("No se han podido reparar los saltos de línea del fichero de entrada");
}

void FileReport::readFailed(long line, std::string_view) {
  errors_.push_back("Error de lectura después de la línea " + GroupThousands(line) +
                    "; el libro solo recoge las líneas anteriores");
}

void FileReport::runStopped(long line) {
  errors_.push_back("Conversión interrumpida después de la línea " + GroupThousands(line));
}

std::string GroupThousands(long value) {
  const bool negative = value < 0;
  // Through unsigned so that the most negative value has a magnitude too.
  unsigned long magnitude =
      negative ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  std::string digits = std::to_string(magnitude);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += '.';
    grouped += digits[i];
  }
  return negative ? "-" + grouped : grouped;
}

std::string SummaryLine(const std::string& input, const std::string& workbook,
                        const FileReport& report) {
  return input + " -> " + workbook + ": " + Counted(report.accounts(), "cuenta", "cuentas") + ", " +
         Counted(report.transfers(), "transferencia", "transferencias");
}

std::vector<std::string> WarningLines(const FileReport& report, std::size_t limit) {
  std::vector<std::string> lines;
  if (report.repaired()) {
    lines.push_back("saltos de línea reparados: el fichero de entrada se ha reescrito con CR LF");
  }
  const auto& warnings = report.warnings();
  for (std::size_t i = 0; i < warnings.size() && i < limit; ++i) lines.push_back(warnings[i].text);
  if (warnings.size() > limit) {
    lines.push_back("... y " +
                    Counted(static_cast<long>(warnings.size() - limit), "aviso más", "avisos más"));
  }
  if (report.unknownRecords() > 0) {
    lines.push_back(Counted(report.unknownRecords(), "registro de tipo desconocido omitido",
                            "registros de tipo desconocido omitidos") +
                    (report.unknownRecords() == 1 ? " (línea " : " (el primero en la línea ") +
                    GroupThousands(report.firstUnknownLine()) + ")");
  }
  return lines;
}

}  // namespace quadrelo::cli
