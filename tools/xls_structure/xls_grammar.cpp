#include "tools/xls_structure/xls_grammar.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace quadrelo::fuzzing {

namespace {

// Record names as the grammar spells them, with their identifiers.
struct NamedRecord {
  const char* name;
  std::uint16_t id;
};
constexpr NamedRecord kRecords[] = {
    // Globals.
    {"BOF", 0x0809},
    {"EOF", 0x000A},
    {"WriteProtect", 0x0086},
    {"FilePass", 0x002F},
    {"Template", 0x0060},
    {"InterfaceHdr", 0x00E1},
    {"Mms", 0x00C1},
    {"InterfaceEnd", 0x00E2},
    {"WriteAccess", 0x005C},
    {"FileSharing", 0x005B},
    {"CodePage", 0x0042},
    {"Lel", 0x01B9},
    {"DSF", 0x0161},
    {"Excel9File", 0x01C0},
    {"RRTabId", 0x013D},
    {"ObProj", 0x00D3},
    {"ObNoMacros", 0x01BD},
    {"CodeName", 0x01BA},
    {"BuiltInFnGroupCount", 0x009C},
    {"FnGroupName", 0x009A},
    {"FnGrp12", 0x0898},
    {"Lbl", 0x0018},
    {"OleObjectSize", 0x00DE},
    {"WinProtect", 0x0019},
    {"Protect", 0x0012},
    {"Password", 0x0013},
    {"Prot4Rev", 0x01AF},
    {"Prot4RevPass", 0x01BC},
    {"Window1", 0x003D},
    {"Backup", 0x0040},
    {"HideObj", 0x008D},
    {"Date1904", 0x0022},
    {"CalcPrecision", 0x000E},
    {"RefreshAll", 0x01B7},
    {"BookBool", 0x00DA},
    {"Font", 0x0031},
    {"Format", 0x041E},
    {"XF", 0x00E0},
    {"XFCRC", 0x087C},
    {"XFExt", 0x087D},
    {"DXF", 0x088D},
    {"Style", 0x0293},
    {"StyleExt", 0x0892},
    {"TableStyles", 0x088E},
    {"TableStyle", 0x088F},
    {"TableStyleElement", 0x0890},
    {"Palette", 0x0092},
    {"ClrtClient", 0x105C},
    {"UserBView", 0x01A9},
    {"UsesELFs", 0x0160},
    {"BoundSheet8", 0x0085},
    {"MTRSettings", 0x089A},
    {"ForceFullCalculation", 0x08A3},
    {"Country", 0x008C},
    {"SupBook", 0x01AE},
    {"ExternSheet", 0x0017},
    {"ExternName", 0x0023},
    {"XCT", 0x0059},
    {"CRN", 0x005A},
    {"Continue", 0x003C},
    {"RecalcId", 0x01C1},
    {"HFPicture", 0x0866},
    {"MsoDrawingGroup", 0x00EB},
    {"SST", 0x00FC},
    {"ExtSST", 0x00FF},
    {"BookExt", 0x0863},
    {"FeatHdr", 0x0867},
    {"Theme", 0x0896},
    {"ContinueFrt12", 0x087F},
    {"CompressPictures", 0x089B},
    {"Compat12", 0x088C},
    // Worksheets.
    {"Uncalced", 0x005E},
    {"Index", 0x020B},
    {"CalcMode", 0x000D},
    {"CalcCount", 0x000C},
    {"CalcRefMode", 0x000F},
    {"CalcIter", 0x0011},
    {"CalcDelta", 0x0010},
    {"CalcSaveRecalc", 0x005F},
    {"PrintRowCol", 0x002A},
    {"PrintGrid", 0x002B},
    {"GridSet", 0x0082},
    {"Guts", 0x0080},
    {"DefaultRowHeight", 0x0225},
    {"WsBool", 0x0081},
    {"Sync", 0x0097},
    {"LPr", 0x0098},
    {"HorizontalPageBreaks", 0x001B},
    {"VerticalPageBreaks", 0x001A},
    {"Header", 0x0014},
    {"Footer", 0x0015},
    {"HCenter", 0x0083},
    {"VCenter", 0x0084},
    {"LeftMargin", 0x0026},
    {"RightMargin", 0x0027},
    {"TopMargin", 0x0028},
    {"BottomMargin", 0x0029},
    {"Pls", 0x004D},
    {"Setup", 0x00A1},
    {"HeaderFooter", 0x089C},
    {"ScenarioProtect", 0x00DD},
    {"ObjProtect", 0x0063},
    {"DefColWidth", 0x0055},
    {"ColInfo", 0x007D},
    {"Sort", 0x0090},
    {"FilterMode", 0x009B},
    {"DropDownObjIds", 0x0874},
    {"AutoFilterInfo", 0x009D},
    {"AutoFilter", 0x009E},
    {"Dimensions", 0x0200},
    {"MsoDrawing", 0x00EC},
    {"Obj", 0x005D},
    {"TxO", 0x01B6},
    {"MsoDrawingSelection", 0x00ED},
    {"Note", 0x001C},
    {"Window2", 0x023E},
    {"PLV", 0x088B},
    {"Scl", 0x00A0},
    {"Pane", 0x0041},
    {"Selection", 0x001D},
    {"MergeCells", 0x00E5},
    {"PhoneticInfo", 0x00EF},
    {"CondFmt", 0x01B0},
    {"CF", 0x01B1},
    {"CondFmt12", 0x0879},
    {"CF12", 0x087A},
    {"CFEx", 0x087B},
    {"HLink", 0x01B8},
    {"HLinkTooltip", 0x0800},
    {"DVal", 0x01B2},
    {"Dv", 0x01BE},
    {"SheetExt", 0x0862},
    {"Feat", 0x0868},
    // The cell table.
    {"Row", 0x0208},
    {"DBCell", 0x00D7},
    {"EntExU2", 0x01C2},
    {"Blank", 0x0201},
    {"MulBlank", 0x00BE},
    {"RK", 0x027E},
    {"MulRk", 0x00BD},
    {"BoolErr", 0x0205},
    {"Number", 0x0203},
    {"LabelSst", 0x00FD},
    {"Formula", 0x0006},
    {"Array", 0x0221},
    {"Table", 0x0236},
    {"ShrFmla", 0x04BC},
    {"String", 0x0207},
};

// The productions of the Globals and Worksheet substreams that plain workbooks use, as the
// file format's ABNF writes them. Left out: pivot tables, custom views, scenarios, queries,
// data connections, routing, web publishing and the like, which such workbooks never hold.
// CELLTABLE is checked apart (see CheckCellTable), being by far the longest part. RRTabId may
// continue, as any record longer than a record's limit does: a workbook of more than 4,112
// sheets needs it.
constexpr std::string_view kGlobals = R"(
WORKBOOK = BOF [WriteProtect] [FilePass] [Template] INTERFACE WriteAccess [FileSharing] CodePage
  *2047Lel DSF [Excel9File] RRTABID [ObProj] [ObNoMacros] [CodeName] [FNGROUPS] *Lbl
  [OleObjectSize] PROTECTION 1*Window1 Backup HideObj Date1904 CalcPrecision RefreshAll BookBool
  FORMATTING *UserBView UsesELFs 1*BoundSheet8 [MTRSettings] [ForceFullCalculation] Country
  *SUPBOOK *LBL [RecalcId] *HFPicture *MSODRAWINGGROUP [SHAREDSTRINGS] ExtSST [BookExt] *FeatHdr
  [THEME] [CompressPictures] [Compat12] EOF
INTERFACE = InterfaceHdr Mms InterfaceEnd
RRTABID = RRTabId *Continue
FNGROUPS = BuiltInFnGroupCount *FnGroupName *FnGrp12
PROTECTION = WinProtect Protect Password Prot4Rev Prot4RevPass
FORMATTING = 1*510Font 8*218Format XFS *DXF STYLES [TABLESTYLES] [Palette] [ClrtClient]
XFS = 16*XF [XFCRC 16*4050XFExt]
STYLES = 1*(Style [StyleExt])
TABLESTYLES = TableStyles *(TableStyle *28TableStyleElement)
SUPBOOK = SupBook [ExternSheet *Continue] *(ExternName *Continue) *(XCT *CRN)
LBL = Lbl
MSODRAWINGGROUP = MsoDrawingGroup *Continue
SHAREDSTRINGS = SST *Continue
THEME = Theme *ContinueFrt12
)";

