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
constexpr std::string_view kInputChanged =
    "El fichero de entrada ha cambiado durante la conversión";

// The last row of a worksheet; an account's next transfer goes on to a sheet of its own.
constexpr long kLastSheetRow = static_cast<long>(xls::kMaxRows);
// Row of the header; each transfer moves one row down before it is written.
constexpr long kHeaderRow = 1;
constexpr long kRowBeforeTransfers = 2;

// Stands in for the report when the caller wants none.
ReportSink gNoReport;

// One run over one input file, its steps in the terms of the driver. Every step is guarded:
// a failure is recorded as pending and the run goes on, so a step tells nothing by itself and
// the driver asks failurePending() where a failure must end the run. Buffers are kept across
// records so that a record costs no allocation.
class Run {
 public:
  Run(const std::string& sFileIn, const RunServices& services)
      : sFileIn_(sFileIn),
        services_(services),
        report_(services.report ? *services.report : gNoReport) {}

  // True when a step failed since the failure was last cleared.
  bool failurePending() const { return guarded_.pending(); }

  // Ends the run with the message for an input that did not open, or that changed while the
  // repair read it.
  void refuseUnopenedInput() {
    if (inputChanged_) return refuse(inputChangedMessage(), MessageIcon::Error, lastFailure());
    refuse(kCannotOpenInput, MessageIcon::Error, lastFailure());
  }

  void closeInput() { files::Close(fileNumber_); }

  // Opens the input and reads its first line. False when the run was refused: a failure is
  // pending after the open (whatever failed), or the input does not begin with an account header.
  bool openTransferFile() {
    openInput();
    if (failurePending()) {
      refuseUnopenedInput();
      return false;
    }
    readLine();
    if (!lineIsAccountHeader()) {
      refuse(kWrongFormat, MessageIcon::Information,
             "the first line is not an account header (\"11\")");
      return false;
    }
    return true;
  }

  // An application for this run: attach to a running one, else start one. Its failures are
  // cleared; those of the steps that use it stay pending.
  void startApplication() {
    bool attached = guarded_([&] {
      oExcel = services_.getObject(workbook::kApplicationClass);
      if (!oExcel) Fail(FailureCode::ClassNotAvailable, "no running application");
    });
    if (!attached) guarded_([&] { oExcel = services_.createObject(workbook::kApplicationClass); });
    guarded_.clear();
    guarded_([&] { oExcel.workbooks().Add(); });
    guarded_([&] { oExcel.Application().displayalerts(false); });
    sheet_ = 0;
    moveToRow(kHeaderRow);
  }

  bool lineIsAccountHeader() const { return TakePiece(line_, kRecordType) == kAccountRecord; }
  // A first line too long for a record: the file has lost its line breaks.
  bool lineTooLongForRecord() const { return line_.size() > kLongestRecord; }

  // Rewrites the input with CR LF line breaks and opens it again under the same number.
  void repairLineBreaks() {
    closeInput();
    if (guarded_([&] { NormalizeLineBreaks(sFileIn_); })) {
      report_.lineBreaksRepaired();
    } else {
      inputChanged_ = guarded_.code() == FailureCode::InputChanged;
      report_.lineBreaksNotRepaired(lastFailure());
    }
    openUnderFileNumber();
  }

  // One record per line until the end of the input, the window served after each; the line in
  // hand, if any, is the first record. False when the user stopped the run.
  bool convertRecords(bool lineInHand) {
    while (lineInHand || !atEnd()) {
      if (!lineInHand && !readLine()) {
        report_.readFailed(lineNumber_, lastFailure());
        return true;
      }
      lineInHand = false;
      convertRecord();
      if (!yield()) {
        report_.runStopped(lineNumber_);
        return false;
      }
    }
    readWhole_ = !endUnknown_;
    return true;
  }

  void deleteReserveSheet() {
    guarded_([&] { oExcel.worksheets(sheet_ + 1).Delete(); });
  }

  // The workbook's title (File > Properties) is the input's name without folder and extension.
  void nameWorkbook() {
    guarded_([&] { oExcel.workbooks(1).Title(PathToUtf8(PathFromUtf8(sFileIn_).stem())); });
  }

  // An input read to its end replaces the workbook only if it is still what was read: a file
  // still arriving, or cut meanwhile, would give a workbook of part of it.
  void save(const std::string& path) {
    workbook::SaveAsArgs args{path};
    if (readWhole_) {
      args.beforeReplacing = [this] {
        try {
          files::CheckUnchanged(fileNumber_);
        } catch (const Failure&) {
          inputChanged_ = true;
          throw;
        }
      };
    }
    bool saved = guarded_([&] { oExcel.workbooks(1).SaveAs(args); });
    if (saved) {
      report_.workbookSaved(path, sheet_, transfers_);
    } else {
      report_.workbookNotSaved(path, lastFailure());
      if (inputChanged_) {
        show(inputChangedMessage(), MessageIcon::Error);
      } else {
        show(kCannotSave, MessageIcon::Error);
      }
    }
  }

  void releaseApplication() {
    guarded_([&] { oExcel.quit(); });
    oExcel = {};
  }

