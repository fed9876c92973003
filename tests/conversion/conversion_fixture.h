#pragma once

// What the conversion tests share: a builder of transfer records, recording stand-ins for the
// window's services, and an application whose workbook can be looked at after the run.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/convert_transfer_file.h"
#include "conversion/report.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "workbook/application.h"
#include "workbook/xls/book.h"

namespace quadrelo::conversion::testing {

// Fixed-width records, padded with spaces to 80 bytes (Windows-1252 bytes, as the bank sends).
inline std::string Padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

inline std::string AccountLine(const std::string& account) {
  return Padded("11" + Padded(account, 18), 80);
}

struct Transfer {
  std::string bank = "0049";
  std::string branch = "1500";
  std::string date = "20261207";  // year, month, day
  std::string amount = "0001234567";
  std::string reference = "REF00000001";
};

inline std::string TransferLine(const Transfer& t) {
  return Padded("22" + Padded(t.bank, 4) + Padded(t.branch, 4) + std::string(10, '0') +
                    Padded(t.date, 8) + Padded(t.amount, 10) + "000" + Padded(t.reference, 11),
                80);
}

inline std::string RemarksLine(const std::string& name, const std::string& remark1,
                               const std::string& remark2) {
  return Padded("23" + Padded(name, 30) + Padded(remark1, 20) + Padded(remark2, 20), 80);
}

inline std::string CrLfFile(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

struct Message {
  std::string text;
  MessageIcon icon;
  bool operator==(const Message&) const = default;
};

class RecordingMessages : public MessageSink {
 public:
  void show(std::string_view text, MessageIcon icon) override {
    shown.push_back({std::string(text), icon});
  }
  std::vector<Message> shown;
};

// Yields `allowed` times, then asks the run to stop. `onYield`, when set, sees each yield's
// number: what the user's other programs may do between two records.
class CountingPump : public EventPump {
 public:
  explicit CountingPump(long allowed = -1) : allowed_(allowed) {}
  bool yield() override {
    ++yields;
    if (onYield) onYield(yields);
    return allowed_ < 0 || yields <= allowed_;
  }
  long yields = 0;
  std::function<void(long)> onYield;

 private:
  long allowed_;
};

class RecordingReport : public ReportSink {
 public:
  void recordRead(long, std::string_view) override { ++records; }
  void sheetPrepared(int position, std::string_view label) override {
    sheets.emplace_back(position, std::string(label));
  }
  void cellNotWritten(long line, std::string_view address, std::string_view) override {
    cellsNotWritten.push_back(std::to_string(line) + ":" + std::string(address));
  }
  void amountNotNumber(long line, std::string_view text) override {
    amounts.push_back(std::to_string(line) + ":" + std::string(text));
  }
  void lineBreaksRepaired() override { repaired = true; }
  void lineBreaksNotRepaired(std::string_view) override { repairFailed = true; }
  void workbookSaved(std::string_view, int sheetCount, long transferCount) override {
    savedSheets = sheetCount;
    savedTransfers = transferCount;
  }
  void workbookNotSaved(std::string_view, std::string_view) override { saveFailed = true; }
  void runStopped(long line) override { stoppedAt = line; }

  long records = 0;
  std::vector<std::pair<int, std::string>> sheets;
  std::vector<std::string> cellsNotWritten;
  std::vector<std::string> amounts;
  bool repaired = false;
  bool repairFailed = false;
  int savedSheets = -1;
  long savedTransfers = -1;
  bool saveFailed = false;
  long stoppedAt = -1;
};

// One cell of the captured workbook.
struct CellView {
  xls::CellKind kind = xls::CellKind::Blank;
  std::string text;
  double number = 0;
  bool bold = false;
  std::string format;
};

// Creates real application instances and keeps a copy of the workbook as it stands when the
// run tells the application to quit. `fault`, when set, sees every member called.
class CapturingFactory {
 public:
  std::function<void(std::string_view member)> fault;
  workbook::SaveClock clock;  // when set, the time every instance stamps on its saves
  int created = 0;
  bool quitSeen = false;
  std::optional<xls::Book> book;

  workbook::ObjectFactory factory() {
    return [this](std::string_view className) {
      ++created;
      // Kept for as long as the factory, since each instance's hook refers to it.
      instances_.push_back(
          std::make_unique<workbook::ApplicationObject>(workbook::CreateObject(className)));
      workbook::ApplicationObject* app = instances_.back().get();
      if (clock) app->setClock(clock);
      app->setFaultHook([this, app](std::string_view member) {
        if (inside_) return;
        if (member == "quit") {
          quitSeen = true;
          inside_ = true;
          book = app->workbooks(1).contents();
          inside_ = false;
        }
        if (fault) fault(member);
      });
      return *app;
    };
  }

  const xls::Sheet& sheet(int position) const {
    return *book->sheets.at(static_cast<std::size_t>(position - 1));
  }
  int sheetCount() const { return static_cast<int>(book->sheets.size()); }

  // `address` such as "D3".
  std::optional<CellView> cell(int position, std::string_view address) const {
    const xls::Sheet& s = sheet(position);
    auto column = static_cast<std::uint16_t>(address[0] - 'A');
    std::size_t row = std::stoul(std::string(address.substr(1))) - 1;
    if (row >= s.rows.size()) return std::nullopt;
    for (const xls::Cell& c : s.rows[row]) {
      if (c.column != column) continue;
      CellView view;
      view.kind = c.kind;
      if (c.kind == xls::CellKind::Text) view.text = std::string(book->strings[c.text]);
      if (c.kind == xls::CellKind::Number) view.number = c.number;
      view.bold = c.bold;
      view.format = book->formats.at(c.format);
      return view;
    }
    return std::nullopt;
  }
  std::string text(int position, std::string_view address) const {
    auto c = cell(position, address);
    return c && c->kind == xls::CellKind::Text ? c->text : std::string();
  }
  bool empty(int position, std::string_view address) const {
    auto c = cell(position, address);
    return !c || c->kind == xls::CellKind::Blank;
  }
  std::string columnFormat(int position, int column) const {
    const xls::Sheet& s = sheet(position);
    std::uint16_t index = static_cast<std::size_t>(column) < s.columnFormats.size()
                              ? s.columnFormats[static_cast<std::size_t>(column)]
                              : 0;
    return book->formats.at(index);
  }

 private:
  std::vector<std::unique_ptr<workbook::ApplicationObject>> instances_;
  bool inside_ = false;
};

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override { files::Reset(); }
  void TearDown() override {
    files::Reset();
    workbook::oExcel = {};
  }

  std::string input() const { return PathToUtf8(dir / "remesa.txt"); }
  std::string output() const { return PathToUtf8(dir / "remesa.xls"); }

  void writeInput(const std::string& bytes) const { WriteFile(dir / "remesa.txt", bytes); }

  RunServices services() {
    RunServices s;
    s.messages = &messages;
    s.events = &pump;
    s.report = &report;
    s.createObject = app.factory();
    return s;
  }

  void convert() { ConvertTransferFile(input(), output(), services()); }

  TempDir dir;
  RecordingMessages messages;
  CountingPump pump;
  RecordingReport report;
  CapturingFactory app;
};

}  // namespace quadrelo::conversion::testing
