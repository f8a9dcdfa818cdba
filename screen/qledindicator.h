#pragma once

// A round panel lamp: lit while the button is checked, dark otherwise.

#include <QAbstractButton>
#include <QColor>

class QLedIndicator : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QColor onColor1 READ getOnColor1 WRITE setOnColor1)
    Q_PROPERTY(QColor onColor2 READ getOnColor2 WRITE setOnColor2)
    Q_PROPERTY(QColor offColor1 READ getOffColor1 WRITE setOffColor1)
    Q_PROPERTY(QColor offColor2 READ getOffColor2 WRITE setOffColor2)

public:
    explicit QLedIndicator(QWidget *parent = nullptr);

    QColor getOnColor1() const { return onColor1; }
    QColor getOnColor2() const { return onColor2; }
    QColor getOffColor1() const { return offColor1; }
    QColor getOffColor2() const { return offColor2; }

    // The new colour shows at the next repaint.
    void setOnColor1(QColor color) { onColor1 = color; }
    void setOnColor2(QColor color) { onColor2 = color; }
    void setOffColor1(QColor color) { offColor1 = color; }
    void setOffColor2(QColor color) { offColor2 = color; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QColor onColor1;
    QColor offColor1;
    QColor onColor2;
    QColor offColor2;
};
