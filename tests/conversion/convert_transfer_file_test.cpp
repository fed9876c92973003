#include "conversion/convert_transfer_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/conversion/conversion_fixture.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <csignal>
#endif

namespace quadrelo::conversion::testing {
namespace {

const Message kCannotOpen{"No se puede abrir el fichero de entrada", MessageIcon::Error};
const Message kWrongFormat{"El fichero no tiene el formato correcto", MessageIcon::Information};
const Message kCannotSave{"No se puede guardar el fichero de salida", MessageIcon::Error};
const Message kInputChanged{"El fichero de entrada ha cambiado durante la conversión: remesa.txt",
                            MessageIcon::Error};

Transfer NumberedTransfer(long n) {
  Transfer t;
  char reference[32];
  std::snprintf(reference, sizeof reference, "R%010ld", n);
  t.reference = reference;
  return t;
}

TEST_F(ConversionTest, OneAccountWithTwoTransfersAndTheirRemarks) {
  Transfer second;
  second.bank = "2100";
  second.branch = " 38";
  second.date = "202601 5";
  second.amount = "0000000105";
  second.reference = "  X-7";
  writeInput(CrLfFile({AccountLine("ES7620770024003102575766"), TransferLine(Transfer{}),
                       RemarksLine("GARCIA LOPEZ, MARIA", "FACTURA 2026/118", "PEDIDO 44"),
                       TransferLine(second),
                       RemarksLine("Mu\xf1oz Ib\xe1\xf1"
                                   "ez",
                                   "", "")}));
  convert();

  EXPECT_TRUE(messages.shown.empty());
  ASSERT_TRUE(app.book);
  ASSERT_EQ(app.sheetCount(), 1);  // the reserve sheet is gone
  EXPECT_EQ(app.sheet(1).name, "Cuenta: ES7620770024003102");
  EXPECT_EQ(app.text(1, "A1"), "Entidad ordenante");
  EXPECT_EQ(app.text(1, "C1"), "Fecha presentación");
  EXPECT_EQ(app.text(1, "E1"), "Ref. operación");
  EXPECT_EQ(app.text(1, "H1"), "Observaciones 2");
  for (const char* header : {"A1", "B1", "C1", "D1", "E1", "F1", "G1", "H1"}) {
    EXPECT_TRUE(app.cell(1, header)->bold) << header;
  }
  EXPECT_EQ(app.columnFormat(1, 2), "@");
  EXPECT_EQ(app.columnFormat(1, 3), "##,##0.00");
  for (const char* cell : {"A2", "B2", "C2", "D2", "E2", "F2", "G2", "H2"}) {
    EXPECT_TRUE(app.empty(1, cell)) << cell;
  }

  EXPECT_EQ(app.text(1, "A3"), "0049");
  EXPECT_EQ(app.text(1, "B3"), "1500");
  EXPECT_EQ(app.text(1, "C3"), "07/12/2026");
  EXPECT_EQ(app.cell(1, "C3")->format, "@");
  EXPECT_EQ(app.cell(1, "D3")->kind, xls::CellKind::Number);
  EXPECT_EQ(app.cell(1, "D3")->number, 12345.67);
  EXPECT_EQ(app.cell(1, "D3")->format, "##,##0.00");
  EXPECT_EQ(app.text(1, "E3"), "REF00000001");
  EXPECT_EQ(app.text(1, "F3"), "GARCIA LOPEZ, MARIA");
  EXPECT_EQ(app.text(1, "G3"), "FACTURA 2026/118");
  EXPECT_EQ(app.text(1, "H3"), "PEDIDO 44");

  EXPECT_EQ(app.text(1, "A4"), "2100");
  EXPECT_EQ(app.text(1, "B4"), "38");
  EXPECT_EQ(app.text(1, "C4"), "5/01/2026");
  EXPECT_EQ(app.cell(1, "D4")->number, 1.05);
  EXPECT_EQ(app.text(1, "E4"), "X-7");
  EXPECT_EQ(app.text(1, "F4"), "Muñoz Ibáñez");
  EXPECT_TRUE(app.empty(1, "G4"));
  EXPECT_TRUE(app.empty(1, "H4"));

  EXPECT_TRUE(fs::exists(output()));
  EXPECT_EQ(app.book->properties.title, "remesa");  // the input's name
  EXPECT_TRUE(app.quitSeen);
  EXPECT_FALSE(workbook::oExcel);
  EXPECT_EQ(report.savedSheets, 1);
  EXPECT_EQ(report.savedTransfers, 2);
  EXPECT_EQ(report.records, 5);
  EXPECT_EQ(pump.yields, 5);
  // The input stays open until every file is closed after the run.
  EXPECT_EQ(files::OpenCount(), 1);
}

TEST_F(ConversionTest, FieldsAreDecodedFromWindows1252) {
  writeInput(CrLfFile({AccountLine("CAJA \xd1"
                                   "ANDU"),
                       TransferLine(Transfer{}),
                       RemarksLine("\xc1"
                                   "NGEL PE\xd1"
                                   "A",
                                   "\x80 \x93"
                                   "cita\x94",
                                   "caf\xe9")}));
  convert();
  ASSERT_TRUE(app.book);
  EXPECT_EQ(app.sheet(1).name, "Cuenta: CAJA ÑANDU");
  EXPECT_EQ(app.text(1, "F3"), "ÁNGEL PEÑA");
  EXPECT_EQ(app.text(1, "G3"), "€ “cita”");
  EXPECT_EQ(app.text(1, "H3"), "café");
}

TEST_F(ConversionTest, EachAccountGetsItsSheetAndStartsAtRowThree) {
  writeInput(CrLfFile({AccountLine("ACCOUNT-ONE"), TransferLine(NumberedTransfer(1)),
                       TransferLine(NumberedTransfer(2)), AccountLine("  ACCOUNT TWO  "),
                       RemarksLine("before any transfer", "r1", "r2"),
                       TransferLine(NumberedTransfer(3)), RemarksLine("third", "", "")}));
  convert();
  ASSERT_TRUE(app.book);
  ASSERT_EQ(app.sheetCount(), 2);
  EXPECT_EQ(app.sheet(1).name, "Cuenta: ACCOUNT-ONE");
  EXPECT_EQ(app.sheet(2).name, "Cuenta:   ACCOUNT TWO");  // inner spaces stay
  EXPECT_EQ(app.text(1, "E3"), "R0000000001");
  EXPECT_EQ(app.text(1, "E4"), "R0000000002");
  EXPECT_EQ(app.text(2, "E1"), "Ref. operación");
  // Remarks before an account's first transfer land in the empty row under the header.
  EXPECT_EQ(app.text(2, "F2"), "before any transfer");
  EXPECT_EQ(app.text(2, "G2"), "r1");
  EXPECT_EQ(app.text(2, "E3"), "R0000000003");
  EXPECT_EQ(app.text(2, "F3"), "third");
  EXPECT_EQ(report.sheets,
            (std::vector<std::pair<int, std::string>>{{1, "Cuenta: ACCOUNT-ONE       "},
                                                      {2, "Cuenta:   ACCOUNT TWO     "}}));
  EXPECT_EQ(report.savedTransfers, 3);
}

TEST_F(ConversionTest, ShortLinesAndOtherRecordTypes) {
  std::string full = TransferLine(Transfer{});
  writeInput(CrLfFile({"11", "", "99 anything", "2 ", " 2", full.substr(0, 38), full.substr(0, 33),
                       full.substr(0, 36), full.substr(0, 37), "23short", "22"}));
  convert();
  ASSERT_TRUE(app.book);
  EXPECT_EQ(app.sheet(1).name, "Cuenta:");  // a label of spaces is trimmed
  // Exactly 38 characters: A to D, and E empty.
  EXPECT_EQ(app.cell(1, "D3")->number, 12345.67);
  EXPECT_TRUE(app.empty(1, "E3"));
  // Ending inside the whole units: the amount is no number, the rest is written.
  EXPECT_TRUE(app.empty(1, "D4"));
  EXPECT_EQ(app.text(1, "A4"), "0049");
  EXPECT_EQ(app.text(1, "C4"), "07/12/2026");
  EXPECT_TRUE(app.empty(1, "D5"));
  // Ending inside the hundredths: one decimal read as tenths.
  EXPECT_EQ(app.cell(1, "D6")->number, 12345.6);
  EXPECT_EQ(app.text(1, "F6"), "short");
  // A bare "22": empty texts, a date of its separators, no amount.
  EXPECT_TRUE(app.empty(1, "A7"));
  EXPECT_EQ(app.text(1, "C7"), "//");
  EXPECT_TRUE(app.empty(1, "D7"));
  EXPECT_EQ(report.amounts, (std::vector<std::string>{"7:00012,", "8:00012345,", "11:,"}));
  EXPECT_EQ(report.savedTransfers, 5);
  EXPECT_EQ(pump.yields, 11);  // one per record, skipped ones included
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConversionTest, RefusedInputs) {
  struct Case {
    const char* what;
    std::optional<std::string> bytes;  // none: the file does not exist
    std::vector<Message> shown;
  };
  const std::vector<Case> cases = {
      {"missing file", std::nullopt, {kCannotOpen}},
      {"empty file", "", {kWrongFormat}},
      {"first record a transfer", CrLfFile({TransferLine(Transfer{})}), {kWrongFormat}},
      {"first line '1'", "1\r\n11", {kWrongFormat}},
  };
  for (const Case& c : cases) {
    fs::remove(dir / "remesa.txt");
    if (c.bytes) writeInput(*c.bytes);
    messages.shown.clear();
    convert();
    EXPECT_EQ(messages.shown, c.shown) << c.what;
    EXPECT_EQ(app.created, 0) << c.what;
    EXPECT_EQ(files::OpenCount(), 0) << c.what;
    EXPECT_FALSE(fs::exists(output())) << c.what;
  }
  // A folder is no input file, and opening it does not block.
  ConvertTransferFile(PathToUtf8(dir.path()), output(), services());
  EXPECT_EQ(messages.shown.back(), kCannotOpen);
}

TEST_F(ConversionTest, AnOutputPathOfSpacesEndsTheRunSilently) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{})}));
  ConvertTransferFile(input(), "   ", services());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(app.created, 0);
  EXPECT_EQ(files::OpenCount(), 0);
}

