#include "workbook/xls/workbook_stream.h"

#include <array>
#include <atomic>
#include <cassert>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
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
  std::uint64_t globalsSize = 0;
  std::uint64_t streamSize = 0;
};

constexpr std::uint16_t kCodePageUtf16 = 1200;  // BIFF8 text is UTF-16

// The user interface's records, as Excel brackets them: no menus or toolbars of the file's own.
void WriteInterface(RecordWriter& w) {
  WriteU16Record(w, record::kInterfaceHdr, kCodePageUtf16);
  WriteU16Record(w, record::kMms, 0);
  w.record(record::kInterfaceEnd, nullptr, 0);
}

// The user that last saved the file: the application's name, padded with spaces to the record's
// fixed size as Excel pads it.
void WriteWriteAccess(RecordWriter& w) {
  constexpr std::size_t kWriteAccessSize = 112;
  constexpr std::string_view kUser = "Quadrelo";
  std::string body(3, '\0');
  body[0] = static_cast<char>(kUser.size());  // characters, one byte each
  body += kUser;
  body.resize(kWriteAccessSize, ' ');
  w.record(record::kWriteAccess, body);
}

// One tab identifier per sheet, 1 to n in tab order, as Excel numbers a new workbook's sheets.
void WriteRrTabId(RecordWriter& w, std::size_t sheets) {
  std::string body(2 * sheets, '\0');
  for (std::size_t i = 0; i < sheets; ++i) {
    Put16(reinterpret_cast<std::uint8_t*>(body.data()) + 2 * i,
          static_cast<std::uint16_t>(i % 0xFFFF + 1));
  }
  w.record(record::kRrTabId, body);
}

