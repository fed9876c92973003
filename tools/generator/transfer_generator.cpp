#include "tools/generator/transfer_generator.h"

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string_view>
#include <vector>

namespace quadrelo::bench {

namespace {

constexpr std::size_t kLineLength = 80;

// splitmix64: tiny, fast, and the same sequence everywhere (std distributions are not).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform enough in [0, n) for test data; n > 0.
  std::uint64_t below(std::uint64_t n) { return next() % n; }
  std::uint64_t between(std::uint64_t low, std::uint64_t high) {
    return low + below(high - low + 1);
  }
  bool percent(unsigned chance) { return below(100) < chance; }
  template <typename T>
  const T& pick(const std::vector<T>& items) {
    return items[below(items.size())];
  }

 private:
  std::uint64_t state_;
};

// The tables below are written in UTF-8 for legibility; the file carries Windows-1252 bytes.
std::string ToWindows1252(std::string_view utf8) {
  struct High {
    char32_t codePoint;
    char byte;
  };
  static constexpr std::array<High, 10> kHigh = {{{0x20AC, '\x80'},
                                                  {0x201A, '\x82'},
                                                  {0x201E, '\x84'},
                                                  {0x2026, '\x85'},
                                                  {0x2018, '\x91'},
                                                  {0x2019, '\x92'},
                                                  {0x201C, '\x93'},
                                                  {0x201D, '\x94'},
                                                  {0x2013, '\x96'},
                                                  {0x2014, '\x97'}}};
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t c = lead;
    std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra > 0) c = lead & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra && i + k < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    i += extra + 1;
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
      out += static_cast<char>(c);
      continue;
    }
    char byte = '?';
    for (const High& high : kHigh) {
      if (high.codePoint == c) byte = high.byte;
    }
    out += byte;
  }
  return out;
}

std::vector<std::string> Encoded(std::initializer_list<std::string_view> utf8) {
  std::vector<std::string> out;
  for (std::string_view text : utf8) out.push_back(ToWindows1252(text));
  return out;
}

