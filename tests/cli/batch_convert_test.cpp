#include "cli/batch_convert.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/file_report.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tools/generator/transfer_generator.h"

namespace quadrelo::cli {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome RunTool(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  Outcome outcome;
  outcome.status = RunBatchConvert(arguments, out, err);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

std::string Utf8(const std::filesystem::path& path) { return PathToUtf8(path); }

std::string Generated(long transfers, int accounts, bool lineFeedsOnly = false) {
  bench::GeneratorOptions options;
  options.transfers = transfers;
  options.accounts = accounts;
  options.lineFeedsOnly = lineFeedsOnly;
  return bench::GenerateTransferFile(options);
}

// "sheet <position> <name> <rows>" lines, as an independent reader sees the workbook.
std::string SheetsOf(const std::filesystem::path& workbook) {
  auto result = RunReader(Reader::kXlrd, {"readers/xls_read.py", "list", Utf8(workbook), "-"});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return result.output;
}

std::string Padded(std::string line) {
  line.resize(80, ' ');
  return line + "\r\n";
}

TEST(BatchArguments, ParsesOptionsAnywhereAmongFiles) {
  Invocation invocation = ParseArguments({"a.txt", "--overwrite", "b.txt", "--quiet"});
  EXPECT_TRUE(invocation.error.empty());
  EXPECT_TRUE(invocation.overwrite);
  EXPECT_TRUE(invocation.quiet);
  EXPECT_EQ(invocation.files, (std::vector<std::string>{"a.txt", "b.txt"}));

  invocation = ParseArguments({"-o", "libro.xls", "remesa.txt"});
  EXPECT_TRUE(invocation.error.empty());
  EXPECT_EQ(invocation.workbook, "libro.xls");
  EXPECT_EQ(invocation.files, (std::vector<std::string>{"remesa.txt"}));

  invocation = ParseArguments({"--", "--overwrite", "-"});
  EXPECT_TRUE(invocation.error.empty());
  EXPECT_FALSE(invocation.overwrite);
  EXPECT_EQ(invocation.files, (std::vector<std::string>{"--overwrite", "-"}));
}

TEST(BatchArguments, UsageErrorsExitWithTwo) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, "Falta el fichero"},
      {{"--quiet"}, "Falta el fichero"},
      {{"--sobreescribir", "a.txt"}, "Opción desconocida: --sobreescribir"},
      {{"-x", "a.txt"}, "Opción desconocida: -x"},
      {{"-o", "libro.xls", "a.txt", "b.txt"}, "-o solo vale con un único fichero"},
      {{"a.txt", "-o"}, "Falta el nombre del libro"},
      {{"-o", "x.xls", "-o", "y.xls", "a.txt"}, "solo puede darse una vez"},
      {{"-o", "  ", "a.txt"}, "está vacío"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const Outcome outcome = RunTool(c.arguments);
    EXPECT_EQ(outcome.status, kUsageError);
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("Uso: quadrelo-convert"), std::string::npos);
    EXPECT_EQ(outcome.out, "");
  }
}

TEST(BatchArguments, HelpAndVersion) {
  Outcome help = RunTool({"--help"});
  EXPECT_EQ(help.status, kAllConverted);
  EXPECT_EQ(
      help.out.rfind("Uso: quadrelo-convert [--overwrite] [-o LIBRO] [--quiet] FICHERO...", 0), 0u);
  EXPECT_NE(help.out.find("Estado de salida"), std::string::npos);
  Outcome version = RunTool({"--version"});
  EXPECT_EQ(version.status, kAllConverted);
  EXPECT_EQ(version.out, "quadrelo-convert 1.0.0\n");
}

