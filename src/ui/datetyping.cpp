#include "datetyping.h"

#include "typeddate.h"

#include <QDateEdit>
#include <QEvent>
#include <QKeyEvent>

namespace {

class WholeDateTyping final : public QObject
{
public:
    explicit WholeDateTyping(QDateEdit *edit)
        : QObject(edit)
        , m_edit(edit)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_edit) {
            return false;
        }
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress) {
            m_typed.clear();
        } else if (event->type() == QEvent::KeyPress) {
            return keyPressed(static_cast<QKeyEvent *>(event));
        }
        return false;
    }

private:
    // True when the key completed a date and so was taken here.
    bool keyPressed(const QKeyEvent *key)
    {
        const QString text = normalizedDateTyping(key->text());
        const bool typing = text.size() == 1 && (text.at(0) == u'/' || (text.at(0) >= u'0' && text.at(0) <= u'9'));
        if (!typing || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            // A key that edits or moves (arrows, Backspace, Tab...) starts a new date.
            m_typed.clear();
            return false;
        }
        m_typed += text;
        if (!mayBecomeTypedDate(m_typed)) {
            // A new date begins with this key, if it can begin one.
            m_typed = mayBecomeTypedDate(text) ? text : QString();
        }
        const std::optional<QDate> date = wholeTypedDate(m_typed);
        if (!date) {
            return false;
        }
        m_edit->setDate(*date);
        return true;
    }

    QDateEdit *m_edit;
    QString m_typed;
};

} // namespace

void acceptWholeTypedDates(QDateEdit *edit)
{
    edit->installEventFilter(new WholeDateTyping(edit));
}