TEST_F(ConversionTest, NoApplicationEndsTheRunAtTheReopenedInput) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{})}));
  const std::vector<std::pair<const char*, workbook::ObjectFactory>> factories = {
      {"empty reference", [](std::string_view) { return workbook::ApplicationObject(); }},
      {"class not available",
       [](std::string_view) -> workbook::ApplicationObject {
         throw Failure(FailureCode::ClassNotAvailable, "no such class");
       }},
  };
  for (const auto& [what, factory] : factories) {
    messages.shown.clear();
    RunServices s = services();
    s.createObject = factory;
    ConvertTransferFile(input(), output(), s);
    EXPECT_EQ(messages.shown, std::vector<Message>{kCannotOpen}) << what;
    EXPECT_EQ(files::OpenCount(), 0) << what;
    EXPECT_FALSE(fs::exists(output())) << what;
  }
}

TEST_F(ConversionTest, AnInputChangedAfterItsCheckIsCheckedAgain) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{})}));
  WriteFile(dir / "remesa.xls", "an earlier workbook");
  RunServices s = services();
  workbook::ObjectFactory create = s.createObject;
  // The application starts between the check and the reopening; the file changes meanwhile.
  s.createObject = [&](std::string_view className) {
    writeInput(CrLfFile({TransferLine(Transfer{})}));
    return create(className);
  };
  ConvertTransferFile(input(), output(), s);
  EXPECT_EQ(messages.shown, std::vector<Message>{kWrongFormat});
  EXPECT_EQ(ReadFile(output()), "an earlier workbook");
  EXPECT_EQ(files::OpenCount(), 0);
}

