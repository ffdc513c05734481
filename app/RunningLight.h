// The "Program Running" light: a small filled circle.
#pragma once

#include <QColor>
#include <QWidget>

namespace travin {

class RunningLight : public QWidget {
    Q_OBJECT
public:
    explicit RunningLight(QWidget* parent = nullptr) : QWidget(parent) {}
    void setColour(const QColor& c) {
        colour = c;
        update();
    }
    QColor currentColour() const { return colour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour{128, 128, 128};
};

}  // namespace travin
