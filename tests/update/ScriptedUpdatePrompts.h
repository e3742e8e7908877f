#pragma once

#include "update/UpdatePrompts.h"

#include <QStringList>

#include <deque>
#include <functional>

// Answers the update's prompts from a script and records each one as "kind: text".
class ScriptedUpdatePrompts : public UpdatePrompts
{
  public:
    std::deque<bool> answers; // next answers to questions; No when none is left
    QStringList seen;
    std::function<void()> onQuestion; // runs before a question is answered

    void information(const QString &text) override { seen << QStringLiteral("information: ") + text; }
    void error(const QString &text) override { seen << QStringLiteral("error: ") + text; }
    void warning(const QString &caption, const QString &text) override
    {
        seen << QStringLiteral("warning: ") + caption + QStringLiteral(" | ") + text;
    }
    bool question(const QString &text) override
    {
        seen << QStringLiteral("question: ") + text;
        if (onQuestion)
            onQuestion();
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void openUrl(const QString &url) override { seen << QStringLiteral("open: ") + url; }
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        seen << QStringLiteral("start: ") + program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
        return true;
    }
    void terminateApplication() override { seen << QStringLiteral("terminate"); }
};
