#include "update/QtUpdatePrompts.h"

#include "base/PlainTextWidgets.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

namespace
{

int ask(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text, bool yesNo,
        bool onTop = false)
{
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    MakePlainText(box);
    if (onTop)
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (yesNo) {
        box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
        QPushButton *no = box.addButton(QStringLiteral("Nee"), QMessageBox::NoRole);
        box.exec();
        return box.clickedButton() == no || !box.clickedButton() ? 0 : 1;
    }
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
    return 1;
}

QString title()
{
    return QApplication::applicationDisplayName();
}

} // namespace

void QtUpdatePrompts::information(const QString &text)
{
    ask(m_parent, QMessageBox::Information, title(), text, false);
}

void QtUpdatePrompts::error(const QString &text)
{
    ask(m_parent, QMessageBox::Critical, title(), text, false);
}

void QtUpdatePrompts::warning(const QString &caption, const QString &text)
{
    ask(nullptr, QMessageBox::Warning, caption, text, false, true);
}

bool QtUpdatePrompts::question(const QString &text)
{
    return ask(m_parent, QMessageBox::Question, title(), text, true) == 1;
}

void QtUpdatePrompts::openUrl(const QString &url)
{
    QDesktopServices::openUrl(QUrl(url));
}

bool QtUpdatePrompts::startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments, QString());
}

void QtUpdatePrompts::terminateApplication()
{
    // Queued, so the handlers on the stack return first. Closing the windows ends the program as closing the main
    // window does (settings saved); quit covers a window that is not shown.
    QMetaObject::invokeMethod(qApp, &QApplication::closeAllWindows, Qt::QueuedConnection);
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}
