#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QSize>

class QApplication;
class QWidget;

namespace quadrelo::ui {

// Sizes in the layout are twips (1/1440 inch), turned into pixels at the screen's logical DPI:
// 15 twips a pixel at 96 DPI. The physical DPI would make the window vary with the monitor.
int TwipsToPixels(int twips, double logicalDpi);
QRect TwipsRect(int left, int top, int width, int height);
QSize TwipsSize(int width, int height);

// The two families the layout names; the fallbacks installed by InstallFontFallbacks stand in
// where they are missing.
inline constexpr const char* kSansSerif = "MS Sans Serif";
inline constexpr const char* kComic = "Comic Sans MS";
QFont LayoutFont(const char* family, double points, bool bold = false);
void InstallFontFallbacks();

// Pure blue, the colour of the frame captions and notices.
QColor Blue();
// Sets the colour a widget's text is drawn in (labels and frame captions).
void SetTextColour(QWidget* widget, const QColor& colour);

// The window icon (32 x 32) and the picture that opens the file dialog (16 x 16), compiled in.
QIcon WindowIcon();
QPixmap OpenFilePicture();

// Qt's own texts (buttons, the file dialog) in Spanish whatever the system language. Returns
// false when the catalogue cannot be found; the texts then stay in English.
bool InstallSpanishTranslations(QApplication& app);

// Everything above that belongs to the application as a whole.
void SetUpApplication(QApplication& app);

}  // namespace quadrelo::ui
