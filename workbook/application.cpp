#include "workbook/application.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/replacement_file.h"
#include "platform/text.h"
#include "workbook/cell_address.h"
#include "workbook/sheet_name_registry.h"
#include "workbook/xls/background_interner.h"
#include "workbook/xls/book.h"
#include "workbook/xls/unicode.h"

namespace quadrelo::workbook {

ApplicationObject oExcel;

struct WorkbookState {
  xls::Book book;
  SheetNameRegistry names;
  // Cell texts reach the string table through a second thread (see DeferredTexts).
  xls::DeferredTexts texts{book};
  // Deleted sheets, emptied but kept until the workbook ends, so that no new sheet takes the
  // address a handle may still hold.
  std::vector<std::shared_ptr<xls::Sheet>> deleted;
};

struct ApplicationState : ApplicationCount {
  std::vector<std::shared_ptr<WorkbookState>> workbooks;  // the last one is the active one
  bool ended = false;
  FaultHook faultHook;
  SaveClock clock;
};

void EndApplication(ApplicationCount* application) {
  delete static_cast<ApplicationState*>(application);
}

namespace {

ApplicationState* StateOf(const ApplicationRef& ref) {
  return static_cast<ApplicationState*>(ref.get());
}

[[noreturn]] void FailEntering(ApplicationState* app, std::string_view member) {
  if (!app) Fail(FailureCode::NoObject, "object reference not set (" + std::string(member) + ")");
  Fail(FailureCode::ApplicationGone, "the application has ended");
}

// Every operation starts here: it fails on an empty reference and after quit(), and gives the
// test hook its chance to fail the member.
inline ApplicationState& Enter(const ApplicationRef& ref, std::string_view member) {
  ApplicationState* app = StateOf(ref);
  if (!app || app->ended) FailEntering(app, member);
  if (app->faultHook) app->faultHook(member);
  return *app;
}

// A blank sheet under the next unused default name, appended to the workbook.
std::shared_ptr<xls::Sheet> AddSheet(WorkbookState& state) {
  auto sheet = std::make_shared<xls::Sheet>();
  sheet->name = state.names.useNextDefault();
  state.book.sheets.push_back(sheet);
  return sheet;
}

// Searched from the back: sheets are added, moved and deleted at the end of the tabs.
std::size_t PositionOf(const xls::Book& book, const xls::Sheet* sheet) {
  for (std::size_t i = book.sheets.size(); i-- > 0;) {
    if (book.sheets[i].get() == sheet) return i;
  }
  Fail(FailureCode::NoObject, "the worksheet is not in this workbook");
}

// The active sheet is remembered by identity while the tab order changes under it.
template <class Change>
void KeepActiveSheet(xls::Book& book, Change change) {
  const xls::Sheet* active =
      book.activeSheet < book.sheets.size() ? book.sheets[book.activeSheet].get() : nullptr;
  std::size_t oldIndex = book.activeSheet;
  change();
  if (oldIndex < book.sheets.size() && book.sheets[oldIndex].get() == active) return;
  for (std::size_t i = 0; i < book.sheets.size(); ++i) {
    if (book.sheets[i].get() == active) {
      book.activeSheet = i;
      return;
    }
  }
  // The active sheet went away: its neighbour takes over, as in the application's own tabs.
  book.activeSheet = std::min(oldIndex, book.sheets.size() - 1);
}

bool IsSingleCell(const CellArea& area) {
  return area.firstRow == area.lastRow && area.firstColumn == area.lastColumn;
}

bool IsWholeColumns(const CellArea& area) {
  return area.firstRow == 0 && area.lastRow == xls::kMaxRows - 1;
}

[[noreturn]] void FailNotSingleCell(std::string_view member) {
  Fail(FailureCode::InvalidArgument, std::string(member) + " needs a single cell");
}

inline void RequireSingleCell(const CellArea& area, std::string_view member) {
  if (!IsSingleCell(area)) FailNotSingleCell(member);
}

}  // namespace

// ---- Worksheet ------------------------------------------------------------------------------

xls::Sheet& WorksheetObject::sheet() const {
  bool deleted = sheet_ == nullptr;
  for (const auto& gone : book_->deleted) deleted = deleted || gone.get() == sheet_;
  if (deleted) Fail(FailureCode::NoObject, "the worksheet no longer exists");
  return *sheet_;
}

void WorksheetObject::Name(std::string_view name) {
  Enter(app_, "Name");
  xls::Sheet& self = sheet();
  book_->names.drop(self.name);
  self.name = std::string(name);
  book_->names.use(self.name);
}

std::string WorksheetObject::Name() const {
  Enter(app_, "Name");
  return sheet().name;
}

namespace {

CellArea ParsedArea(std::string_view address) {
  CellArea area = ReadCellAddress(address);
  if (IsNoArea(area))
    Fail(FailureCode::InvalidArgument, "not a cell address: " + std::string(address));
  return area;
}

}  // namespace

RangeObject WorksheetObject::range(std::string_view address) const& {
  Enter(app_, "range");
  sheet();
  return RangeObject(*this, ParsedArea(address));
}

RangeObject WorksheetObject::range(std::string_view address) && {
  Enter(app_, "range");
  sheet();
  CellArea area = ParsedArea(address);
  return RangeObject(std::move(*this), area);
}

void WorksheetObject::Move(const MoveArgs& args) {
  Enter(app_, "Move");
  if (args.after == nullptr) Fail(FailureCode::InvalidArgument, "Move needs a sheet to follow");
  // The other sheet's workbook is looked at only once it is known to be this live one.
  if (args.after->app_ != app_ || args.after->book_ != book_) {
    Fail(FailureCode::InvalidArgument, "Move across workbooks is not supported");
  }
  xls::Sheet& self = sheet();
  xls::Sheet& anchor = args.after->sheet();
  if (&anchor == &self) return;
  xls::Book& book = book_->book;
  KeepActiveSheet(book, [&] {
    std::size_t from = PositionOf(book, &self);
    std::shared_ptr<xls::Sheet> moving = book.sheets[from];
    book.sheets.erase(book.sheets.begin() + from);
    book.sheets.insert(book.sheets.begin() + PositionOf(book, &anchor) + 1, moving);
  });
}

void WorksheetObject::Delete() {
  Enter(app_, "Delete");
  xls::Sheet& self = sheet();
  xls::Book& book = book_->book;
  if (book.sheets.size() <= 1) {
    Fail(FailureCode::CannotDelete, "a workbook keeps at least one sheet");
  }
  book_->names.drop(self.name);
  KeepActiveSheet(book, [&] {
    auto position = book.sheets.begin() + PositionOf(book, &self);
    book_->deleted.push_back(std::move(*position));
    book.sheets.erase(position);
  });
  self.clear();
}

// ---- Range and Font -------------------------------------------------------------------------

FontObject RangeObject::Font() const {
  Enter(sheet_.app_, "Font");
  return FontObject(*this);
}

void RangeObject::Value(std::string_view text) {
  Enter(sheet_.app_, "Value");
  RequireSingleCell(area_, "Value");
  if (text.size() > xls::kMaxCellTextUnits && xls::Utf16Length(text) > xls::kMaxCellTextUnits) {
    Fail(FailureCode::InvalidArgument, "text longer than a cell can hold");
  }
  xls::Sheet& sheet = sheet_.sheet();
  if (text.empty()) {
    // An emptied cell keeps its formatting, as in the application.
    if (xls::Cell* cell = sheet.findCell(area_.firstRow, area_.firstColumn)) {
      cell->kind = xls::CellKind::Blank;
      cell->number = 0;
    }
    return;
  }
  sheet_.book_->texts.setText(sheet.cellAt(area_.firstRow, area_.firstColumn), sheet,
                              area_.firstRow, text);
}

void RangeObject::Value(double number) {
  Enter(sheet_.app_, "Value");
  RequireSingleCell(area_, "Value");
  if (!std::isfinite(number)) Fail(FailureCode::InvalidArgument, "a cell cannot hold that number");
  xls::Cell& cell = sheet_.sheet().cellAt(area_.firstRow, area_.firstColumn);
  cell.kind = xls::CellKind::Number;
  cell.number = number;
}

void RangeObject::NumberFormat(std::string_view format) {
  Enter(sheet_.app_, "NumberFormat");
  xls::Sheet& sheet = sheet_.sheet();
  std::uint16_t index = sheet_.book_->book.internFormat(format);
  if (IsSingleCell(area_)) {
    sheet.cellAt(area_.firstRow, area_.firstColumn).format = index;
    return;
  }
  if (!IsWholeColumns(area_)) {
    Fail(FailureCode::InvalidArgument, "NumberFormat needs a cell or columns");
  }
  if (sheet.columnFormats.size() <= area_.lastColumn) {
    sheet.columnFormats.resize(area_.lastColumn + 1);
  }
  for (std::uint32_t c = area_.firstColumn; c <= area_.lastColumn; ++c) {
    sheet.columnFormats[c] = index;
  }
  // Cells already in the columns take the format and keep their font.
  for (xls::Row& cells : sheet.rows) {
    for (xls::Cell& cell : cells) {
      if (cell.column >= area_.firstColumn && cell.column <= area_.lastColumn) cell.format = index;
    }
  }
}

void FontObject::Bold(bool bold) {
  Enter(range_.sheet_.app_, "Bold");
  RequireSingleCell(range_.area_, "Bold");
  range_.sheet_.sheet().cellAt(range_.area_.firstRow, range_.area_.firstColumn).bold = bold;
}

// ---- Worksheets -----------------------------------------------------------------------------

int WorksheetsObject::Count() const {
  Enter(app_, "Count");
  return static_cast<int>(book_->book.sheets.size());
}

namespace {

xls::Sheet* SheetAt(const WorkbookState& state, int position) {
  const auto& sheets = state.book.sheets;
  if (position < 1 || static_cast<std::size_t>(position) > sheets.size()) {
    Fail(FailureCode::IndexOutOfRange, "no worksheet at position " + std::to_string(position));
  }
  return sheets[static_cast<std::size_t>(position) - 1].get();
}

}  // namespace

WorksheetObject WorksheetsObject::operator()(int position) const& {
  Enter(app_, "Item");
  return WorksheetObject(app_, book_, SheetAt(*book_, position));
}

WorksheetObject WorksheetsObject::operator()(int position) && {
  Enter(app_, "Item");
  xls::Sheet* sheet = SheetAt(*book_, position);
  return WorksheetObject(std::move(app_), book_, sheet);
}

WorksheetObject WorksheetsObject::Add() {
  Enter(app_, "Add");
  return WorksheetObject(app_, book_, AddSheet(*book_).get());
}

// ---- Workbook(s) ----------------------------------------------------------------------------

WorksheetsObject WorkbookObject::worksheets() const {
  Enter(app_, "worksheets");
  return WorksheetsObject(app_, book_);
}

void WorkbookObject::SaveAs(const SaveAsArgs& args) {
  ApplicationState& app = Enter(app_, "SaveAs");
  std::string name(TrimSpaces(args.FileName));
  if (name.empty()) Fail(FailureCode::SaveFailed, "no file name to save under");
  xls::DocumentProperties& properties = book_->book.properties;
  properties.savedAt = app.clock ? app.clock() : std::chrono::system_clock::now();
  try {
    book_->texts.settle();
    ReplacementFile file(PathFromUtf8(name));
    xls::WriteWorkbook(book_->book, file);
    file.commit(args.beforeReplacing);
  } catch (const Failure& failure) {
    Fail(FailureCode::SaveFailed, failure.what());
  }
}

void WorkbookObject::Title(std::string_view title) {
  Enter(app_, "Title");
  book_->book.properties.title = std::string(title);
}

const xls::Book& WorkbookObject::contents() const {
  Enter(app_, "contents");
  book_->texts.settle();
  return book_->book;
}

int WorkbooksObject::Count() const {
  return static_cast<int>(Enter(app_, "Count").workbooks.size());
}

WorkbookObject WorkbooksObject::operator()(int position) const {
  ApplicationState& app = Enter(app_, "Item");
  if (position < 1 || static_cast<std::size_t>(position) > app.workbooks.size()) {
    Fail(FailureCode::IndexOutOfRange, "no workbook at position " + std::to_string(position));
  }
  return WorkbookObject(app_, app.workbooks[static_cast<std::size_t>(position) - 1].get());
}

WorkbookObject WorkbooksObject::Add() {
  ApplicationState& app = Enter(app_, "Add");
  auto state = std::make_shared<WorkbookState>();
  AddSheet(*state);
  app.workbooks.push_back(state);
  return WorkbookObject(app_, state.get());
}

// ---- Application ----------------------------------------------------------------------------

WorkbooksObject ApplicationObject::workbooks() const {
  Enter(app_, "workbooks");
  return WorkbooksObject(app_);
}

ApplicationObject ApplicationObject::Application() const {
  Enter(app_, "Application");
  return *this;
}

void ApplicationObject::displayalerts(bool) { Enter(app_, "displayalerts"); }

WorksheetsObject ApplicationObject::worksheets() const {
  ApplicationState& app = Enter(app_, "worksheets");
  if (app.workbooks.empty()) Fail(FailureCode::NoObject, "no workbook is open");
  return WorksheetsObject(app_, app.workbooks.back().get());
}

void ApplicationObject::quit() {
  ApplicationState& app = Enter(app_, "quit");
  app.ended = true;
  // Unsaved workbooks go with the application (alerts are off, so nobody is asked).
  app.workbooks.clear();
}

void ApplicationObject::setFaultHook(FaultHook hook) {
  if (!app_) Fail(FailureCode::NoObject, "object reference not set");
  StateOf(app_)->faultHook = std::move(hook);
}

void ApplicationObject::setClock(SaveClock clock) {
  if (!app_) Fail(FailureCode::NoObject, "object reference not set");
  StateOf(app_)->clock = std::move(clock);
}

ApplicationObject CreateObject(std::string_view className) {
  if (!EqualIgnoringAsciiCase(className, kApplicationClass)) {
    Fail(FailureCode::ClassNotAvailable,
         "cannot create an object of class " + std::string(className));
  }
  return ApplicationObject(ApplicationRef(new ApplicationState()));
}

ApplicationObject GetObject(std::string_view className) {
  Fail(FailureCode::ClassNotAvailable, "no running instance of " + std::string(className));
}

}  // namespace quadrelo::workbook
