// Helpers shared by the panel service's own widgets: colours as 0xRRGGBB integers, the dynamic
// properties a panel description gives a widget, and the settings both chart kinds share.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QVariant>

class QCustomPlot;
class QCPTextElement;

namespace panelsvc {

QColor ColorFromRgb(int rgb);
int RgbFromColor(const QColor& color);

// Reads a dynamic property of the panel description, or a fallback.
template <typename T> T Prop(const QObject* o, const char* name, T fallback) {
    const QVariant v = o->property(name);
    if (!v.isValid() || !v.canConvert<T>()) return fallback;
    return v.value<T>();
}

// A colour property ("#rrggbb"), or a fallback.
QColor ColorProp(const QObject* o, const char* name, const QColor& fallback);

// Settings shared by both chart kinds: the live loop redraws a chart many times a second, so
// nothing is antialiased and ticks and tick labels are cached.
void SetUpCheapPlot(QCustomPlot* plot);

// Adds a bold title row above the plot area.
QCPTextElement* AddTitleRow(QCustomPlot* plot, const QString& text);

// Asks for a file to save through FileSelectPopup (so tests answer it through its seam), starting
// in *directory, where the caller's operator saved last (the program's own directory may not be
// writable once installed), with `name` proposed; remembers the chosen file's directory there.
// restrictExtension as for FileSelectPopup. Returns the path, or an empty string when none was
// chosen.
QString AskSavePath(QString* directory, const QString& name, const char* filter, const char* title,
                    int restrictExtension);

} // namespace panelsvc
