#pragma once

#include <QImage>
#include <QLabel>

namespace panelsvc {

// Picture control: shows an image scaled to fit its area, keeping the aspect ratio.
class Picture : public QLabel {
    Q_OBJECT
public:
    explicit Picture(QWidget* parent = nullptr);
    void setImage(const QImage& image);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rescale();
    QImage image_;
};

} // namespace panelsvc
