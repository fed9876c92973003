#include "workbook/prepare_account_sheet.h"

#include <array>
#include <string_view>

#include "platform/continue_on_error.h"
#include "platform/text.h"
#include "workbook/application.h"

namespace quadrelo::workbook {

namespace {

struct HeaderCell {
  std::string_view address;
  std::string_view text;
};

constexpr std::array<HeaderCell, 8> kHeaderRow{{
    {"A1", "Entidad ordenante"},
    {"B1", "Oficina ordenante"},
    {"C1", "Fecha presentación"},
    {"D1", "Importe"},
    {"E1", "Ref. operación"},
    {"F1", "Nombre ordenante"},
    {"G1", "Observaciones 1"},
    {"H1", "Observaciones 2"},
}};

}  // namespace

void PrepareAccountSheet(const std::string& sNombreHoja, const int& iHoja) {
  ContinueOnError guarded;

  // The reserve sheet: count and last sheet are taken before the new one exists.
  guarded([&] {
    int count = oExcel.worksheets().Count();
    WorksheetObject last = oExcel.worksheets(count);
    WorksheetObject reserve = oExcel.worksheets().Add();
    reserve.Move(MoveArgs{&last});
  });

  guarded([&] { oExcel.worksheets(iHoja).Name(TrimSpaces(sNombreHoja)); });

  for (const HeaderCell& cell : kHeaderRow) {
    guarded([&] { oExcel.worksheets(iHoja).range(cell.address).Font().Bold(true); });
    guarded([&] { oExcel.worksheets(iHoja).range(cell.address).Value(cell.text); });
  }

  guarded([&] { oExcel.worksheets(iHoja).range("C:C").NumberFormat("@"); });
  guarded([&] { oExcel.worksheets(iHoja).range("D:D").NumberFormat("##,##0.00"); });
}

}  // namespace quadrelo::workbook
