#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "conversion/report.h"
#include "platform/ui_services.h"

namespace quadrelo::cli {

// Everything one conversion told us: the driver's messages and its report, kept for printing
// once the run is over. The driver's failure reasons are developer texts, so only Spanish texts
// of our own are kept.
class FileReport : public MessageSink, public conversion::ReportSink {
 public:
  struct Warning {
    long line = 0;     // 0 when it concerns the whole file
    std::string text;  // Spanish, ready to print
  };

  // MessageSink
  void show(std::string_view text, MessageIcon icon) override;

  // ReportSink
  void recordRead(long line, std::string_view type) override;
  void cellNotWritten(long line, std::string_view address, std::string_view reason) override;
  void amountNotNumber(long line, std::string_view text) override;
  void lineBreaksRepaired() override { repaired_ = true; }
  void workbookSaved(std::string_view path, int sheets, long transfers) override;
  void lineBreaksNotRepaired(std::string_view reason) override;
  void readFailed(long line, std::string_view reason) override;
  void runStopped(long line) override;

  // The driver says nothing on success, so a run converted its file when it showed no message,
  // saved the workbook, and lost no records on the way.
  bool converted() const { return saved_ && errors_.empty(); }
  bool saved() const { return saved_; }

  // The driver's messages and the failures that lost records, in the order they happened.
  const std::vector<std::string>& errors() const { return errors_; }
  // Things worth a look in a converted workbook, in line order.
  const std::vector<Warning>& warnings() const { return warnings_; }

  long accounts() const { return accounts_; }
  long transfers() const { return transfers_; }
  long unknownRecords() const { return unknownRecords_; }
  long firstUnknownLine() const { return firstUnknownLine_; }
  bool repaired() const { return repaired_; }

 private:
  std::vector<std::string> errors_;
  std::vector<Warning> warnings_;
  long accounts_ = 0;
  long transfers_ = 0;
  long unknownRecords_ = 0;
  long firstUnknownLine_ = 0;
  bool repaired_ = false;
  bool saved_ = false;
};

// 1254 -> "1.254", 70000 -> "70.000": full stops between groups of three digits, as the
// accounting staff write figures (four-digit numbers grouped too).
std::string GroupThousands(long value);

// "remesa.txt -> remesa.xls: 3 cuentas, 1.254 transferencias"
std::string SummaryLine(const std::string& input, const std::string& workbook,
                        const FileReport& report);

// The warnings of a converted file, one line each, at most `limit` of the listed ones followed
// by a line that counts the rest.
std::vector<std::string> WarningLines(const FileReport& report, std::size_t limit);

}  // namespace quadrelo::cli