TEST(BatchFormatting, GroupsThousandsWithFullStops) {
  const std::vector<std::pair<long, std::string>> cases = {
      {0, "0"},         {7, "7"},          {999, "999"},        {1000, "1.000"},
      {1254, "1.254"},  {70000, "70.000"}, {999999, "999.999"}, {1000000, "1.000.000"},
      {-1254, "-1.254"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(GroupThousands(value), text);
}

TEST(BatchFormatting, SummaryAndWarningsOfOneFile) {
  FileReport report;
  report.recordRead(1, "11");
  report.recordRead(2, "22");
  report.recordRead(3, "23");
  report.recordRead(4, "99");
  report.recordRead(5, "");
  report.amountNotNumber(2, "0001A345,67");
  report.cellNotWritten(3, "F3", "whatever the engine said");
  report.lineBreaksRepaired();
  report.workbookSaved("remesa.xls", 1, 1);
  EXPECT_TRUE(report.converted());
  EXPECT_EQ(SummaryLine("remesa.txt", "remesa.xls", report),
            "remesa.txt -> remesa.xls: 1 cuenta, 1 transferencia");
  EXPECT_EQ(WarningLines(report, 20),
            (std::vector<std::string>{
                "saltos de línea reparados: el fichero de entrada se ha reescrito con CR LF",
                "línea 2: el importe «0001A345,67» no es un número; su celda queda vacía",
                "línea 3: no se ha podido escribir la celda F3, que queda vacía",
                "2 registros de tipo desconocido omitidos (el primero en la línea 4)"}));
  EXPECT_EQ(WarningLines(report, 1)[2], "... y 1 aviso más");
}

TEST(BatchFormatting, AMessageOrALostTailMeansNotConverted) {
  FileReport refused;
  refused.show("No se puede guardar el fichero de salida", MessageIcon::Error);
  EXPECT_FALSE(refused.converted());

  FileReport partial;
  partial.readFailed(120, "cannot read");
  partial.workbookSaved("x.xls", 1, 100);
  EXPECT_FALSE(partial.converted());
  EXPECT_EQ(partial.errors().at(0),
            "Error de lectura después de la línea 120; el libro solo recoge las líneas anteriores");

  FileReport silent;  // no message, but nothing saved either
  EXPECT_FALSE(silent.converted());
}

TEST(BatchConvert, ConvertsAFileBesideItAndSaysWhat) {
  TempDir dir;
  WriteFile(dir / "remesa.txt", Generated(1254, 3));
  const Outcome outcome = RunTool({Utf8(dir / "remesa.txt")});
  EXPECT_EQ(outcome.status, kAllConverted) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out, Utf8(dir / "remesa.txt") + " -> " + Utf8(dir / "remesa.xls") +
                             ": 3 cuentas, 1.254 transferencias\n");
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  const std::string sheets = SheetsOf(dir / "remesa.xls");
  EXPECT_EQ(std::count(sheets.begin(), sheets.end(), '\n'), 3) << sheets;
  // 418 transfers in the first account: header, empty row 2, rows 3 to 420.
  EXPECT_NE(sheets.find("\t420\n"), std::string::npos) << sheets;
}

TEST(BatchConvert, NeverReplacesAWorkbookWithoutOverwrite) {
  TempDir dir;
  WriteFile(dir / "remesa.txt", Generated(5, 1));
  WriteFile(dir / "remesa.xls", "the user's own workbook");

  Outcome refused = RunTool({Utf8(dir / "remesa.txt")});
  EXPECT_EQ(refused.status, kSomeNotConverted);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, Utf8(dir / "remesa.txt") + ": El fichero de salida ya existe: " +
                             Utf8(dir / "remesa.xls") + "\n");
  EXPECT_EQ(ReadFile(dir / "remesa.xls"), "the user's own workbook");

  Outcome replaced = RunTool({"--overwrite", Utf8(dir / "remesa.txt")});
  EXPECT_EQ(replaced.status, kAllConverted) << replaced.err;
  EXPECT_NE(ReadFile(dir / "remesa.xls"), "the user's own workbook");
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  EXPECT_NE(SheetsOf(dir / "remesa.xls").find("sheet\t1\t"), std::string::npos);
}

