#pragma once

#include "errors.h"

#include <QString>

#include <exception>

class QWidget;

// The application's error box: stop icon, OK, title "Easy VELUNA", text after the "." rule.
void showErrorBox(QWidget *parent, const QString &message);

// The program's own notices: information icon, title "情報", one "はい(&Y)" button.
void showInfoBox(QWidget *parent, const QString &message);

// Runs one event handler. A failure ends only this handler: what it changed so far stays changed,
// and the error box shows the message. Nothing escapes into Qt's event loop.
template<typename Handler>
void guarded(QWidget *parent, Handler &&handler)
{
    try {
        handler();
    } catch (const AppError &e) {
        showErrorBox(parent, e.message());
    } catch (const std::exception &e) {
        showErrorBox(parent, QString::fromUtf8(e.what()));
    }
}