struct Tables {
  std::vector<std::string> banks =
      Encoded({"0049", "0182", "2100", "0081", "0128", "0075", "2038", "3058", "2085", "1465",
               "0487", "2095", "0030", "3025", "0239", "2080", "0073", "3008", "0186", "2048"});
  std::vector<std::string> firstNames =
      Encoded({"JOSÉ",     "MARÍA",  "ANTONIO", "CARMEN", "MANUEL",   "JOSEFA",     "FRANCISCO",
               "ISABEL",   "DAVID",  "ANA",     "JESÚS",  "LUCÍA",    "ÁNGEL",      "MONTSERRAT",
               "IÑAKI",    "NURIA",  "RAMÓN",   "BEGOÑA", "JOAQUÍN",  "CONCEPCIÓN", "LLUÍS",
               "FRANÇOIS", "INÉS",   "ÓSCAR",   "VÍCTOR", "SOFÍA",    "MARTÍN",     "RAÚL",
               "ROCÍO",    "ADRIÁN", "PILAR",   "JAVIER", "MERCEDES", "ANDRÉS",     "NOELIA"});
  std::vector<std::string> surnames =
      Encoded({"GARCÍA",     "MUÑOZ",       "FERNÁNDEZ", "GONZÁLEZ", "RODRÍGUEZ", "LÓPEZ",
               "MARTÍNEZ",   "SÁNCHEZ",     "PÉREZ",     "GÓMEZ",    "MARTÍN",    "JIMÉNEZ",
               "RUIZ",       "HERNÁNDEZ",   "DÍAZ",      "MORENO",   "ÁLVAREZ",   "ROMERO",
               "ALONSO",     "GUTIÉRREZ",   "NAVARRO",   "TORRES",   "DOMÍNGUEZ", "VÁZQUEZ",
               "RAMOS",      "GIL",         "RAMÍREZ",   "SERRANO",  "BLANCO",    "SUÁREZ",
               "MOLINA",     "CASTRO",      "ORTEGA",    "NÚÑEZ",    "IBÁÑEZ",    "ARGÜELLES",
               "PEÑA",       "CALVO",       "BARCELÓ",   "GÜELL",    "GONÇALVES", "SOLÉ",
               "ECHEVERRÍA", "ZUBIZARRETA", "MONTAÑÉS",  "CASTAÑO",  "VIDAL",     "FONTCUBERTA",
               "OLIVÉ"});
  // "%" stands for a surname.
  std::vector<std::string> companies = Encoded({"% E HIJOS S.L.",
                                                "TALLERES % S.A.",
                                                "CONSTRUCCIONES % S.L.",
                                                "ASESORÍA % Y ASOCIADOS",
                                                "PANADERÍA %",
                                                "FERRETERÍA LA ESPAÑOLA S.L.",
                                                "AYUNTAMIENTO DE ALCAÑIZ",
                                                "DISTRIBUCIONES IBÉRICAS S.A.",
                                                "CAFETERÍA EL RINCÓN",
                                                "CALÇATS % S.L.",
                                                "COMUNIDAD PROPIETARIOS NÚM. 14",
                                                "TRANSPORTES % S.L.U.",
                                                "CLÍNICA DENTAL %",
                                                "FUNDACIÓN SAN JOSÉ",
                                                "ELECTRICIDAD % C.B.",
                                                "LIBRERÍA CERVANTES",
                                                "AGRÍCOLA DEL EBRO S.COOP.",
                                                "HOSTELERÍA % S.L.",
                                                "IMPRENTA % HNOS.",
                                                "AUTOESCUELA LA PEÑA"});
  std::vector<std::string> months =
      Encoded({"ENERO", "FEBRERO", "MARZO", "ABRIL", "MAYO", "JUNIO", "JULIO", "AGOSTO",
               "SEPTIEMBRE", "OCTUBRE", "NOVIEMBRE", "DICIEMBRE"});
  // "#" stands for a number, "@" for the month of the transfer, "$" for its year.
  std::vector<std::string> firstRemarks =
      Encoded({"FACTURA $/#",    "FRA. Nº #",         "ALQUILER @",          "NÓMINA @",
               "CUOTA @",        "PEDIDO Nº #",       "RECIBO COMUNIDAD",    "DEVOLUCIÓN FIANZA",
               "PAGO A CUENTA",  "SEÑAL RESERVA",     "HONORARIOS @",        "LIQUIDACIÓN Nº #",
               "ABONO PÓLIZA #", "TRASPASO",          "REPARACIÓN CIGÜEÑAL", "CURSO FORMACIÓN",
               "SUBVENCIÓN $",   "DEVOLUCIÓN IRPF $", "MATRÍCULA @",         "PRÉSTAMO Nº #"});
  std::vector<std::string> secondRemarks = Encoded(
      {"GRACIAS", "SALDO PENDIENTE", "PAGO ÚNICO", "“URGENTE”", "Nº CLIENTE #", "PISO 3º IZDA.",
       "AÑO $", "IVA INCLUIDO", "IMPORTE 125,50 €", "GASTOS 3,50 €", "REF. “OBRA NORTE”",
       "PARCIAL 1 DE 3", "ENVÍO A ALMACÉN", "CÓDIGO #", "DTO. PRONTO PAGO", "SEGÚN CONTRATO"});
  std::vector<std::string> conceptCodes = Encoded({"002", "004", "012", "099"});
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

std::string Digits(std::uint64_t value, std::size_t width) {
  std::string text(width, '0');
  for (std::size_t i = width; i > 0 && value > 0; --i, value /= 10) {
    text[i - 1] = static_cast<char>('0' + value % 10);
  }
  return text;
}

std::string RandomDigits(Random& random, std::size_t width) {
  std::string text(width, '0');
  for (char& c : text) c = static_cast<char>('0' + random.below(10));
  return text;
}

// Left-aligned at a 1-based position, cut to the field's length; the rest keeps its spaces.
void Put(std::string& line, std::size_t position, std::size_t length, std::string_view text) {
  line.replace(position - 1, std::min(length, text.size()), text.substr(0, length));
}

struct Date {
  int year, month, day;
};

// Days since 1970-01-01 to the civil date (proleptic Gregorian), integer arithmetic only.
Date CivilFromDays(long days) {
  days += 719468;
  const long era = (days >= 0 ? days : days - 146096) / 146097;
  const long dayOfEra = days - era * 146097;
  const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long mp = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0)), month, day};
}