TEST(BatchConvert, OneBadFileAmongSeveralDoesNotStopTheOthers) {
  TempDir dir;
  WriteFile(dir / "uno.txt", Generated(10, 2));
  WriteFile(dir / "malo.txt", Padded("22004912340000000000202612070000012345"));
  WriteFile(dir / "vacio.txt", "");
  WriteFile(dir / "dos.txt", Generated(70000, 1));
  const std::vector<std::string> files = {Utf8(dir / "uno.txt"), Utf8(dir / "malo.txt"),
                                          Utf8(dir / "falta.txt"), Utf8(dir / "vacio.txt"),
                                          Utf8(dir / "dos.txt")};
  const Outcome outcome = RunTool(files);
  EXPECT_EQ(outcome.status, kSomeNotConverted);
  EXPECT_EQ(outcome.out, files[0] + " -> " + Utf8(dir / "uno.xls") +
                             ": 2 cuentas, 10 transferencias\n" + files[4] + " -> " +
                             Utf8(dir / "dos.xls") + ": 1 cuenta, 70.000 transferencias\n");
  EXPECT_EQ(outcome.err, files[1] + ": El fichero no tiene el formato correcto\n" + files[2] +
                             ": No se puede abrir el fichero de entrada\n" + files[3] +
                             ": El fichero no tiene el formato correcto\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "malo.xls"));
  EXPECT_TRUE(std::filesystem::exists(dir / "dos.xls"));
}

TEST(BatchConvert, ReportsDoubtfulRecordsWithTheirLines) {
  TempDir dir;
  const std::string account = Padded("11004912340123456789");
  const std::string transfer = Padded("2200491234000000000020261207000123456700000000000REF1");
  const std::string badAmount = Padded("22004912340000000000202612070001A34567");
  const std::string remarks = Padded(
      "23JOS\xC9 GARC\xCD"
      "A MU\xD1OZ");
  WriteFile(dir / "r.txt",
            account + transfer + remarks + Padded("99 OTRO") + "\r\n" + badAmount + remarks);
  const Outcome outcome = RunTool({Utf8(dir / "r.txt")});
  EXPECT_EQ(outcome.status, kAllConverted) << outcome.err;
  EXPECT_EQ(outcome.out, Utf8(dir / "r.txt") + " -> " + Utf8(dir / "r.xls") +
                             ": 1 cuenta, 2 transferencias\n"
                             "  línea 6: el importe «0001A345,67» no es un número; su celda queda "
                             "vacía\n"
                             "  2 registros de tipo desconocido omitidos (el primero en la línea "
                             "4)\n");
}

TEST(BatchConvert, RepairsLineFeedOnlyFilesInPlace) {
  TempDir dir;
  WriteFile(dir / "lf.txt", Generated(3, 1, /*lineFeedsOnly=*/true));
  const Outcome outcome = RunTool({Utf8(dir / "lf.txt")});
  EXPECT_EQ(outcome.status, kAllConverted) << outcome.err;
  EXPECT_NE(outcome.out.find(": 1 cuenta, 3 transferencias\n  saltos de línea reparados"),
            std::string::npos)
      << outcome.out;
  EXPECT_EQ(ReadFile(dir / "lf.txt"), Generated(3, 1));
}

TEST(BatchConvert, QuietPrintsOnlyErrors) {
  TempDir dir;
  WriteFile(dir / "lf.txt", Generated(3, 1, /*lineFeedsOnly=*/true));
  const Outcome outcome = RunTool({"--quiet", Utf8(dir / "lf.txt"), Utf8(dir / "falta.txt")});
  EXPECT_EQ(outcome.status, kSomeNotConverted);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, Utf8(dir / "falta.txt") + ": No se puede abrir el fichero de entrada\n");
  EXPECT_TRUE(std::filesystem::exists(dir / "lf.xls"));
}

TEST(BatchConvert, OutputOptionNamesTheWorkbookButNeverTheInput) {
  TempDir dir;
  const std::string input = Generated(4, 1);
  WriteFile(dir / "remesa.txt", input);

  Outcome named = RunTool({"-o", Utf8(dir / "junio.xls"), Utf8(dir / "remesa.txt")});
  EXPECT_EQ(named.status, kAllConverted) << named.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "junio.xls"));
  EXPECT_FALSE(std::filesystem::exists(dir / "remesa.xls"));

  Outcome unsaved = RunTool({"-o", Utf8(dir / "falta" / "junio.xls"), Utf8(dir / "remesa.txt")});
  EXPECT_EQ(unsaved.status, kSomeNotConverted);
  EXPECT_EQ(unsaved.out, "");
  EXPECT_EQ(unsaved.err, Utf8(dir / "remesa.txt") + ": No se puede guardar el fichero de salida\n");

  Outcome itself =
      RunTool({"--overwrite", "-o", Utf8(dir / "remesa.txt"), Utf8(dir / "remesa.txt")});
  EXPECT_EQ(itself.status, kSomeNotConverted);
  EXPECT_NE(itself.err.find("El fichero de salida es el propio fichero de entrada"),
            std::string::npos);
  EXPECT_EQ(ReadFile(dir / "remesa.txt"), input);
}

