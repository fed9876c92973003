// Runs one conversion in a process of its own, for the tests that need another user or another
// mount namespace: "hardening_helper convert INPUT OUTPUT" prints each message the run shows as
// "message: <text>" and "saved" when the workbook was saved; "hardening_helper probe" prints
// "ok", to tell whether the helper can run at all where the test wants it; "hardening_helper
// check WORKBOOK" runs the structural checker on a saved workbook of any size and prints what it
// found.

#include <cstdio>
#include <string>
#include <string_view>

#include "conversion/convert_transfer_file.h"
#include "conversion/report.h"
#include "platform/files.h"
#include "tests/support/test_support.h"
#include "tools/xls_structure/xls_structure.h"

namespace {

class PrintedMessages : public quadrelo::MessageSink {
 public:
  void show(std::string_view text, quadrelo::MessageIcon) override {
    std::printf("message: %.*s\n", static_cast<int>(text.size()), text.data());
  }
};

class PrintedReport : public quadrelo::conversion::ReportSink {
 public:
  void workbookSaved(std::string_view, int, long) override { std::printf("saved\n"); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "probe") {
    std::printf("ok\n");
    return 0;
  }
  if (argc == 3 && std::string_view(argv[1]) == "check") {
    quadrelo::fuzzing::XlsSummary summary;
    std::string fault =
        quadrelo::fuzzing::CheckXlsStructure(quadrelo::testing::ReadFile(argv[2]), &summary);
    if (!fault.empty()) {
      std::printf("fault: %s\n", fault.c_str());
      return 1;
    }
    std::printf("sound: %u sheets, %u strings, %u text cells, %u other cells\n", summary.sheets,
                summary.uniqueStrings, summary.labelCells, summary.otherCells);
    return 0;
  }
  if (argc != 4 || std::string_view(argv[1]) != "convert") {
    std::fprintf(stderr, "usage: hardening_helper probe | convert INPUT OUTPUT | check FILE\n");
    return 2;
  }
  PrintedMessages messages;
  PrintedReport report;
  quadrelo::conversion::RunServices services;
  services.messages = &messages;
  services.report = &report;
  quadrelo::conversion::ConvertTransferFile(argv[2], argv[3], services);
  quadrelo::files::Reset();
  return 0;
}