constexpr std::string_view kWorksheet = R"(
WORKSHEET = BOF [Uncalced] Index GLOBALS PAGESETUP [HeaderFooter] [PROTECTION] COLUMNS
  SORTANDFILTER Dimensions [CELLTABLE] OBJECTS *HFPicture *Note 1*WINDOW *MergeCells
  [PHONETICINFO] CONDFMTS *HLINK [DVAL] [CodeName] [SheetExt] *FEAT EOF
GLOBALS = CalcMode CalcCount CalcRefMode CalcIter CalcDelta CalcSaveRecalc PrintRowCol PrintGrid
  GridSet Guts DefaultRowHeight WsBool [Sync] [LPr] [HorizontalPageBreaks] [VerticalPageBreaks]
PAGESETUP = Header Footer HCenter VCenter [LeftMargin] [RightMargin] [TopMargin] [BottomMargin]
  [Pls *Continue] Setup
PROTECTION = [Protect] [ScenarioProtect] [ObjProtect] [Password]
COLUMNS = DefColWidth *255ColInfo
SORTANDFILTER = [Sort] [FilterMode] [DropDownObjIds] [AUTOFILTER]
AUTOFILTER = AutoFilterInfo *AutoFilter
OBJECTS = *(MSODRAWING *(TEXTOBJECT / OBJ)) [MsoDrawingSelection]
MSODRAWING = MsoDrawing *Continue
OBJ = Obj *Continue
TEXTOBJECT = TxO *Continue
WINDOW = Window2 [PLV] [Scl] [Pane] *Selection
PHONETICINFO = PhoneticInfo *Continue
CONDFMTS = *(CONDFMT / CONDFMT12) *(CFEx [CF12])
CONDFMT = CondFmt 1*3CF
CONDFMT12 = CondFmt12 1*CF12
HLINK = HLink [HLinkTooltip]
DVAL = DVal 1*65534Dv
FEAT = FeatHdr *Feat
)";

