#include "workbook/xls/workbook_stream.h"

#include <array>
#include <cassert>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "workbook/xls/compound_file.h"
#include "workbook/xls/document_properties.h"
#include "workbook/xls/record_writer.h"
#include "workbook/xls/shared_strings.h"
#include "workbook/xls/styles.h"
#include "workbook/xls/unicode.h"
#include "workbook/xls/worksheet_stream.h"

namespace quadrelo::xls {

namespace {

// Everything measured before the first byte goes out.
struct WorkbookPlan {
  std::vector<const Sheet*> sheets;  // never null
  std::vector<std::string> names;
  std::uint16_t activeSheet = 0;
  std::vector<WorksheetPlan> sheetPlans;
  std::vector<std::uint32_t> sheetOffsets;  // BOF of each sheet in the stream
  std::uint32_t labelCount = 0;
  EncodedSst sst;
  std::uint64_t globalsSize = 0;
  std::uint64_t streamSize = 0;
};

void WriteCodePage(RecordWriter& w) {
  const std::array<std::uint8_t, 2> body = {0xB0, 0x04};  // 1200: text is UTF-16
  w.record(record::kCodePage, body);
}

void WriteWindow1(RecordWriter& w, std::uint16_t activeSheet) {
  std::array<std::uint8_t, 18> body{};
  Put16(body.data() + 4, 0x355C);  // window width
  Put16(body.data() + 6, 0x30ED);  // window height
  Put16(body.data() + 8, 0x0038);  // scroll bars and sheet tabs shown
  Put16(body.data() + 10, activeSheet);
  Put16(body.data() + 14, 1);       // one selected sheet
  Put16(body.data() + 16, 0x0258);  // tab bar width
  w.record(record::kWindow1, body);
}

void WriteDateMode(RecordWriter& w) {
  const std::array<std::uint8_t, 2> body = {0, 0};  // dates count from 1900
  w.record(record::kDateMode, body);
}

void WriteBoundSheet(RecordWriter& w, std::uint32_t offset, const std::string& name) {
  std::string body(6, '\0');
  Put32(reinterpret_cast<std::uint8_t*>(body.data()), offset);
  // Visible worksheet; the name was cut to 31 units, so it fits its one-byte length.
  std::u16string units = ToUtf16(name);
  body += static_cast<char>(units.size());
  AppendBiffChars(units, body);
  w.record(record::kBoundSheet, body);
}

void WriteGlobals(RecordWriter& w, const WorkbookPlan& plan, const StyleTable& styles) {
  WriteBof(w, SubstreamKind::Globals);
  WriteCodePage(w);
  WriteWindow1(w, plan.activeSheet);
  WriteDateMode(w);
  styles.writeFonts(w);
  styles.writeFormats(w);
  styles.writeXfs(w);
  styles.writeStyles(w);
  for (std::size_t i = 0; i < plan.sheets.size(); ++i) {
    WriteBoundSheet(w, i < plan.sheetOffsets.size() ? plan.sheetOffsets[i] : 0, plan.names[i]);
  }
  WriteEncodedSst(w, plan.sst, plan.labelCount);
  WriteEof(w);
}

WorkbookPlan PlanWorkbook(const Book& book, StyleTable& styles) {
  static const Sheet kEmptySheet;
  WorkbookPlan plan;
  plan.names = SavedSheetNames(book);
  for (const auto& sheet : book.sheets) plan.sheets.push_back(sheet ? sheet.get() : &kEmptySheet);
  // A workbook holds at least one sheet.
  if (plan.sheets.empty()) {
    plan.sheets.push_back(&kEmptySheet);
    plan.names.push_back(DefaultSheetName(1));
  }
  plan.activeSheet = book.activeSheet < plan.sheets.size() && book.activeSheet <= 0xFFFF
                         ? static_cast<std::uint16_t>(book.activeSheet)
                         : 0;

  // The strings do not depend on the sheets: they are encoded once, on a second thread while
  // the sheets are measured.
  EncodedSst sst;
  std::exception_ptr encodingFailed;
  {
    auto encode = [&] {
      try {
        sst = EncodeSst(book.strings);
      } catch (...) {
        encodingFailed = std::current_exception();
      }
    };
    std::jthread encoder;
    try {
      encoder = std::jthread(encode);
    } catch (const std::system_error&) {
      encode();
    }
    for (const Sheet* sheet : plan.sheets) {
      plan.sheetPlans.push_back(PlanWorksheet(*sheet, book.strings, styles));
      plan.labelCount += plan.sheetPlans.back().labelCount;
    }
  }
  if (encodingFailed) std::rethrow_exception(encodingFailed);
  plan.sst = std::move(sst);
  // Measure the globals by writing them into nothing: only the offsets are still unknown, and
  // they do not change the size.
  ByteOutput counter;
  RecordWriter measure(counter, 0);
  WriteGlobals(measure, plan, styles);
  plan.globalsSize = counter.position();

  std::uint64_t offset = plan.globalsSize;
  for (const WorksheetPlan& sheetPlan : plan.sheetPlans) {
    plan.sheetOffsets.push_back(static_cast<std::uint32_t>(offset));
    offset += sheetPlan.size;
  }
  plan.streamSize = offset;
  return plan;
}

// The sheet offsets in BOUNDSHEET and the container around the stream were placed by the plan:
// a stream that came out otherwise would make a damaged file, so the save is refused instead.
void RequirePlannedPosition(const RecordWriter& w, std::uint64_t planned) {
  assert(w.position() == planned);
  if (w.position() != planned) {
    Fail(FailureCode::SaveFailed,
         "Error interno al escribir el libro: la hoja no ocupa lo previsto.");
  }
}

}  // namespace

void WriteCompoundWorkbook(const Book& book, ByteOutput& out) {
  StyleTable styles(book.formats);
  WorkbookPlan plan = PlanWorkbook(book, styles);
  if (plan.streamSize > kMaxStreamSize) {
    Fail(FailureCode::SaveFailed,
         "El libro es demasiado grande para guardarlo en formato Excel 97-2003.");
  }
  std::vector<SmallStream> properties = DocumentPropertyStreams(book.properties);
  CompoundFileLayout layout = PlanCompoundFile(plan.streamSize, properties);

  WriteCompoundHeader(layout, out);
  RecordWriter w(out, out.position());
  WriteGlobals(w, plan, styles);
  for (std::size_t i = 0; i < plan.sheets.size(); ++i) {
    RequirePlannedPosition(w, plan.sheetOffsets[i]);
    WriteWorksheet(*plan.sheets[i], plan.sheetPlans[i], i == plan.activeSheet, book.strings, styles,
                   w);
  }
  RequirePlannedPosition(w, plan.streamSize);
  WriteCompoundTail(layout, properties, out);
}

}  // namespace quadrelo::xls
