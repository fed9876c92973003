#include "conversion/convert_transfer_file.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "conversion/normalize_line_breaks.h"
#include "conversion/record_layout.h"
#include "conversion/report.h"
#include "platform/continue_on_error.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"
#include "workbook/prepare_account_sheet.h"
#include "workbook/xls/book.h"

namespace quadrelo::conversion {

using workbook::oExcel;

namespace {

constexpr std::string_view kCannotOpenInput = "No se puede abrir el fichero de entrada";
constexpr std::string_view kWrongFormat = "El fichero no tiene el formato correcto";
constexpr std::string_view kCannotSave = "No se puede guardar el fichero de salida";

// The last row of a worksheet; an account's next transfer goes on to a sheet of its own.
constexpr long kLastSheetRow = static_cast<long>(xls::kMaxRows);
// Row of the header; each transfer moves one row down before it is written.
constexpr long kHeaderRow = 1;
constexpr long kRowBeforeTransfers = 2;

// Stands in for the report when the caller wants none.
ReportSink gNoReport;

// The state of one run. Buffers are kept across records so that a record costs no allocation.
class Run {
 public:
  explicit Run(const RunServices& services)
      : services_(services), report_(services.report ? *services.report : gNoReport) {}

  ContinueOnError guarded;
  int fileNumber = 0;
  std::string line;
  long lineNumber = 0;

  void show(std::string_view text, MessageIcon icon) {
    if (services_.messages != nullptr) services_.messages->show(text, icon);
  }

  // The run ends with a message, its input file closed and no failure left pending.
  void refuse(std::string_view text, MessageIcon icon, std::string_view reason) {
    report_.runRefused(reason);
    show(text, icon);
    files::Close(fileNumber);
    guarded.clear();
  }

  // Opens the input under a free number and reads its first line. False when the run was
  // refused: the file cannot be opened (or any failure is pending), or it does not begin with an
  // account header.
  bool openInput(const std::string& path) {
    guarded([&] { fileNumber = files::FreeFile(); });
    open(path);
    if (guarded.pending()) {
      refuse(kCannotOpenInput, MessageIcon::Error, guarded.lastMessage());
      return false;
    }
    readLine();
    if (TakePiece(line, kRecordType) != kAccountRecord) {
      refuse(kWrongFormat, MessageIcon::Information,
             "the first line is not an account header (\"11\")");
      return false;
    }
    return true;
  }

  bool open(const std::string& path) {
    return guarded([&] { files::OpenForInput(fileNumber, PathFromUtf8(path)); });
  }

  // No field lies past the longest record, and one byte more tells a line that is too long:
  // a line of any length costs no more memory than that.
  bool readLine() {
    return guarded([&] { files::LineInput(fileNumber, line, kLongestRecord + 1); });
  }

  bool atEnd() {
    bool end = true;  // an end-of-file test that fails ends the loop rather than spinning on it
    guarded([&] { end = files::Eof(fileNumber); });
    return end;
  }

  void startSheets() {
    sheet_ = 0;
    row_ = kHeaderRow;
  }

  void convertRecord() {
    ++lineNumber;
    std::string_view type = TakePiece(line, kRecordType);
    report_.recordRead(lineNumber, type);
    if (type == kAccountRecord) {
      ++sheet_;
      row_ = kRowBeforeTransfers;
      label_.assign(kAccountLabelPrefix);
      AppendWindows1252(TakePiece(line, kAccountField), label_);
      prepareSheet();
    } else if (type == kTransferRecord) {
      if (row_ >= kLastSheetRow) {
        ++sheet_;
        row_ = kRowBeforeTransfers;
        prepareSheet();
      }
      ++row_;
      ++transfers_;
      for (const ColumnField& field : kTransferColumns) writeColumn(field);
    } else if (type == kRemarksRecord) {
      for (const ColumnField& field : kRemarksColumns) writeColumn(field);
    }
  }

  bool yield() { return services_.events == nullptr || services_.events->yield(); }

  void deleteReserveSheet() {
    guarded([&] { oExcel.worksheets(sheet_ + 1).Delete(); });
  }

  void save(const std::string& path) {
    bool saved = guarded([&] { oExcel.workbooks(1).SaveAs(workbook::SaveAsArgs{path}); });
    if (saved) {
      report_.workbookSaved(path, sheet_, transfers_);
    } else {
      report_.workbookNotSaved(path, guarded.lastMessage());
      show(kCannotSave, MessageIcon::Error);
    }
  }

