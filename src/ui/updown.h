#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// A small up-down pair of arrows attached to a read-only edit box that shows its position.
// Pressing an arrow (or Up/Down in the edit box) moves the position by one within [minimum, maximum],
// writes it into the edit box, then emits clicked(); a press at a limit leaves the position and still
// emits clicked().
class UpDownSpinner final : public QWidget
{
    Q_OBJECT

public:
    explicit UpDownSpinner(QWidget *parent = nullptr);

    void setAssociate(QLineEdit *edit);
    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    int position() const { return m_position; }
    // Clamped into the range; shown in the associated edit box. Does not emit clicked().
    void setPosition(int position);

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

signals:
    void clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void step(int delta);

    QToolButton *m_up;
    QToolButton *m_down;
    QLineEdit *m_associate = nullptr;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
};