TEST_F(ConversionTest, ARunningApplicationIsUsedWhenAttachingSucceeds) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{})}));
  RunServices s = services();
  s.getObject = s.createObject;
  s.createObject = [](std::string_view) -> workbook::ApplicationObject {
    throw Failure(FailureCode::Unexpected, "must not be called");
  };
  ConvertTransferFile(input(), output(), s);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(app.created, 1);
  EXPECT_TRUE(fs::exists(output()));
}

TEST_F(ConversionTest, EveryRunHasAnInstanceOfItsOwn) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{})}));
  convert();
  files::Reset();
  convert();
  EXPECT_EQ(app.created, 2);
  EXPECT_EQ(app.sheetCount(), 1);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConversionTest, LongFirstLinesAreRepairedFromEightyOneCharacters) {
  // A lone LF inside a later record shows whether the file was rewritten.
  std::string marked = RemarksLine("A\nB", "", "");
  for (std::size_t extra : {0u, 1u}) {
    std::string first = AccountLine("ACC") + std::string(extra, ' ');
    std::string bytes = CrLfFile({first, TransferLine(Transfer{}), marked});
    writeInput(bytes);
    report = RecordingReport();
    convert();
    files::Reset();
    EXPECT_EQ(report.repaired, extra == 1) << first.size();
    EXPECT_EQ(ReadFile(input()) == bytes, extra == 0) << first.size();
    EXPECT_EQ(app.text(1, "E3"), "REF00000001");
    EXPECT_EQ(app.text(1, "F3"), extra == 0 ? "A\nB" : "A");
  }
}