 private:
  // Ends the run with a message: its input closed and no failure left pending.
  void refuse(std::string_view text, MessageIcon icon, std::string_view reason) {
    report_.runRefused(reason);
    show(text, icon);
    files::Close(fileNumber_);
    guarded_.clear();
  }
  // Takes a free file number and opens the input under it.
  void openInput() {
    guarded_([&] { fileNumber_ = files::FreeFile(); });
    openUnderFileNumber();
  }
  const std::string& lastFailure() const { return guarded_.lastMessage(); }
  // Names the file, without its folder, so that a batch of many says which one.
  std::string inputChangedMessage() const {
    return std::string(kInputChanged) + ": " + PathToUtf8(PathFromUtf8(sFileIn_).filename());
  }

  void show(std::string_view text, MessageIcon icon) {
    if (services_.messages != nullptr) services_.messages->show(text, icon);
  }

  void openUnderFileNumber() {
    guarded_([&] { files::OpenForInput(fileNumber_, PathFromUtf8(sFileIn_)); });
  }

  // No field lies past the longest record, and one byte more tells a line that is too long:
  // a line of any length costs no more memory than that.
  bool readLine() {
    return guarded_([&] { files::LineInput(fileNumber_, line_, kLongestRecord + 1); });
  }

  bool atEnd() {
    bool end = true;  // an end-of-file test that fails ends the loop rather than spinning on it
    if (!guarded_([&] { end = files::Eof(fileNumber_); })) endUnknown_ = true;
    return end;
  }

  bool yield() { return services_.events == nullptr || services_.events->yield(); }

  void convertRecord() {
    ++lineNumber_;
    std::string_view type = TakePiece(line_, kRecordType);
    report_.recordRead(lineNumber_, type);
    if (type == kAccountRecord) {
      ++sheet_;
      moveToRow(kRowBeforeTransfers);
      label_.assign(kAccountLabelPrefix);
      AppendWindows1252(TakePiece(line_, kAccountField), label_);
      prepareSheet();
    } else if (type == kTransferRecord) {
      if (row_ >= kLastSheetRow) {
        ++sheet_;
        moveToRow(kRowBeforeTransfers);
        prepareSheet();
      }
      moveToRow(row_ + 1);
      ++transfers_;
      for (const ColumnField& field : kTransferColumns) writeColumn(field);
    } else if (type == kRemarksRecord) {
      for (const ColumnField& field : kRemarksColumns) writeColumn(field);
    }
  }

  void prepareSheet() {
    guarded_([&] { workbook::PrepareAccountSheet(label_, sheet_); });
    report_.sheetPrepared(sheet_, label_);
  }

  // The row's number is written out once for the addresses of all its cells.
  void moveToRow(long row) {
    row_ = row;
    addressLength_ = static_cast<std::size_t>(
        std::to_chars(address_ + 1, address_ + sizeof address_, row_).ptr - address_);
  }

  void writeColumn(const ColumnField& field) {
    std::string_view bytes = TakeColumn(line_, field, bytes_);
    address_[0] = field.column;
    std::string_view cell(address_, addressLength_);

    bool written;
    if (field.kind == ValueKind::Amount) {
      std::optional<double> amount = ReadAmount(bytes);
      if (!amount) report_.amountNotNumber(lineNumber_, asUtf8(bytes));
      written = guarded_([&] {
        if (!amount) Fail(FailureCode::InvalidArgument, "not a number");
        oExcel.worksheets(sheet_).range(cell).Value(*amount);
      });
      if (!amount) return;
    } else {
      std::string_view text = asUtf8(bytes);
      written = guarded_([&] { oExcel.worksheets(sheet_).range(cell).Value(text); });
    }
    if (!written) report_.cellNotWritten(lineNumber_, cell, lastFailure());
  }

  // The field as UTF-8; most fields are plain ASCII and need no copy.
  std::string_view asUtf8(std::string_view bytes) {
    if (IsAscii(bytes)) return bytes;
    text_.clear();
    AppendWindows1252(bytes, text_);
    return text_;
  }

  const std::string& sFileIn_;
  const RunServices& services_;
  ReportSink& report_;
  ContinueOnError guarded_;
  int fileNumber_ = 0;
  std::string line_;
  long lineNumber_ = 0;
  int sheet_ = 0;
  long row_ = kHeaderRow;
  char address_[16] = {};  // the address of a cell of the row: its column, then row_'s digits
  std::size_t addressLength_ = 0;
  long transfers_ = 0;
  bool readWhole_ = false;     // the record loop reached the end of the input
  bool endUnknown_ = false;    // an end-of-file test failed and ended the loop
  bool inputChanged_ = false;  // the input was found changed while it was read
  std::string label_;
  std::string bytes_;
  std::string text_;
};

}  // namespace

void ConvertTransferFile(const std::string& sFileIn, const std::string& sLibro,
                         const RunServices& services) {
  Run run(sFileIn, services);

  // The input must open and begin with an account header.
  if (!run.openTransferFile()) return;
  run.closeInput();
  if (TrimSpaces(sLibro).empty()) return;

  run.startApplication();

  // Reopen the input, checked again since it may have changed meanwhile; a failure still pending
  // from the application's start refuses the run here as well.
  if (!run.openTransferFile()) return;
  bool firstLineInHand = true;
  if (run.lineTooLongForRecord()) {
    run.repairLineBreaks();
    if (run.failurePending()) return run.refuseUnopenedInput();
    firstLineInHand = false;
  }

  if (!run.convertRecords(firstLineInHand)) {
    run.releaseApplication();
    run.closeInput();
    return;
  }
  run.deleteReserveSheet();
  run.nameWorkbook();
  run.save(sLibro);
  run.releaseApplication();
  // The input stays open under its number until every file is closed at the end of the run.
}

}  // namespace quadrelo::conversion
