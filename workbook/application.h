#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace quadrelo::xls {
struct Book;
struct Sheet;
}  // namespace quadrelo::xls

namespace quadrelo::workbook {

// Our own spreadsheet application: the automation objects that the conversion drives, with the
// members it calls by name. Objects are small handles; an operation that cannot be done
// (position or address out of range, a sheet that was deleted, anything after quit(), a call
// through an empty handle) throws Failure, which the callers' continue-on-error mode records.
// Positions are 1-based; cells and columns are addressed by text ("A1", "H120", "C:C").

inline constexpr std::string_view kApplicationClass = "Excel.Application";

struct WorkbookState;

// What the references to an application instance count; the rest of the instance is private.
struct ApplicationCount {
  std::size_t references = 0;
};
// Ends the instance when its last reference goes.
void EndApplication(ApplicationCount* application);

// A counted reference to an application instance, shared by the instance's objects. The count
// is not atomic (every cell written costs a few of these): an application and the objects taken
// from it belong to the thread that created it.
class ApplicationRef {
 public:
  ApplicationRef() = default;
  // Takes a new instance: the first reference to it.
  explicit ApplicationRef(ApplicationCount* state) : state_(state) { retain(); }
  ApplicationRef(const ApplicationRef& other) : state_(other.state_) { retain(); }
  ApplicationRef(ApplicationRef&& other) noexcept : state_(other.state_) { other.state_ = nullptr; }
  ApplicationRef& operator=(ApplicationRef other) noexcept {
    std::swap(state_, other.state_);
    return *this;
  }
  ~ApplicationRef() { release(); }

  ApplicationCount* get() const { return state_; }
  explicit operator bool() const { return state_ != nullptr; }
  bool operator==(const ApplicationRef& other) const { return state_ == other.state_; }

 private:
  void retain() const {
    if (state_ != nullptr) ++state_->references;
  }
  void release() {
    if (state_ != nullptr && --state_->references == 0) EndApplication(state_);
    state_ = nullptr;
  }
  ApplicationCount* state_ = nullptr;
};

// Cells a range covers, 0-based and inclusive.
struct CellArea {
  std::uint32_t firstRow = 0;
  std::uint32_t lastRow = 0;
  std::uint16_t firstColumn = 0;
  std::uint16_t lastColumn = 0;
};

class FontObject;
struct MoveArgs;
class RangeObject;
class WorksheetObject;
class WorksheetsObject;
class WorkbookObject;
class WorkbooksObject;

// What every object inside a workbook holds: its application, which each operation checks first
// (workbooks live until the application ends), and its workbook.
class WorkbookPart {
 protected:
  WorkbookPart() = default;
  WorkbookPart(ApplicationRef app, WorkbookState* book) : app_(std::move(app)), book_(book) {}
  ApplicationRef app_;
  WorkbookState* book_ = nullptr;
};

class WorksheetObject : public WorkbookPart {
 public:
  WorksheetObject() = default;
  void Name(std::string_view name);
  std::string Name() const;
  RangeObject range(std::string_view address) const&;
  // The same from a handle about to go, which the range takes over: a cell written through
  // `worksheets(n).range(a)` costs no reference counting.
  RangeObject range(std::string_view address) &&;
  // Places this sheet right after `after`; the other sheets keep their order.
  void Move(const MoveArgs& args);
  // Removes the sheet; the last sheet of a workbook cannot be removed.
  void Delete();

 private:
  friend class WorksheetsObject;
  friend class RangeObject;
  friend class FontObject;
  WorksheetObject(ApplicationRef app, WorkbookState* book, xls::Sheet* sheet)
      : WorkbookPart(std::move(app), book), sheet_(sheet) {}
  // Fails for a sheet that was deleted (its workbook keeps it, so the address stays its own).
  xls::Sheet& sheet() const;
  xls::Sheet* sheet_ = nullptr;
};

class RangeObject {
 public:
  FontObject Font() const;
  // Text (UTF-8) or a number; empty text leaves the cell empty. NaN and infinities are refused.
  void Value(std::string_view text);
  void Value(const char* text) { Value(std::string_view(text)); }
  void Value(double number);
  // On a column ("C:C") the format reaches the cells it holds and every cell written later.
  void NumberFormat(std::string_view format);