TEST_F(ConversionTest, ALineFeedOnlyFileIsRepairedAndConvertedFromItsFirstRecord) {
  std::string bytes = AccountLine("LF-ONLY") + "\n" + TransferLine(NumberedTransfer(1)) + "\n" +
                      RemarksLine("UNO", "", "") + "\n" + AccountLine("SECOND") + "\n" +
                      TransferLine(NumberedTransfer(2));  // no break after the last line
  writeInput(bytes);
  convert();
  EXPECT_TRUE(report.repaired);
  EXPECT_EQ(ReadFile(input()), CrLfFile({AccountLine("LF-ONLY"), TransferLine(NumberedTransfer(1)),
                                         RemarksLine("UNO", "", ""), AccountLine("SECOND"),
                                         TransferLine(NumberedTransfer(2))}));
  ASSERT_TRUE(app.book);
  ASSERT_EQ(app.sheetCount(), 2);
  EXPECT_EQ(app.sheet(1).name, "Cuenta: LF-ONLY");
  EXPECT_EQ(app.text(1, "E3"), "R0000000001");
  EXPECT_EQ(app.text(1, "F3"), "UNO");
  EXPECT_EQ(app.text(2, "E3"), "R0000000002");
  EXPECT_EQ(report.records, 5);
  EXPECT_TRUE(messages.shown.empty());
}

#ifndef _WIN32
TEST_F(ConversionTest, AFailedRepairLeavesTheInputAndEndsTheRun) {
  std::string bytes;
  for (long n = 0; n < 30000; ++n) {
    bytes += (n == 0 ? AccountLine("A") : TransferLine(NumberedTransfer(n))) + "\n";
  }
  writeInput(bytes);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limit = saved;
  limit.rlim_cur = 1 << 20;  // the repaired copy cannot be written whole
  setrlimit(RLIMIT_FSIZE, &limit);
  convert();
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(messages.shown, std::vector<Message>{kCannotOpen});
  EXPECT_TRUE(report.repairFailed);
  EXPECT_EQ(ReadFile(input()), bytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
  EXPECT_EQ(files::OpenCount(), 0);
}
#endif

TEST_F(ConversionTest, AFailedCellWriteLeavesOnlyThatCellEmpty) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{}), RemarksLine("N", "G", "H"),
                       TransferLine(NumberedTransfer(2))}));
  // The header row makes eight writes; the twelfth is D3.
  int values = 0;
  app.fault = [&](std::string_view member) {
    if (member == "Value" && ++values == 12) throw Failure(FailureCode::Unexpected, "refused");
  };
  convert();
  ASSERT_TRUE(app.book);
  EXPECT_TRUE(app.empty(1, "D3"));
  for (const char* cell : {"A3", "B3", "C3", "E3", "F3", "G3", "H3"}) {
    EXPECT_FALSE(app.empty(1, cell)) << cell;
  }
  EXPECT_EQ(app.text(1, "E4"), "R0000000002");
  EXPECT_EQ(report.cellsNotWritten, std::vector<std::string>{"2:D3"});
  EXPECT_TRUE(messages.shown.empty());  // the failure stays pending, and nothing checks it
  EXPECT_TRUE(fs::exists(output()));
}

