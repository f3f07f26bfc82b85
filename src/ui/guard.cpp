#include "guard.h"
#include "look.h"

#include <QMessageBox>
#include <QPushButton>

void showErrorBox(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Easy VELUNA"), errorBoxText(message), QMessageBox::Ok,
                    parent);
    useDesignFont(&box);
    box.exec();
}

void showInfoBox(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("情報"), message, QMessageBox::Yes, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    useDesignFont(&box);
    box.exec();
}