constexpr std::uint16_t kRow = 0x0208, kDbCell = 0x00D7, kEntExU2 = 0x01C2, kFormula = 0x0006,
                        kIndex = 0x020B, kDefColWidth = 0x0055, kContinue = 0x003C,
                        kDimensions = 0x0200;

bool IsCell(std::uint16_t id) {
  switch (id) {
    case 0x0201:
    case 0x00BE:
    case 0x027E:
    case 0x00BD:
    case 0x0205:
    case 0x0203:
    case 0x00FD:
    case kFormula:
      return true;
    default:
      return false;
  }
}
// What may follow a Formula record inside its cell.
bool IsFormulaTail(std::uint16_t id) {
  return id == 0x0221 || id == 0x0236 || id == 0x04BC || id == 0x0207 || id == kContinue;
}
bool InCellTable(std::uint16_t id) {
  return id == kRow || id == kDbCell || id == kEntExU2 || IsCell(id) || IsFormulaTail(id) ||
         id == 0x005E;  // Uncalced, before a formula
}

// ---- A small ABNF: repetitions, options, groups and alternatives of records ----------------

struct Node {
  enum class Kind { Record, Sequence, Alternatives, Repeat, Rule, CellTable };
  explicit Node(Kind k) : kind(k) {}
  Kind kind;
  std::uint16_t id = 0;
  std::string rule;
  std::vector<Node> children;
  std::size_t min = 1, max = 1;
};

class Grammar {
 public:
  explicit Grammar(std::string_view text) {
    std::size_t at = 0;
    std::string start;
    while (at < text.size()) {
      std::size_t end = text.find('\n', at);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(at, end - at);
      at = end + 1;
      if (line.empty()) continue;
      if (line[0] == ' ') {
        rules_[current_] += ' ';
        rules_[current_] += line;
        continue;
      }
      std::size_t equals = line.find(" = ");
      current_ = std::string(line.substr(0, equals));
      if (start.empty()) start = current_;
      rules_[current_] = std::string(line.substr(equals + 3));
    }
    for (const auto& [name, body] : rules_) {
      text_ = body;
      pos_ = 0;
      parsed_.insert_or_assign(name, parseAlternatives());
    }
    start_ = start;
  }

