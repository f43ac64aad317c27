#include "ui/MessageBoxDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

// A title comes in English (the service names the question open by it to
// its clients, in English) marked QT_TRANSLATE_NOOP("OperatorDialogs", ...);
// the box shows it translated. Texts and choices come translated.
static QString shown(const QString &title)
{
    return QCoreApplication::translate("OperatorDialogs", title.toUtf8().constData());
}

bool MessageBoxDialogs::ask(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Information, shown(title), text, QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

bool MessageBoxDialogs::choose(const QString &title, const QString &text, const QString &accept, const QString &reject)
{
    QMessageBox box(QMessageBox::Question, shown(title), text);
    QPushButton *yes = box.addButton(accept, QMessageBox::AcceptRole);
    box.addButton(reject, QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

void MessageBoxDialogs::notice(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Information, shown(title), text, QMessageBox::Ok);
    box.exec();
}

void MessageBoxDialogs::warning(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, shown(title), text, QMessageBox::Ok);
    box.exec();
}

int MessageBoxDialogs::chooseAmong(const QString &title, const QString &text, const QStringList &choices)
{
    QMessageBox box(QMessageBox::Question, shown(title), text);
    QList<QAbstractButton *> buttons;
    for (int i = 0; i < choices.size(); ++i)
        buttons << box.addButton(choices.at(i),
                                 i == choices.size() - 1 ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.last()));
        box.setEscapeButton(buttons.last());
    }
    box.exec();
    const int taken = int(buttons.indexOf(box.clickedButton()));
    return taken < 0 ? int(choices.size()) - 1 : taken;
}

QString MessageBoxDialogs::saveFileName(const QString &caption, const QString &dir, const QString &filter)
{
    return QFileDialog::getSaveFileName(nullptr, caption, dir, filter);
}

QString MessageBoxDialogs::openFileName(const QString &caption, const QString &dir, const QString &filter)
{
    return QFileDialog::getOpenFileName(nullptr, caption, dir, filter);
}
