#pragma once

#include "runtime/glyph_cells.h"

#include <QList>
#include <QPixmap>
#include <QPointF>
#include <QRawFont>
#include <QRect>
#include <QSpinBox>
#include <QString>

#include <array>

namespace panelsvc {

// Read-only numeric control that the program writes many times a second (the live view's
// indicators). To the panel description, the attributes and assistive tools it is a spin box;
// it draws itself, though: the empty box is a picture taken once per size and look, and a new
// value paints only its digits over it. A spin box would validate and lay out its line edit's
// text and draw the style's frame again for every value.
class Indicator : public QSpinBox {
    Q_OBJECT
public:
    explicit Indicator(QWidget* parent = nullptr);

    // Shows value (clamped to the range) when written values are next shown (show_pace.h). The
    // spin box's own value and text (value(), text(), what assistive tools read) follow then
    // while assistive tools are active, else once the writes of every indicator have paused for
    // kBoxLagMs (a live view writes them many times a second; the program itself reads
    // shownValue()).
    void showValue(int value);
    // The value shown, or about to be: the last one showValue or the spin box itself took.
    int shownValue() const { return shown_; }
    // The text its picture shows.
    const QString& drawnText() const { return digits_; }
    // Brings the spin box's own value and text in step with the value shown.
    void settle();

    static constexpr int kBoxLagMs = 500;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void adopt(int value);
    QString textOf(int value) const;    // the text the spin box shows for value
    QString formatted(int value) const; // as textFromValue
    bool plainDigits_ = false;          // textFromValue writes plain digits
    void takeBox();
    void placeDigits(); // digitsX_ and the glyphs for digits_, in field_
    // A character's metrics and glyph in the control's font, worked out once per look.
    struct Glyph {
        bool known = false, drawable = false;
        quint32 index = 0;
        qreal advance = 0, leftBearing = 0, rightBearing = 0, layoutAdvance = 0;
    };
    const Glyph* glyphOf(QChar c); // null for characters outside printable ASCII

    int shown_ = 0;
    QString digits_;   // the text shown for shown_, as the spin box would write it
    QPixmap box_;      // the control without its digits; null when it has to be taken again
    QImage opaqueBox_; // the same, when it is opaque (else null)
    // The digits put straight into the window's image (no painter), once a paint through the
    // painter has shown that this gives the same pixels here; found out again with every box.
    GlyphCells cells_;
    enum class Straight { Unknown, Same, Different } straight_ = Straight::Unknown;
    int straightTries_ = 0;
    // The image a paint event paints into, where it can be written straight (the backing
    // store of a window on a raster platform), and where the control's pixel p is in it
    // (p + *shift); else null.
    QImage* straightTarget(QPaintEvent* event, QPoint* shift) const;
    bool paintStraight(QPaintEvent* event);
    void checkStraight(QPaintEvent* event);
    QRect field_; // where the digits go, and their baseline: taken with box_
    int baseline_ = 0;
    int digitsX_ = 0;
    QRawFont rawFont_;
    std::array<Glyph, 95> glyphs_;
    QList<quint32> glyphIndexes_; // digits_ as glyphs; empty when drawn as text
    QList<QPointF> glyphPositions_;
};

} // namespace panelsvc
