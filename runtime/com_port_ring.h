#pragma once

#include <QComboBox>

namespace panelsvc {

// Ring of serial ports 1..16 (item values 1..16), labelled with the device behind each number
// where there is one; the labels are refreshed whenever the list opens.
class ComPortRing : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kPorts = 16;
    explicit ComPortRing(QWidget* parent = nullptr);
    void refreshLabels();
    void showPopup() override;
};

} // namespace panelsvc
