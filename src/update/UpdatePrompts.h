#pragma once

#include <QString>
#include <QStringList>

// What the update talks to the user and the desktop through: message boxes, the web page, the updater and the end
// of the program. The window implements it with real dialogs (QtUpdatePrompts); tests answer it.
class UpdatePrompts
{
  public:
    virtual ~UpdatePrompts() = default;
    // Information message with an OK button.
    virtual void information(const QString &text) = 0;
    // Error message with an OK button.
    virtual void error(const QString &text) = 0;
    // Warning box with a caption, an OK button, on top of every window.
    virtual void warning(const QString &caption, const QString &text) = 0;
    // Question with Yes and No; true for Yes.
    virtual bool question(const QString &text) = 0;
    // Opens a web page with the desktop's browser.
    virtual void openUrl(const QString &url) = 0;
    // Starts a program that this one does not wait for; the result is not used.
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;
    // Asks the application to end normally once the running handlers have returned.
    virtual void terminateApplication() = 0;
};
