#include "runtime/picture.h"

#include <QPixmap>

namespace panelsvc {

Picture::Picture(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
}

void Picture::setImage(const QImage& image) {
    image_ = image;
    rescale();
}

void Picture::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    rescale();
}

void Picture::rescale() {
    if (image_.isNull()) return;
    setPixmap(
        QPixmap::fromImage(image_.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace panelsvc