std::string DateText(const Date& date) {
  return Digits(date.year, 4) + Digits(date.month, 2) + Digits(date.day, 2);
}

// Fills a template's placeholders.
std::string Expand(std::string_view pattern, Random& random, const Date& date,
                   const std::string& surname) {
  const Tables& tables = GetTables();
  std::string out;
  for (char c : pattern) {
    switch (c) {
      case '#':
        out += random.percent(50) ? Digits(random.below(10000), 4)
                                  : std::to_string(random.between(1, 99999));
        break;
      case '@':
        out += tables.months[date.month - 1];
        break;
      case '$':
        out += Digits(date.year, 4);
        break;
      case '%':
        out += surname;
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string OrderingParty(Random& random) {
  const Tables& tables = GetTables();
  const std::string& first = random.pick(tables.firstNames);
  const std::string& surname1 = random.pick(tables.surnames);
  const std::string& surname2 = random.pick(tables.surnames);
  const unsigned kind = static_cast<unsigned>(random.below(100));
  if (kind < 55) return first + " " + surname1 + " " + surname2;
  if (kind < 70) return surname1 + " " + surname2 + ", " + first;
  return Expand(random.pick(tables.companies), random, Date{2026, 1, 1}, surname1);
}

// Amounts in hundredths: mostly everyday sums, now and then a large one; rents and fees round.
std::uint64_t Amount(Random& random) {
  const unsigned band = static_cast<unsigned>(random.below(100));
  std::uint64_t cents;
  if (band < 40) {
    cents = random.between(1000, 99999);
  } else if (band < 75) {
    cents = random.between(100000, 999999);
  } else if (band < 90) {
    cents = random.between(1000000, 9999999);
  } else if (band < 98) {
    cents = random.between(10000000, 99999999);
  } else {
    cents = random.between(100000000, 9999999999);
  }
  if (random.percent(20)) cents -= cents % 100;
  return cents;
}

std::string Reference(Random& random, const Date& date) {
  const unsigned kind = static_cast<unsigned>(random.below(100));
  if (kind < 50) return RandomDigits(random, 11);
  // Appended piece by piece: GCC 12 misreports "literal" + std::string&& (-Wrestrict).
  std::string reference;
  if (kind < 70) {
    reference = "F";
    reference += Digits(date.year, 4);
    reference += RandomDigits(random, 6);
  } else if (kind < 85) {
    reference = "REF";
    reference += RandomDigits(random, 5);
  }
  return reference;
}

struct Account {
  std::string id;      // positions 3-20: bank, branch and account number
  std::string holder;  // not read; makes the header look like a real one
};

std::vector<Account> MakeAccounts(Random& random, int count) {
  const Tables& tables = GetTables();
  std::vector<Account> accounts;
  std::set<std::string> seen;
  while (static_cast<int>(accounts.size()) < count) {
    std::string id = random.pick(tables.banks) + RandomDigits(random, 4) + RandomDigits(random, 10);
    if (!seen.insert(id).second) continue;  // sheet names must differ
    accounts.push_back({id, Expand(random.pick(tables.companies), random, Date{2026, 1, 1},
                                   random.pick(tables.surnames))});
  }
  return accounts;
}

void ForEachLine(const GeneratorOptions& options,
                 const std::function<void(const std::string&)>& emit) {
  const Tables& tables = GetTables();
  Random random(options.seed);
  const int accountCount = options.accounts < 1 ? 1 : options.accounts;
  const long transfers = options.transfers < 0 ? 0 : options.transfers;
  const std::vector<Account> accounts = MakeAccounts(random, accountCount);

  // The statement covers 30 days ending on a date within the year before 2026-12-07.
  constexpr long kLastDay = 20794;  // 2026-12-07
  constexpr long kSpan = 30;
  const long endDay = kLastDay - static_cast<long>(random.below(365));
  const long startDay = endDay - kSpan + 1;
  const Date start = CivilFromDays(startDay);
  const Date end = CivilFromDays(endDay);

  std::string line;
  for (int a = 0; a < accountCount; ++a) {
    const long count = transfers / accountCount + (a < transfers % accountCount ? 1 : 0);
    line.assign(kLineLength, ' ');
    Put(line, 1, 2, "11");
    Put(line, 3, 18, accounts[a].id);
    Put(line, 21, 8, DateText(start));
    Put(line, 29, 8, DateText(end));
    Put(line, 37, 30, accounts[a].holder);
    emit(line);

    for (long t = 0; t < count; ++t) {
      const Date date = CivilFromDays(startDay + t * kSpan / (count > 0 ? count : 1));
      line.assign(kLineLength, ' ');
      Put(line, 1, 2, "22");
      Put(line, 3, 4, random.pick(tables.banks));
      Put(line, 7, 4, RandomDigits(random, 4));
      Put(line, 11, 10, RandomDigits(random, 10));
      Put(line, 21, 8, DateText(date));
      Put(line, 29, 10, Digits(Amount(random), 10));
      Put(line, 39, 3, random.pick(tables.conceptCodes));
      Put(line, 42, 11, Reference(random, date));
      emit(line);

      if (!options.remarks) continue;
      const std::string& surname = random.pick(tables.surnames);
      line.assign(kLineLength, ' ');
      Put(line, 1, 2, "23");
      Put(line, 3, 30, OrderingParty(random));
      Put(line, 33, 20, Expand(random.pick(tables.firstRemarks), random, date, surname));
      if (random.percent(60)) {
        Put(line, 53, 20, Expand(random.pick(tables.secondRemarks), random, date, surname));
      }
      emit(line);
    }
  }
}

// Emits lines with their breaks, leaving the last break to finish().
class LineJoiner {
 public:
  LineJoiner(const GeneratorOptions& options, std::function<void(std::string_view)> write)
      : options_(options), write_(std::move(write)) {}
  void add(const std::string& line) {
    if (any_) write_(lineBreak());
    any_ = true;
    std::string_view text = line;
    if (options_.trimTrailingSpaces) {
      const std::size_t last = text.find_last_not_of(' ');
      text = text.substr(0, last == std::string_view::npos ? 0 : last + 1);
    }
    write_(text);
  }
  void finish() {
    if (any_ && options_.finalLineBreak) write_(lineBreak());
  }

 private:
  std::string_view lineBreak() const { return options_.lineFeedsOnly ? "\n" : "\r\n"; }
  const GeneratorOptions& options_;
  std::function<void(std::string_view)> write_;
  bool any_ = false;
};

}  // namespace

std::string GenerateTransferFile(const GeneratorOptions& options) {
  std::string out;
  const long lines = options.accounts + options.transfers * (options.remarks ? 2 : 1);
  if (lines > 0) out.reserve(static_cast<std::size_t>(lines) * (kLineLength + 2));
  LineJoiner joiner(options, [&out](std::string_view text) { out += text; });
  ForEachLine(options, [&joiner](const std::string& line) { joiner.add(line); });
  joiner.finish();
  return out;
}

void WriteTransferFile(const GeneratorOptions& options, std::ostream& out) {
  std::string buffer;
  constexpr std::size_t kChunk = 1 << 20;
  buffer.reserve(kChunk + 2 * kLineLength);
  auto flush = [&] {
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    buffer.clear();
  };
  LineJoiner joiner(options, [&](std::string_view text) {
    buffer += text;
    if (buffer.size() >= kChunk) flush();
  });
  ForEachLine(options, [&joiner](const std::string& line) { joiner.add(line); });
  joiner.finish();
  flush();
}

}  // namespace quadrelo::bench