 private:
  friend class WorksheetObject;
  friend class FontObject;
  RangeObject(WorksheetObject sheet, CellArea area) : sheet_(std::move(sheet)), area_(area) {}
  WorksheetObject sheet_;
  CellArea area_;
};

class FontObject {
 public:
  void Bold(bool bold);

 private:
  friend class RangeObject;
  explicit FontObject(RangeObject range) : range_(std::move(range)) {}
  RangeObject range_;
};

struct MoveArgs {
  const WorksheetObject* after = nullptr;
};

class WorksheetsObject : public WorkbookPart {
 public:
  int Count() const;
  WorksheetObject operator()(int position) const&;
  WorksheetObject operator()(int position) &&;
  // Adds one blank sheet at the end, named "Hoja<n>" with the next unused n.
  WorksheetObject Add();

 private:
  friend class ApplicationObject;
  friend class WorkbookObject;
  WorksheetsObject(ApplicationRef app, WorkbookState* book) : WorkbookPart(std::move(app), book) {}
};

struct SaveAsArgs {
  std::string FileName;  // UTF-8 path
  // Not one of the application's: runs once the new file is complete and just before it
  // replaces anything; a Failure it throws fails the save and keeps the earlier file.
  std::function<void()> beforeReplacing = {};
};

class WorkbookObject : public WorkbookPart {
 public:
  WorksheetsObject worksheets() const;
  // Writes the workbook as an Excel 97-2003 file, replacing an existing file without a question.
  // The file appears whole or not at all: a failed save leaves the earlier file as it was.
  // Stamps the workbook with the application's clock as its creation and last-saved time.
  void SaveAs(const SaveAsArgs& args);
  // The title under File > Properties (UTF-8); empty for none.
  void Title(std::string_view title);

  // What the workbook holds, read-only (tests and reports look at it without saving).
  const xls::Book& contents() const;

 private:
  friend class WorkbooksObject;
  WorkbookObject(ApplicationRef app, WorkbookState* book) : WorkbookPart(std::move(app), book) {}
};

class WorkbooksObject {
 public:
  int Count() const;
  WorkbookObject operator()(int position) const;
  // A new workbook with one sheet, "Hoja1"; it becomes the active workbook.
  WorkbookObject Add();

 private:
  friend class ApplicationObject;
  explicit WorkbooksObject(ApplicationRef app) : app_(std::move(app)) {}
  ApplicationRef app_;
};

// Called with a member's name ("Add", "Value", "Name", "SaveAs", ...) before that operation
// runs; a hook that throws Failure makes the operation fail. Tests use it to reach the
// continue-on-error paths of the conversion.
using FaultHook = std::function<void(std::string_view member)>;

// The time SaveAs stamps on a workbook; the system clock unless a test fixes it.
using SaveClock = std::function<std::chrono::system_clock::time_point()>;

// A reference to an instance of the application; an empty one is "nothing".
class ApplicationObject {
 public:
  ApplicationObject() = default;
  explicit operator bool() const { return static_cast<bool>(app_); }

  WorkbooksObject workbooks() const;
  WorkbookObject workbooks(int position) const { return workbooks()(position); }
  // The application itself, as its automation object exposes it.
  ApplicationObject Application() const;
  // Our application never asks the user anything, so there are no alerts to switch.
  void displayalerts(bool on);
  // The sheets of the active workbook (the one added last).
  WorksheetsObject worksheets() const;
  WorksheetObject worksheets(int position) const { return worksheets()(position); }
  // Ends the application: its workbooks are dropped unsaved and every later call fails.
  void quit();

  void setFaultHook(FaultHook hook);
  void setClock(SaveClock clock);

 private:
  friend ApplicationObject CreateObject(std::string_view className);
  explicit ApplicationObject(ApplicationRef app) : app_(std::move(app)) {}
  ApplicationRef app_;
};

// A new instance of the class; only kApplicationClass exists.
ApplicationObject CreateObject(std::string_view className);
// Attaching to a running instance: ours are never shared between runs, so this always fails.
ApplicationObject GetObject(std::string_view className);

// How the conversion obtains its application; tests replace it (no application installed, an
// application with a fault hook).
using ObjectFactory = std::function<ApplicationObject(std::string_view className)>;

// The process-wide reference to the spreadsheet application, set and released by the
// conversion driver and used by PrepareAccountSheet during a run.
extern ApplicationObject oExcel;

}  // namespace quadrelo::workbook