  void releaseApplication() {
    guarded([&] { oExcel.quit(); });
    oExcel = {};
  }

  ReportSink& report() { return report_; }

 private:
  void prepareSheet() {
    guarded([&] { workbook::PrepareAccountSheet(label_, sheet_); });
    report_.sheetPrepared(sheet_, label_);
  }

  void writeColumn(const ColumnField& field) {
    std::string_view bytes = TakeColumn(line, field, bytes_);
    char address[16];
    address[0] = field.column;
    char* end = std::to_chars(address + 1, address + sizeof address, row_).ptr;
    std::string_view cell(address, static_cast<std::size_t>(end - address));

    bool written;
    if (field.kind == ValueKind::Amount) {
      std::optional<double> amount = ReadAmount(bytes);
      if (!amount) report_.amountNotNumber(lineNumber, Utf8(bytes));
      written = guarded([&] {
        if (!amount) Fail(FailureCode::InvalidArgument, "not a number");
        oExcel.worksheets(sheet_).range(cell).Value(*amount);
      });
      if (!amount) return;
    } else {
      std::string_view text = Utf8(bytes);
      written = guarded([&] { oExcel.worksheets(sheet_).range(cell).Value(text); });
    }
    if (!written) report_.cellNotWritten(lineNumber, cell, guarded.lastMessage());
  }

  // The field as UTF-8; most fields are plain ASCII and need no copy.
  std::string_view Utf8(std::string_view bytes) {
    unsigned char high = 0;
    for (char c : bytes) high |= static_cast<unsigned char>(c);
    if (high < 0x80) return bytes;
    text_.clear();
    AppendWindows1252(bytes, text_);
    return text_;
  }

  const RunServices& services_;
  ReportSink& report_;
  int sheet_ = 0;
  long row_ = kHeaderRow;
  long transfers_ = 0;
  std::string label_;
  std::string bytes_;
  std::string text_;
};

}  // namespace

void ConvertTransferFile(const std::string& sFileIn, const std::string& sLibro,
                         const RunServices& services) {
  Run run(services);
  ContinueOnError& guarded = run.guarded;

  // The input must open and begin with an account header.
  if (!run.openInput(sFileIn)) return;
  files::Close(run.fileNumber);
  if (TrimSpaces(sLibro).empty()) return;

  // An application instance for this run: attach to a running one, else start one.
  bool attached = guarded([&] {
    oExcel = services.getObject(workbook::kApplicationClass);
    if (!oExcel) Fail(FailureCode::ClassNotAvailable, "no running application");
  });
  if (!attached) guarded([&] { oExcel = services.createObject(workbook::kApplicationClass); });
  guarded.clear();
  guarded([&] { oExcel.workbooks().Add(); });
  guarded([&] { oExcel.Application().displayalerts(false); });
  run.startSheets();

  // Reopen the input, checked again since it may have changed meanwhile. The checks see any
  // failure since the application was set up, so a missing application ends the run here too.
  // A file whose first line is too long for a record has lost its line breaks and is repaired.
  if (!run.openInput(sFileIn)) return;
  bool firstLineInHand = true;
  if (run.line.size() > kLongestRecord) {
    files::Close(run.fileNumber);
    if (guarded([&] { NormalizeLineBreaks(sFileIn); })) {
      run.report().lineBreaksRepaired();
    } else {
      run.report().lineBreaksNotRepaired(guarded.lastMessage());
    }
    run.open(sFileIn);
    if (guarded.pending()) {
      return run.refuse(kCannotOpenInput, MessageIcon::Error, guarded.lastMessage());
    }
    firstLineInHand = false;
  }

  // One record per line, the window served after each.
  while (firstLineInHand || !run.atEnd()) {
    if (!firstLineInHand && !run.readLine()) {
      run.report().readFailed(run.lineNumber, guarded.lastMessage());
      break;
    }
    firstLineInHand = false;
    run.convertRecord();
    if (!run.yield()) {
      run.report().runStopped(run.lineNumber);
      run.releaseApplication();
      files::Close(run.fileNumber);
      return;
    }
  }

  run.deleteReserveSheet();
  run.save(sLibro);
  run.releaseApplication();
  // The input stays open under its number until every file is closed at the end of the run.
}

}  // namespace quadrelo::conversion