TEST_F(ConversionTest, ARefusedSheetNameLeavesTheHeaderAndFormats) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{})}));
  app.fault = [](std::string_view member) {
    if (member == "Name") throw Failure(FailureCode::InvalidArgument, "refused name");
  };
  convert();
  ASSERT_TRUE(app.book);
  EXPECT_EQ(app.sheet(1).name, "Hoja1");
  EXPECT_EQ(app.text(1, "A1"), "Entidad ordenante");
  EXPECT_EQ(app.text(1, "H1"), "Observaciones 2");
  EXPECT_EQ(app.columnFormat(1, 2), "@");
  EXPECT_EQ(app.columnFormat(1, 3), "##,##0.00");
  EXPECT_EQ(app.text(1, "E3"), "REF00000001");
}

TEST_F(ConversionTest, AFailingBoldStillWritesTheHeaderText) {
  writeInput(CrLfFile({AccountLine("A")}));
  app.fault = [](std::string_view member) {
    if (member == "Bold") throw Failure(FailureCode::Unexpected, "no bold");
  };
  convert();
  ASSERT_TRUE(app.book);
  EXPECT_EQ(app.text(1, "D1"), "Importe");
  EXPECT_FALSE(app.cell(1, "D1")->bold);
}

TEST_F(ConversionTest, AFailedReserveSheetStillNamesTheAccountSheet) {
  writeInput(CrLfFile({AccountLine("FIRST"), TransferLine(Transfer{}), AccountLine("SECOND"),
                       TransferLine(NumberedTransfer(2))}));
  int adds = 0;
  app.fault = [&](std::string_view member) {
    // The first "Add" is the workbook's; the second the first account's reserve sheet.
    if (member == "Add" && ++adds == 2) throw Failure(FailureCode::Unexpected, "no sheet");
  };
  convert();
  ASSERT_TRUE(app.book);
  // The second account's reserve sheet takes position 2, so both accounts keep their sheets;
  // the final delete finds no reserve and fails without consequence.
  ASSERT_EQ(app.sheetCount(), 2);
  EXPECT_EQ(app.sheet(1).name, "Cuenta: FIRST");
  EXPECT_EQ(app.text(1, "E3"), "REF00000001");
  EXPECT_EQ(app.sheet(2).name, "Cuenta: SECOND");
  EXPECT_EQ(app.text(2, "E3"), "R0000000002");
}

TEST_F(ConversionTest, AFailedSaveIsReported) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{})}));
  ConvertTransferFile(input(), PathToUtf8(dir / "no such folder" / "remesa.xls"), services());
  EXPECT_EQ(messages.shown, std::vector<Message>{kCannotSave});
  EXPECT_TRUE(report.saveFailed);
  EXPECT_EQ(report.savedSheets, -1);
  EXPECT_TRUE(app.quitSeen);
  EXPECT_FALSE(workbook::oExcel);

  messages.shown.clear();
  app.fault = [](std::string_view member) {
    if (member == "SaveAs") throw Failure(FailureCode::SaveFailed, "disk full");
  };
  files::Reset();
  convert();
  EXPECT_EQ(messages.shown, std::vector<Message>{kCannotSave});
  EXPECT_FALSE(fs::exists(output()));
}

