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
        const bool changed = c != colour;
        colour = c;
        update();
        if (changed) emit colourChanged(c);
    }
    QColor currentColour() const { return colour; }

signals:
    // The light turned another colour (green: the program runs).
    void colourChanged(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour{128, 128, 128};
};

}  // namespace travin
