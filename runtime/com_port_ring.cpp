#include "runtime/com_port_ring.h"

#include "runtime/serial.h"

#include <QAbstractItemView>
#include <QSignalBlocker>

#include <algorithm>
#include <string>

namespace panelsvc {

ComPortRing::ComPortRing(QWidget* parent) : QComboBox(parent) {
    for (int port = 1; port <= kPorts; ++port)
        addItem(QStringLiteral("COM%1").arg(port), port);
}

void ComPortRing::refreshLabels() {
    const QSignalBlocker block(this);
    for (int i = 0; i < count(); ++i) {
        const int port = itemData(i).toInt();
        const std::string device = ComPortDevice(port);
        QString text = QStringLiteral("COM%1").arg(port);
        if (!device.empty()) text += QStringLiteral("  ") + QString::fromStdString(device);
        if (const std::string about = ComPortDescription(port); !about.empty())
            text += QStringLiteral("  ") + QString::fromStdString(about);
        if (itemText(i) != text) setItemText(i, text);
    }
    view()->setMinimumWidth(std::max(width(), view()->sizeHintForColumn(0) + 24));
}

void ComPortRing::showPopup() {
    refreshLabels();
    QComboBox::showPopup();
}

} // namespace panelsvc
