// Values and attributes as the operator sees them: what the program writes shows on screen and
// reads back; out-of-range values are clamped; a text never overruns the caller's buffer.
#include "panel_test_support.h"

#include <QImage>
#include <QSpinBox>

using namespace paneltest;
using namespace evok;

namespace {

constexpr int kValue = 0; // the row writes the control's value, not an attribute

QPoint OnPanel(QWidget* w) {
    return w->mapTo(w->window(), QPoint(0, 0));
}

class PanelAttributes : public PanelFixture {};

// Positions are pixels from the panel's top-left corner, also for controls inside a group.
TEST_F(PanelAttributes, ShowOnScreenAndReadBack) {
    const struct {
        const char* what;
        int control, attribute, written, result, readBack;
        bool (*seen)(QWidget*); // null: nothing to look at
    } rows[] = {
        {"numeric above its range", PANEL_NUM_SDELAY, kValue, 70000, 0, 65535,
         [](QWidget* w) { return static_cast<QSpinBox*>(w)->text() == "65535"; }},
        {"ring item", PANEL_RNGGRAPHSOURCE, kValue, 2, 0, 2, nullptr},
        {"ring value no item has", PANEL_RNGGRAPHSOURCE, kValue, 7, kPanelErrAttribute, 2, nullptr},
        {"radio", PANEL_RBTEEPROM, kValue, 5, 0, 1, nullptr},
        {"hidden", PANEL_LOGO, kAttrVisible, 0, 0, 0, [](QWidget* w) { return !w->isVisible(); }},
        {"dimmed", PANEL_BTNDATA, kAttrDimmed, 1, 0, 1, [](QWidget* w) { return !w->isEnabled(); }},
        {"header colour", PANEL_HEADER, kAttrFrameColor, 0x808080, 0, 0x808080,
         [](QWidget* w) { return w->grab().toImage().pixelColor(900, 30) == QColor(0x808080); }},
        {"left", PANEL_LOGO, kAttrLeft, 470, 0, 470,
         [](QWidget* w) { return OnPanel(w).x() == 470; }},
        {"top in a group", PANEL_NUM_SDELAY, kAttrTop, 250, 0, 250,
         [](QWidget* w) { return OnPanel(w).y() == 250; }},
        {"unknown attribute number", PANEL_BTNRUN, 4711, 42, 0, 42, nullptr}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const bool value = row.attribute == kValue;
        EXPECT_EQ(value ? SetCtrlVal(main, row.control, row.written)
                        : SetCtrlAttribute(main, row.control, row.attribute, row.written),
                  row.result);
        int v = -1;
        EXPECT_EQ(value ? GetCtrlVal(main, row.control, &v)
                        : GetCtrlAttribute(main, row.control, row.attribute, &v),
                  0);
        EXPECT_EQ(v, row.readBack);
        EXPECT_TRUE(!row.seen || row.seen(CtrlWidget(main, row.control)));
    }
    int v = 0;
    EXPECT_EQ(GetCtrlAttribute(main, PANEL_BTNRUN, 4713, &v), kPanelErrAttribute); // never written

    char text[20] = "untouched";
    ASSERT_EQ(SetCtrlVal(main, PANEL_STATUS, "Timeout RS232-Line!"), 0);
    EXPECT_EQ(GetCtrlVal(main, PANEL_STATUS, text, 19), kPanelErrBufferSize); // no room for '\0'
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(GetCtrlVal(main, PANEL_STATUS, text, sizeof text), 0);
    EXPECT_STREQ(text, "Timeout RS232-Line!");
}

} // namespace