// Neither the windows nor the structure are protected, nor the revisions; no password.
void WriteProtection(RecordWriter& w) {
  for (std::uint16_t id : {record::kWinProtect, record::kProtect, record::kPassword,
                           record::kProt4Rev, record::kProt4RevPass}) {
    WriteU16Record(w, id, 0);
  }
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

// The workbook's options after WINDOW1: no backup on saving, objects shown, dates from 1900,
// full precision, no refresh on opening, external links saved.
void WriteBookOptions(RecordWriter& w) {
  WriteU16Record(w, record::kBackup, 0);
  WriteU16Record(w, record::kHideObj, 0);
  WriteU16Record(w, record::kDateMode, 0);
  WriteU16Record(w, record::kCalcPrecision, 1);
  WriteU16Record(w, record::kRefreshAll, 0);
  WriteU16Record(w, record::kBookBool, 0);
}

// Spain (34) as both the user interface's and the system's country, as a Spanish Excel writes.
void WriteCountry(RecordWriter& w) {
  constexpr std::uint16_t kSpain = 34;
  std::array<std::uint8_t, 4> body;
  Put16(body.data(), kSpain);
  Put16(body.data() + 2, kSpain);
  w.record(record::kCountry, body);
}

// The calculation engine that last calculated the workbook: the one of Excel 2016 and later
// (191029), so that they do not recalculate it on opening.
void WriteRecalcId(RecordWriter& w) {
  constexpr std::uint32_t kEngine = 191029;
  std::array<std::uint8_t, 8> body{};
  Put16(body.data(), record::kRecalcId);
  Put32(body.data() + 4, kEngine);
  w.record(record::kRecalcId, body);
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

// `strings`: the shared strings are written too; without them the globals are measured, and
// the strings' size is added apart.
void WriteGlobals(RecordWriter& w, const Book& book, const WorkbookPlan& plan,
                  const StyleTable& styles, bool strings) {
  WriteBof(w, SubstreamKind::Globals);
  WriteInterface(w);
  WriteWriteAccess(w);
  WriteU16Record(w, record::kCodePage, kCodePageUtf16);
  WriteU16Record(w, record::kDsf, 0);  // no BIFF5 stream beside this one
  WriteRrTabId(w, plan.sheets.size());
  WriteProtection(w);
  WriteWindow1(w, plan.activeSheet);
  WriteBookOptions(w);
  styles.writeFonts(w);
  styles.writeFormats(w);
  styles.writeXfs(w);
  styles.writeStyles(w);
  WriteU16Record(w, record::kUsesElfs, 0);  // no natural-language formulas
  for (std::size_t i = 0; i < plan.sheets.size(); ++i) {
    WriteBoundSheet(w, i < plan.sheetOffsets.size() ? plan.sheetOffsets[i] : 0, plan.names[i]);
  }
  WriteCountry(w);
  WriteRecalcId(w);
  if (strings) {
    std::vector<ExtSstBucket> buckets;
    WriteSst(w, book.strings, plan.labelCount, buckets);
    WriteExtSst(w, book.strings.size(), buckets);
  }
  WriteEof(w);
}

// Runs `each(i)` for every i below `count` on this thread and, when `withThread`, on a second
// one, each taking the next i that nobody has taken. `first` runs on the second thread before it
// takes any, `firstHere` on this one; without a second thread both run here. The first failure
// anywhere stops both threads from taking more, and is thrown once both are done.
template <class First, class FirstHere, class Each>
void ShareOut(std::size_t count, bool withThread, First first, FirstHere firstHere, Each each) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&](auto&& job, std::exception_ptr& failure) {
    try {
      job();
      for (std::size_t i = next++; i < count && !failed; i = next++) each(i);
    } catch (...) {
      failure = std::current_exception();
      failed = true;
    }
  };
  std::exception_ptr hereFailed, thereFailed;
  std::jthread helper;
  if (withThread) {
    try {
      helper = std::jthread([&] { work(first, thereFailed); });
    } catch (const std::system_error&) {
      // No thread to be had: all of it here.
    }
  }
  if (helper.joinable()) {
    work(firstHere, hereFailed);
    helper.join();
  } else {
    work(
        [&] {
          first();
          firstHere();
        },
        hereFailed);
  }
  if (hereFailed) std::rethrow_exception(hereFailed);
  if (thereFailed) std::rethrow_exception(thereFailed);
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

  // The strings do not depend on the sheets, nor the sheets on each other until their styles
  // are added: a second thread measures the strings and then takes sheets as this one does.
  // Only the strings' size is kept, so that they take no memory until they are written. A
  // thread only pays for many strings.
  constexpr std::uint32_t kStringsForAThread = 10000;
  std::uint64_t stringsSize = 0;
  plan.sheetPlans.resize(plan.sheets.size());
  ShareOut(
      plan.sheets.size(), book.strings.size() >= kStringsForAThread,
      [&] { stringsSize = SharedStringsSize(book.strings); }, [] {},
      [&](std::size_t i) {
        plan.sheetPlans[i] = MeasureWorksheet(*plan.sheets[i], book.strings, styles);
      });
  // Each sheet's XFs in tab order: the numbers come out as if the sheets were planned in turn.
  for (WorksheetPlan& sheetPlan : plan.sheetPlans) {
    AddWorksheetStyles(sheetPlan, styles);
    plan.labelCount += sheetPlan.labelCount;
  }
  // Measure the rest of the globals by writing them into nothing: only the offsets are still
  // unknown, and they do not change the size.
  ByteOutput counter;
  RecordWriter measure(counter, 0);
  WriteGlobals(measure, book, plan, styles, false);
  plan.globalsSize = counter.position() + stringsSize;

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

// Writes sheet `i` where the plan placed it, through `out`, which is at that place.
void WriteSheetAsPlanned(const Book& book, const WorkbookPlan& plan, const StyleTable& styles,
                         std::size_t i, ByteOutput& out, std::uint64_t streamStart) {
  RecordWriter w(out, streamStart);
  RequirePlannedPosition(w, plan.sheetOffsets[i]);
  WriteWorksheet(*plan.sheets[i], plan.sheetPlans[i], i == plan.activeSheet, book.strings, styles,
                 w);
  RequirePlannedPosition(w,
                         i + 1 < plan.sheets.size() ? plan.sheetOffsets[i + 1] : plan.streamSize);
}

// Parts write in smaller blocks than the output they go beside: several are open at once.
constexpr std::size_t kPartBlockSize = 256 << 10;

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
  const std::uint64_t streamStart = out.position();
  RecordWriter w(out, streamStart);
  // A second thread pays for itself from a few megabytes of sheets on, and needs a sink that
  // takes parts; the tail then goes through a part of its own, after the sheets.
  constexpr std::uint64_t kSheetBytesForAThread = 4 << 20;
  std::unique_ptr<ByteSink> tailPart;
  if (plan.streamSize - plan.globalsSize >= kSheetBytesForAThread) {
    tailPart = out.partAt(streamStart + plan.streamSize);
  }
  if (!tailPart) {
    WriteGlobals(w, book, plan, styles, true);
    for (std::size_t i = 0; i < plan.sheets.size(); ++i) {
      WriteSheetAsPlanned(book, plan, styles, i, out, streamStart);
    }
    WriteCompoundTail(layout, properties, out);
    return;
  }
  // Each sheet through a part of its own at its planned place, shared out between this thread
  // and a second one, while this one first writes the globals before them. Every byte lands
  // where the sequential writer puts it.
  auto writeSheet = [&](std::size_t i) {
    std::uint64_t at = streamStart + plan.sheetOffsets[i];
    std::unique_ptr<ByteSink> part = out.partAt(at);
    if (!part) Fail(FailureCode::SaveFailed, "the file no longer takes parts");
    ByteOutput sheetOut(*part, at, kPartBlockSize);
    WriteSheetAsPlanned(book, plan, styles, i, sheetOut, streamStart);
    sheetOut.flush();
    part->finish();
  };
  auto writeGlobals = [&] {
    WriteGlobals(w, book, plan, styles, true);
    RequirePlannedPosition(w, plan.globalsSize);
  };
  ShareOut(
      plan.sheets.size(), true, [] {}, writeGlobals, writeSheet);
  ByteOutput tail(*tailPart, streamStart + plan.streamSize, kPartBlockSize);
  WriteCompoundTail(layout, properties, tail);
  tail.flush();
  tailPart->finish();
}

}  // namespace quadrelo::xls
