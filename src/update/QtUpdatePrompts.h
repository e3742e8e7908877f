#pragma once

#include "update/UpdatePrompts.h"

class QWidget;

// The update's prompts as real message boxes, the desktop's browser and a detached process.
class QtUpdatePrompts : public UpdatePrompts
{
  public:
    explicit QtUpdatePrompts(QWidget *parent = nullptr)
        : m_parent(parent)
    {
    }
    void information(const QString &text) override;
    void error(const QString &text) override;
    void warning(const QString &caption, const QString &text) override;
    bool question(const QString &text) override;
    void openUrl(const QString &url) override;
    bool startDetached(const QString &program, const QStringList &arguments) override;
    void terminateApplication() override;

  private:
    QWidget *m_parent;
};