  const Node& start() const { return parsed_.at(start_); }
  const Node& rule(const std::string& name) const { return parsed_.at(name); }

 private:
  void skipSpaces() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  Node parseAlternatives() {
    Node alternatives{Node::Kind::Alternatives};
    alternatives.children.push_back(parseSequence());
    skipSpaces();
    while (pos_ < text_.size() && text_[pos_] == '/') {
      ++pos_;
      alternatives.children.push_back(parseSequence());
      skipSpaces();
    }
    return alternatives.children.size() == 1 ? alternatives.children[0] : alternatives;
  }
  Node parseSequence() {
    Node sequence{Node::Kind::Sequence};
    for (;;) {
      skipSpaces();
      if (pos_ >= text_.size() || text_[pos_] == ')' || text_[pos_] == ']' || text_[pos_] == '/') {
        break;
      }
      sequence.children.push_back(parseRepetition());
    }
    return sequence;
  }
  std::size_t number() {
    std::size_t n = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      n = n * 10 + static_cast<std::size_t>(text_[pos_++] - '0');
    }
    return n;
  }
  Node parseRepetition() {
    std::size_t start = pos_;
    std::size_t low = number();
    bool star = pos_ < text_.size() && text_[pos_] == '*';
    if (!star) {
      pos_ = start;
      return parseElement();
    }
    ++pos_;
    std::size_t high = pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))
                           ? number()
                           : static_cast<std::size_t>(-1);
    Node repeat{Node::Kind::Repeat};
    repeat.min = low;
    repeat.max = high;
    repeat.children.push_back(parseElement());
    return repeat;
  }
  Node parseElement() {
    char c = text_[pos_];
    if (c == '(' || c == '[') {
      ++pos_;
      Node inside = parseAlternatives();
      ++pos_;  // the closing bracket
      if (c == '(') return inside;
      Node option{Node::Kind::Repeat};
      option.min = 0;
      option.max = 1;
      option.children.push_back(std::move(inside));
      return option;
    }
    std::size_t start = pos_;
    while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])))) ++pos_;
    std::string name = text_.substr(start, pos_ - start);
    if (name == "CELLTABLE") return Node{Node::Kind::CellTable};
    bool rule =
        std::none_of(name.begin(), name.end(),
                     [](char ch) { return std::islower(static_cast<unsigned char>(ch)); }) &&
        rules_.count(name) != 0;
    if (rule) {
      Node node{Node::Kind::Rule};
      node.rule = name;
      return node;
    }
    for (const NamedRecord& record : kRecords) {
      if (name == record.name) {
        Node node{Node::Kind::Record};
        node.id = record.id;
        return node;
      }
    }
    throw std::logic_error("a record the grammar does not know: " + name);
  }

  std::map<std::string, std::string> rules_;
  std::map<std::string, Node> parsed_;
  std::string current_, start_;
  std::string text_;
  std::size_t pos_ = 0;
};

const Grammar& GlobalsGrammar() {
  static const Grammar grammar(kGlobals);
  return grammar;
}
const Grammar& WorksheetGrammar() {
  static const Grammar grammar(kWorksheet);
  return grammar;
}

// Every position where `node` can end when it starts at `at`. The grammars are nearly
// deterministic, so these sets stay small.
class Matcher {
 public:
  Matcher(const Grammar& grammar, std::span<const BiffRecord> records)
      : grammar_(grammar), records_(records) {}