// A file still arriving, or cut, while it is read: the workbook would hold part of it.
TEST_F(ConversionTest, AnInputThatChangesDuringTheRunKeepsTheEarlierWorkbook) {
  const std::string bytes =
      CrLfFile({AccountLine("A"), TransferLine(Transfer{}), TransferLine(NumberedTransfer(2))});
  const struct {
    const char* name;
    std::function<void(const fs::path&)> change;
  } cases[] = {
      {"truncated", [](const fs::path& p) { fs::resize_file(p, 82); }},
      {"grown",
       [](const fs::path& p) {
         WriteFile(p, ReadFile(p) + TransferLine(NumberedTransfer(3)) + "\r\n");
       }},
#ifndef _WIN32  // Windows renames nothing over a file that is open
      {"replaced",
       [](const fs::path& p) {
         WriteFile(p.string() + ".new", CrLfFile({AccountLine("B")}));
         fs::rename(p.string() + ".new", p);
       }},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    files::Reset();
    messages.shown.clear();
    writeInput(bytes);
    WriteFile(dir / "remesa.xls", "earlier workbook");
    pump.yields = 0;
    pump.onYield = [&](long yields) {
      if (yields == 2) c.change(dir / "remesa.txt");
    };
    convert();
    EXPECT_EQ(messages.shown, std::vector<Message>{kInputChanged});
    EXPECT_TRUE(report.saveFailed);
    EXPECT_TRUE(ReadFile(output()) == "earlier workbook");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
  }
  // Left alone, the same input replaces the earlier workbook.
  files::Reset();
  messages.shown.clear();
  writeInput(bytes);
  pump.onYield = nullptr;
  convert();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(report.savedTransfers, 2);
}

TEST_F(ConversionTest, AStopRequestEndsTheRunWithoutSaving) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{}), RemarksLine("N", "", ""),
                       TransferLine(Transfer{})}));
  pump = CountingPump(2);
  convert();
  EXPECT_EQ(pump.yields, 3);  // stopped after the third record
  EXPECT_EQ(report.stoppedAt, 3);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(fs::exists(output()));
  EXPECT_TRUE(app.quitSeen);
  EXPECT_FALSE(workbook::oExcel);
  EXPECT_EQ(files::OpenCount(), 0);
}

TEST_F(ConversionTest, AFullSheetContinuesOnANewSheetOfTheSameAccount) {
  // Rows 3 to 65536 hold 65534 transfers; the next ones go to a second sheet of the account,
  // and the following account moves one position along.
  const long kPerSheet = 65534;
  std::vector<std::string> lines = {AccountLine("BIG")};
  for (long n = 1; n <= kPerSheet + 2; ++n) {
    lines.push_back(TransferLine(NumberedTransfer(n)));
    if (n >= kPerSheet) lines.push_back(RemarksLine("R" + std::to_string(n), "", ""));
  }
  lines.push_back(AccountLine("SMALL"));
  lines.push_back(TransferLine(NumberedTransfer(0)));
  writeInput(CrLfFile(lines));
  convert();
  ASSERT_TRUE(app.book);
  ASSERT_EQ(app.sheetCount(), 3);
  EXPECT_EQ(app.sheet(1).rows.size(), 65536u);
  EXPECT_EQ(app.text(1, "E3"), "R0000000001");
  EXPECT_EQ(app.text(1, "E65536"), "R0000065534");
  EXPECT_EQ(app.text(1, "F65536"), "R65534");
  EXPECT_EQ(app.sheet(2).name, "Cuenta: BIG");
  EXPECT_EQ(app.text(2, "A1"), "Entidad ordenante");
  EXPECT_EQ(app.text(2, "E3"), "R0000065535");
  EXPECT_EQ(app.text(2, "F3"), "R65535");
  EXPECT_EQ(app.text(2, "E4"), "R0000065536");
  EXPECT_EQ(app.text(2, "F4"), "R65536");
  EXPECT_EQ(app.sheet(3).name, "Cuenta: SMALL");
  EXPECT_EQ(app.text(3, "E3"), "R0000000000");
  EXPECT_EQ(xls::SavedSheetNames(*app.book),
            (std::vector<std::string>{"Cuenta BIG", "Cuenta BIG (2)", "Cuenta SMALL"}));
  EXPECT_EQ(report.savedSheets, 3);
  EXPECT_EQ(report.savedTransfers, kPerSheet + 3);
}

TEST_F(ConversionTest, RunsWithoutMessagesEventsOrReport) {
  writeInput(CrLfFile({AccountLine("A"), TransferLine(Transfer{})}));
  RunServices bare;
  bare.createObject = app.factory();
  ConvertTransferFile(input(), output(), bare);
  EXPECT_TRUE(fs::exists(output()));
  EXPECT_EQ(app.text(1, "E3"), "REF00000001");
}

}  // namespace
}  // namespace quadrelo::conversion::testing
