#include "updown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

UpDownSpinner::UpDownSpinner(QWidget *parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    for (QToolButton *button : {m_up, m_down}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
    }
    m_up->setObjectName(QStringLiteral("UpDownUp"));
    m_down->setObjectName(QStringLiteral("UpDownDown"));
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDownSpinner::setAssociate(QLineEdit *edit)
{
    if (m_associate) {
        m_associate->removeEventFilter(this);
    }
    m_associate = edit;
    if (m_associate) {
        m_associate->installEventFilter(this);
        m_associate->setText(QString::number(m_position));
    }
}

void UpDownSpinner::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setPosition(m_position);
}

void UpDownSpinner::setPosition(int position)
{
    m_position = std::clamp(position, m_minimum, m_maximum);
    if (m_associate) {
        m_associate->setText(QString::number(m_position));
    }
}

void UpDownSpinner::step(int delta)
{
    setPosition(m_position + delta);
    emit clicked();
}

bool UpDownSpinner::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_associate && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDownSpinner::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int upperHeight = height() / 2;
    m_up->setGeometry(0, 0, width(), upperHeight);
    m_down->setGeometry(0, upperHeight, width(), height() - upperHeight);
}