  std::vector<std::size_t> ends(const Node& node, std::size_t at) {
    switch (node.kind) {
      case Node::Kind::Record:
        furthest_ = std::max(furthest_, at);
        if (at < records_.size() && records_[at].id == node.id) return {at + 1};
        return {};
      case Node::Kind::Rule:
        return ends(grammar_.rule(node.rule), at);
      case Node::Kind::CellTable: {
        std::size_t end = at;
        while (end < records_.size() && InCellTable(records_[end].id)) ++end;
        if (end == at) return {};
        furthest_ = std::max(furthest_, end);
        return {end};
      }
      case Node::Kind::Sequence: {
        std::vector<std::size_t> current{at};
        for (const Node& child : node.children) {
          std::vector<std::size_t> next;
          for (std::size_t p : current) merge(next, ends(child, p));
          current.swap(next);
          if (current.empty()) break;
        }
        return current;
      }
      case Node::Kind::Alternatives: {
        std::vector<std::size_t> all;
        for (const Node& child : node.children) merge(all, ends(child, at));
        return all;
      }
      case Node::Kind::Repeat: {
        std::vector<std::size_t> all;
        if (node.min == 0) all.push_back(at);
        std::vector<std::size_t> current{at};
        for (std::size_t count = 1; count <= node.max && !current.empty(); ++count) {
          std::vector<std::size_t> next;
          for (std::size_t p : current) {
            for (std::size_t e : ends(node.children[0], p)) {
              if (e > p) merge(next, {e});
            }
          }
          current.swap(next);
          if (count >= node.min) merge(all, current);
        }
        return all;
      }
    }
    return {};
  }

  std::size_t furthest() const { return furthest_; }

 private:
  static void merge(std::vector<std::size_t>& into, const std::vector<std::size_t>& more) {
    for (std::size_t p : more) {
      auto it = std::lower_bound(into.begin(), into.end(), p);
      if (it == into.end() || *it != p) into.insert(it, p);
    }
  }

  const Grammar& grammar_;
  std::span<const BiffRecord> records_;
  std::size_t furthest_ = 0;
};

std::uint16_t Get16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t Get32(std::string_view b, std::size_t at) {
  return Get16(b, at) | static_cast<std::uint32_t>(Get16(b, at + 2)) << 16;
}

std::string Hex(std::uint16_t value) {
  char out[8];
  std::snprintf(out, sizeof out, "0x%04X", static_cast<unsigned>(value));
  return out;
}

// CELLTABLE = 1*(1*Row *CELL 1*DBCell) *EntExU2, with what the records say of each other.
// `dbCells` receives the stream offsets of the DBCELL records, `rows` the span of the ROW
// records' row numbers.
std::string CheckCellTable(std::span<const BiffRecord> table, std::vector<std::size_t>& dbCells,
                           std::uint32_t& firstRow, std::uint32_t& rowEnd) {
  std::size_t i = 0;
  bool anyRow = false;
  while (i < table.size() && table[i].id != kEntExU2) {
    // One block: its ROW records, its cells, its DBCELL.
    struct BlockRow {
      std::uint16_t row, firstColumn, columnEnd;
      std::size_t firstCellAt = 0;  // 0 = no cell
    };
    std::vector<BlockRow> rows;
    const std::size_t firstRowAt = table[i].offset;
    for (; i < table.size() && table[i].id == kRow; ++i) {
      std::string_view b = table[i].body;
      if (b.size() != 16) return "a ROW is not 16 bytes";
      BlockRow row{Get16(b, 0), Get16(b, 2), Get16(b, 4)};
      if (!rows.empty() && row.row <= rows.back().row) return "ROW records out of order";
      rows.push_back(row);
    }
    if (rows.empty()) return "a block of cells without ROW records";
    if (rows.size() > 32) return "a block of more than 32 rows";
    if (anyRow && rows.front().row <= rowEnd - 1) return "ROW records out of order";
    if (!anyRow) firstRow = rows.front().row;
    rowEnd = rows.back().row + 1u;
    anyRow = true;
    std::size_t current = 0;
    for (; i < table.size() &&
           (IsCell(table[i].id) || IsFormulaTail(table[i].id) || table[i].id == 0x005E);
         ++i) {
      if (!IsCell(table[i].id)) continue;
      if (table[i].body.size() < 6) return "a cell record too short";
      std::uint16_t row = Get16(table[i].body, 0);
      std::uint16_t column = Get16(table[i].body, 2);
      while (current < rows.size() && rows[current].row < row) ++current;
      if (current == rows.size() || rows[current].row != row) {
        return "a cell in row " + std::to_string(row) + " without its ROW in the block";
      }
      BlockRow& owner = rows[current];
      if (column < owner.firstColumn || column >= owner.columnEnd) {
        return "a cell outside the columns its ROW gives";
      }
      if (owner.firstCellAt == 0) owner.firstCellAt = table[i].offset;
    }
    if (i >= table.size() || table[i].id != kDbCell) return "a block without its DBCELL";
    std::string_view b = table[i].body;
    if (b.size() < 4 || (b.size() - 4) % 2 != 0) return "a DBCELL of bad size";
    if (Get32(b, 0) != table[i].offset - firstRowAt) {
      return "a DBCELL does not lead back to its block's first ROW";
    }
    if ((b.size() - 4) / 2 != rows.size()) return "a DBCELL's row count differs from its block";
    std::size_t from = firstRowAt + 20;
    for (std::size_t k = 0; k < rows.size(); ++k) {
      std::size_t to = from + Get16(b, 4 + 2 * k);
      if (rows[k].firstCellAt != 0 && to != rows[k].firstCellAt) {
        return "a DBCELL offset does not lead to the first cell of row " +
               std::to_string(rows[k].row);
      }
      from = to;
    }
    dbCells.push_back(table[i].offset);
    ++i;
    while (i < table.size() && table[i].id == kDbCell) dbCells.push_back(table[i++].offset);
  }
  for (; i < table.size(); ++i) {
    if (table[i].id != kEntExU2) return "records of the cell table after its end";
  }
  return {};
}

