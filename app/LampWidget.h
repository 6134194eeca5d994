#pragma once

#include <QColor>
#include <QWidget>

// A filled circle centred in its box, diameter the smaller side, with a thin solid outline.
class LampWidget : public QWidget
{
    Q_OBJECT
public:
    explicit LampWidget(QWidget *parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill{192, 192, 192};
};
