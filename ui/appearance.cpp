#include "ui/appearance.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QScreen>
#include <QTranslator>
#include <QWidget>
#include <cmath>

#include "ui/resources/folder_open.xpm"
#include "ui/resources/window_icon.xpm"

namespace quadrelo::ui {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kDefaultDpi = 96.0;

QSizeF LogicalDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {kDefaultDpi, kDefaultDpi};
  return {screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY()};
}

}  // namespace

int TwipsToPixels(int twips, double logicalDpi) {
  return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}

QRect TwipsRect(int left, int top, int width, int height) {
  const QSizeF dpi = LogicalDpi();
  return {TwipsToPixels(left, dpi.width()), TwipsToPixels(top, dpi.height()),
          TwipsToPixels(width, dpi.width()), TwipsToPixels(height, dpi.height())};
}

QSize TwipsSize(int width, int height) {
  const QSizeF dpi = LogicalDpi();
  return {TwipsToPixels(width, dpi.width()), TwipsToPixels(height, dpi.height())};
}

QFont LayoutFont(const char* family, double points, bool bold) {
  QFont font(QString::fromLatin1(family));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

void InstallFontFallbacks() {
  QFont::insertSubstitutions(QString::fromLatin1(kSansSerif),
                             {"Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"});
  QFont::insertSubstitutions(QString::fromLatin1(kComic), {"Comic Neue"});
}

QColor Blue() { return {0, 0, 255}; }

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

QIcon WindowIcon() { return QIcon(QPixmap(kWindowIconXpm)); }

QPixmap OpenFilePicture() { return QPixmap(kFolderOpenXpm); }

bool InstallSpanishTranslations(QApplication& app) {
  const QLocale spanish(QLocale::Spanish, QLocale::Spain);
  // Qt's own folder on a development system; beside the executable where it was deployed.
  const QStringList folders = {
      QLibraryInfo::path(QLibraryInfo::TranslationsPath),
      QDir(QCoreApplication::applicationDirPath()).filePath("translations")};
  for (const QString& folder : folders) {
    auto* translator = new QTranslator(&app);
    if (translator->load(spanish, "qtbase", "_", folder)) {
      QCoreApplication::installTranslator(translator);
      return true;
    }
    delete translator;
  }
  return false;
}

void SetUpApplication(QApplication& app) {
  // Dates and sizes in the file dialog read as Spanish too.
  QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
  InstallFontFallbacks();
  InstallSpanishTranslations(app);
  QApplication::setWindowIcon(WindowIcon());
}

}  // namespace quadrelo::ui
