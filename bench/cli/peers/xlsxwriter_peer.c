/* The transfer file as an .xlsx workbook written by libxlsxwriter.
   Usage: xlsxwriter_peer INPUT OUTPUT [--constant-memory] */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xlsxwriter.h>

static const char* const kHeader[8] = {
    "Entidad ordenante", "Oficina ordenante", "Fecha presentaci\xc3\xb3n", "Importe",
    "Ref. operaci\xc3\xb3n", "Nombre ordenante",  "Observaciones 1",        "Observaciones 2"};

/* Windows-1252 bytes 0x80-0x9F; the rest of the upper half is Latin-1. */
static const unsigned short kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

/* Field at 1-based `pos` of `len` bytes, trimmed of spaces, as UTF-8 into `out`. */
static const char* field(const char* line, size_t size, size_t pos, size_t len, char* out) {
  size_t start = pos - 1, end;
  char* o = out;
  if (start >= size) { *out = 0; return out; }
  end = start + len < size ? start + len : size;
  while (start < end && line[start] == ' ') start++;
  while (end > start && line[end - 1] == ' ') end--;
  for (size_t i = start; i < end; i++) {
    unsigned c = (unsigned char)line[i];
    if (c >= 0x80 && c < 0xA0) c = kHigh[c - 0x80];
    if (c < 0x80) {
      *o++ = (char)c;
    } else if (c < 0x800) {
      *o++ = (char)(0xC0 | (c >> 6));
      *o++ = (char)(0x80 | (c & 0x3F));
    } else {
      *o++ = (char)(0xE0 | (c >> 12));
      *o++ = (char)(0x80 | ((c >> 6) & 0x3F));
      *o++ = (char)(0x80 | (c & 0x3F));
    }
  }
  *o = 0;
  return out;
}

static int amount(const char* line, size_t size, double* value) {
  char whole[16], cents[8], text[32], *end;
  field(line, size, 29, 8, whole);
  field(line, size, 37, 2, cents);
  snprintf(text, sizeof text, "%s.%s", whole, cents);
  *value = strtod(text, &end);
  return end != text && *end == 0 && text[0] != '.';
}

int main(int argc, char** argv) {
  if (argc < 3) { fprintf(stderr, "usage: %s INPUT OUTPUT [--constant-memory]\n", argv[0]); return 2; }
  FILE* in = fopen(argv[1], "rb");
  if (!in) { perror(argv[1]); return 1; }
  lxw_workbook_options options = {0};
  options.constant_memory = argc > 3 && strcmp(argv[3], "--constant-memory") == 0;
  lxw_workbook* book = workbook_new_opt(argv[2], &options);
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  lxw_format* text = workbook_add_format(book);
  format_set_num_format(text, "@");
  lxw_format* money = workbook_add_format(book);
  format_set_num_format(money, "##,##0.00");

  lxw_worksheet* sheet = NULL;
  lxw_row_t row = 1;
  char line[4096], cell[512];
  /* Lines end at CR; the LF of a CR LF pair is skipped. */
  int c;
  size_t size = 0;
  int done = 0;
  while (!done) {
    c = fgetc(in);
    if (c == EOF) {
      done = 1;
      if (size == 0) break;
    } else if (c != '\r') {
      if (c == '\n' && size == 0) continue;
      if (size < sizeof line) line[size++] = (char)c;
      continue;
    }
    if (size >= 2 && line[0] == '1' && line[1] == '1') {
      char name[64] = "Cuenta ", account[128];
      field(line, size, 3, 18, account);
      strncat(name, account, 31 - strlen(name));
      sheet = workbook_add_worksheet(book, name);
      worksheet_set_column(sheet, 2, 2, LXW_DEF_COL_WIDTH, text);
      worksheet_set_column(sheet, 3, 3, LXW_DEF_COL_WIDTH, money);
      for (int i = 0; i < 8; i++) worksheet_write_string(sheet, 0, (lxw_col_t)i, kHeader[i], bold);
      row = 1;
    } else if (sheet && size >= 2 && line[0] == '2' && line[1] == '2') {
      double value;
      char day[8], month[8], year[8];
      row++;
      if (*field(line, size, 3, 4, cell)) worksheet_write_string(sheet, row, 0, cell, NULL);
      if (*field(line, size, 7, 4, cell)) worksheet_write_string(sheet, row, 1, cell, NULL);
      snprintf(cell, sizeof cell, "%s/%s/%s", field(line, size, 27, 2, day),
               field(line, size, 25, 2, month), field(line, size, 21, 4, year));
      worksheet_write_string(sheet, row, 2, cell, text);
      if (amount(line, size, &value)) worksheet_write_number(sheet, row, 3, value, money);
      if (*field(line, size, 42, 11, cell)) worksheet_write_string(sheet, row, 4, cell, NULL);
    } else if (sheet && size >= 2 && line[0] == '2' && line[1] == '3') {
      if (*field(line, size, 3, 30, cell)) worksheet_write_string(sheet, row, 5, cell, NULL);
      if (*field(line, size, 33, 20, cell)) worksheet_write_string(sheet, row, 6, cell, NULL);
      if (*field(line, size, 53, 20, cell)) worksheet_write_string(sheet, row, 7, cell, NULL);
    }
    size = 0;
  }
  fclose(in);
  lxw_error error = workbook_close(book);
  if (error != LXW_NO_ERROR) {
    fprintf(stderr, "%s: %s\n", argv[2], lxw_strerror(error));
    return 1;
  }
  return 0;
}