TEST(BatchConvert, TwoInputsOfOneWorkbookDoNotOverwriteEachOther) {
  TempDir dir;
  WriteFile(dir / "remesa.txt", Generated(4, 1));
  WriteFile(dir / "remesa.dat", Generated(6, 2));
  const Outcome outcome =
      RunTool({"--overwrite", Utf8(dir / "remesa.txt"), Utf8(dir / "remesa.dat")});
  EXPECT_EQ(outcome.status, kSomeNotConverted);
  EXPECT_NE(outcome.err.find(Utf8(dir / "remesa.dat") +
                             ": El fichero de salida ya se ha generado en esta ejecución"),
            std::string::npos)
      << outcome.err;
  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  const std::string sheets = SheetsOf(dir / "remesa.xls");
  EXPECT_EQ(std::count(sheets.begin(), sheets.end(), '\n'), 1) << "the first input's workbook";
}

#ifdef QUADRELO_CONVERT_EXECUTABLE
// The built program from a command line, with file names that need quoting and letters beyond
// ASCII in the folder and the files (on Windows they reach wmain as wide arguments).
TEST(BatchConvertProcess, TheBuiltToolConvertsTheSamples) {
  TempDir scratch;
  const std::filesystem::path dir = scratch.path() / PathFromUtf8("Remesas del Año");
  std::filesystem::create_directory(dir);
  // Copies, so that the repair of the LF sample leaves the checkout alone.
  const std::filesystem::path samples = SourceDir() / "samples";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"remesa-tres-cuentas.txt", "remesa de año.txt"},
      {"remesa-saltos-lf.txt", "saltos.txt"},
      {"remesa-lineas-cortas.txt", "cortas de España.txt"}};
  // Built piece by piece: GCC 12 misreports "literal" + std::string&& (-Wrestrict).
  std::string command = ShellQuote(QUADRELO_CONVERT_EXECUTABLE);
  for (const auto& [sample, copy] : files) {
    WriteFile(dir / PathFromUtf8(copy), ReadFile(samples / sample));
    command += ' ';
    command += ShellQuote(Utf8(dir / PathFromUtf8(copy)));
  }
  auto converted = RunCommand(command);
  EXPECT_EQ(converted.exitCode, 0) << converted.output;
  std::string expected;
  const auto summary = [&](const std::string& input, const std::string& workbook,
                           const std::string& counts) {
    expected += Utf8(dir / PathFromUtf8(input));
    expected += " -> ";
    expected += Utf8(dir / PathFromUtf8(workbook));
    expected += ": ";
    expected += counts;
    expected += '\n';
  };
  summary("remesa de año.txt", "remesa de año.xls", "3 cuentas, 60 transferencias");
  summary("saltos.txt", "saltos.xls", "2 cuentas, 25 transferencias");
  expected += "  saltos de línea reparados: el fichero de entrada se ha reescrito con CR LF\n";
  summary("cortas de España.txt", "cortas de España.xls", "1 cuenta, 12 transferencias");
  EXPECT_EQ(converted.output, expected);

  auto again = RunCommand(command);
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.output.find(Utf8(dir / PathFromUtf8("cortas de España.txt")) +
                              ": El fichero de salida ya existe"),
            std::string::npos)
      << again.output;

  auto usage = RunCommand(ShellQuote(QUADRELO_CONVERT_EXECUTABLE) + " --nada");
  EXPECT_EQ(usage.exitCode, 2);

  QUADRELO_SKIP_WITHOUT(Reader::kXlrd);
  EXPECT_NE(SheetsOf(dir / PathFromUtf8("remesa de año.xls")).find("sheet\t3\t"),
            std::string::npos);
}
#endif

}  // namespace
}  // namespace quadrelo::cli
