#include "buttonkeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>

namespace {

class EnterPressesFocusedButton final : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress) {
            return QObject::eventFilter(watched, event);
        }
        const auto *key = static_cast<const QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return QObject::eventFilter(watched, event);
        }
        auto *button = qobject_cast<QPushButton *>(watched);
        if (button == nullptr || !button->isEnabled() || !button->isVisible()) {
            return QObject::eventFilter(watched, event);
        }
        // A held key presses once: the first press usually closes the dialog or starts a session.
        if (!key->isAutoRepeat()) {
            button->click();
        }
        return true;
    }
};

} // namespace

QString captionWithoutAccelerator(const QString &caption)
{
    // The trailing "(&X)" mark, with the blank some captions put before it.
    static const QRegularExpression mark(QStringLiteral("\\s*\\(&[^&)]\\)\\s*$"));
    QString name = caption;
    name.remove(mark);
    QString plain;
    plain.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == QLatin1Char('&') && i + 1 < name.size()) {
            ++i;
        }
        plain.append(name[i]);
    }
    return plain;
}

void followButtonConventions(QWidget *window)
{
    auto *filter = new EnterPressesFocusedButton(window);
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (qobject_cast<QPushButton *>(button) != nullptr) {
            button->installEventFilter(filter);
        }
        if (button->accessibleName().isEmpty() && !button->text().isEmpty()) {
            button->setAccessibleName(captionWithoutAccelerator(button->text()));
        }
    }
}

// Any modifiers count: the line edit would insert the letter of Alt+A, AltGr or Super chords too.
// Keys that type nothing (arrows, Delete, Tab, Esc) are not characters.
bool acceptDigitKey(const QKeyEvent *key)
{
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const QString text = key->text();
    const bool typesCharacter = std::any_of(text.begin(), text.end(),
                                            [](QChar c) { return c >= QLatin1Char(' ') && c != QLatin1Char('\x7f'); });
    bool accepted = true;
    if (modifiers == Qt::ControlModifier && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z) {
        // Ctrl with a letter types a control character: only Ctrl-C and Ctrl-V are let through.
        accepted = key->key() == Qt::Key_C || key->key() == Qt::Key_V;
    } else if (key->key() == Qt::Key_Backspace) {
        accepted = true;
    } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        accepted = false;
    } else if (typesCharacter) {
        accepted = std::all_of(text.begin(), text.end(),
                               [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    }
    return accepted;
}
