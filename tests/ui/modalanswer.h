#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Answers the next modal window that opens on top of `below` (or the first one, when below is null):
// polls every 10 ms from whatever event loop runs, for at most 10 s, and hands the window to `answer`,
// which should close it. Returns the polling timer so that a caller can stop waiting (delete it).
inline QPointer<QTimer> answerNextModal(std::function<void(QWidget *)> answer, QWidget *below = nullptr)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    const auto deadline = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, below, deadline, answer] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != below) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        } else if (deadline->hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
    return timer;
}

// What a message box showed while `action` ran; all empty when none opened. The box is accepted.
struct ShownBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int count = 0;
};

inline ShownBox captureMessageBox(const std::function<void()> &action, QWidget *below = nullptr)
{
    auto shown = std::make_shared<ShownBox>();
    const QPointer<QTimer> waiting = answerNextModal(
        [shown](QWidget *modal) {
            ++shown->count;
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                shown->title = box->windowTitle();
                shown->text = box->text();
                shown->icon = box->icon();
                box->accept();
            } else {
                shown->title =
                    QStringLiteral("unexpected window: ") + QString::fromLatin1(modal->metaObject()->className());
                modal->close();
            }
        },
        below);
    action();
    delete waiting.data();
    return *shown;
}
