#include "app/logo.h"

#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "runtime/panel.h"

namespace evok {

namespace {

constexpr int kWhite = 0xFFFFFF;
constexpr int kGrey = 0x808080;
constexpr int kBlue = 0x0080FF;
constexpr int kNameSize = 16;
constexpr int kTextSize = 11;
constexpr int kBrandLineLeft = 15;
constexpr int kBrandLineTops[3] = {7, 22, 37};

struct Point {
    int left, top;
};

struct Brand {
    int header;         // header band colour
    const char* bitmap; // logo picture, null: the logo is hidden
    Point logo;
    int text;             // colour of every header text
    const char* lines[3]; // company, phone, web; null: no brand lines
    Point name, version;
};

constexpr Point kNamePlain{20, 20}, kVersionPlain{180, 24};
constexpr Point kNameBranded{220, 32}, kVersionBranded{440, 36};

// Variant 5 is not in the table: it leaves the header as the panel description has it.
constexpr Brand kBrands[7] = {
    {kWhite, nullptr, {}, kGrey, {}, kNamePlain, kVersionPlain},
    {kBlue, nullptr, {}, kWhite, {}, kNamePlain, kVersionPlain},
    {kBlue,
     "talvor.bmp",
     {175, 6},
     kWhite,
     {"Talvor Sensorik AG", "+49 7031 555 0190", "www.talvor.example"},
     kNameBranded,
     kVersionBranded},
    {kWhite, "quenix.bmp", {470, 8}, kGrey, {}, kNamePlain, kVersionPlain},
    {kBlue,
     "brimsa.bmp",
     {470, 7},
     kWhite,
     {"Brimsa Optics Ltd", "+44 20 7946 0321", "www.brimsa.example"},
     kNameBranded,
     kVersionBranded},
    {},
    {kWhite,
     "ostrel.bmp",
     {470, 7},
     kGrey,
     {"Ostrel Automation", "+46 8 555 012 34", "www.ostrel.example"},
     kNameBranded,
     kVersionBranded},
};

} // namespace

void ShowInfoText(int background, int colour, const char* text, int left, int top, int size) {
    int id = NewCtrl(panelHandle, kCtrlTextMessage, "", top, left);
    SetCtrlAttribute(panelHandle, id, kAttrTextFont, "AppFont");
    SetCtrlAttribute(panelHandle, id, kAttrTextBold, 1);
    SetCtrlAttribute(panelHandle, id, kAttrTextBgColor, background);
    SetCtrlAttribute(panelHandle, id, kAttrTextColor, colour);
    SetCtrlAttribute(panelHandle, id, kAttrTextPointSize, size);
    SetCtrlVal(panelHandle, id, text);
}

void ShowLogo(int variant) {
    if (variant < 0 || variant > 6 || variant == 5) return;
    const Brand& brand = kBrands[variant];

    SetCtrlAttribute(panelHandle, PANEL_HEADER, kAttrFrameColor, brand.header);
    if (brand.bitmap == nullptr) {
        SetCtrlAttribute(panelHandle, PANEL_LOGO, kAttrVisible, 0);
    } else {
        SetCtrlAttribute(panelHandle, PANEL_LOGO, kAttrTop, brand.logo.top);
        SetCtrlAttribute(panelHandle, PANEL_LOGO, kAttrLeft, brand.logo.left);
        DisplayImageFile(panelHandle, PANEL_LOGO, brand.bitmap);
        if (brand.lines[0] != nullptr) {
            for (int i = 0; i < 3; ++i) {
                ShowInfoText(brand.header, brand.text, brand.lines[i], kBrandLineLeft,
                             kBrandLineTops[i], kTextSize);
            }
        }
    }
    ShowInfoText(brand.header, brand.text, szSoftname, brand.name.left, brand.name.top, kNameSize);
    ShowInfoText(brand.header, brand.text, szSoftversion, brand.version.left, brand.version.top,
                 kTextSize);
}

} // namespace evok