std::string CheckWorksheetTable(std::span<const BiffRecord> records) {
  // The grammar put the cell table, if any, right after DIMENSIONS.
  std::size_t start = 0;
  while (start < records.size() && records[start].id != kDimensions) ++start;
  ++start;
  std::size_t end = start;
  while (end < records.size() && InCellTable(records[end].id)) ++end;
  std::vector<std::size_t> dbCells;
  std::uint32_t firstRow = 0, rowEnd = 0;
  if (end > start) {
    std::string fault =
        CheckCellTable(records.subspan(start, end - start), dbCells, firstRow, rowEnd);
    if (!fault.empty()) return fault;
  }
  const BiffRecord* index = nullptr;
  const BiffRecord* defColWidth = nullptr;
  for (const BiffRecord& record : records) {
    if (record.id == kIndex && index == nullptr) index = &record;
    if (record.id == kDefColWidth && defColWidth == nullptr) defColWidth = &record;
  }
  std::string_view b = index->body;
  if (b.size() < 16 || (b.size() - 16) % 4 != 0) return "an INDEX of bad size";
  if (Get32(b, 4) != firstRow || Get32(b, 8) != rowEnd) {
    return "the INDEX's rows differ from the ROW records'";
  }
  if (Get32(b, 12) != defColWidth->offset) return "the INDEX does not point at DEFCOLWIDTH";
  if ((b.size() - 16) / 4 != dbCells.size()) return "the INDEX lists other than the DBCELLs";
  for (std::size_t k = 0; k < dbCells.size(); ++k) {
    if (Get32(b, 16 + 4 * k) != dbCells[k]) {
      return "an INDEX entry does not point at its DBCELL";
    }
  }
  return {};
}

}  // namespace

std::string_view BiffRecordName(std::uint16_t id) {
  for (const NamedRecord& record : kRecords) {
    if (record.id == id) return record.name;
  }
  return {};
}

std::string CheckSubstreamGrammar(std::span<const BiffRecord> records, bool globals) {
  const Grammar& grammar = globals ? GlobalsGrammar() : WorksheetGrammar();
  Matcher matcher(grammar, records);
  std::vector<std::size_t> ends = matcher.ends(grammar.start(), 0);
  if (std::find(ends.begin(), ends.end(), records.size()) == ends.end()) {
    std::string fault = globals ? "the globals break" : "a worksheet breaks";
    fault += " the grammar";
    if (!records.empty()) {
      const BiffRecord& record = records[std::min(matcher.furthest(), records.size() - 1)];
      fault += " at record ";
      fault += Hex(record.id);
      std::string_view name = BiffRecordName(record.id);
      if (!name.empty()) {
        fault += ' ';
        fault += name;
      }
      fault += " (stream offset ";
      fault += std::to_string(record.offset);
      fault += ')';
    }
    return fault;
  }
  return globals ? std::string() : CheckWorksheetTable(records);
}

}  // namespace quadrelo::fuzzing
