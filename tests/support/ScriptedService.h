#pragma once

#include "link/External_.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

// A stand-in for the service in unit tests: answers each call with the next scripted reply (or throws the next
// scripted error) and records the URL and document of every call.
class ScriptedService {
public:
    struct Call {
        QString url;
        QString xml;
    };

    // Next reply, in call order.
    void reply(const QString &text);
    // Next call throws TransportError with this message.
    void fail(const QString &message);
    // Answer every call with a function of the request (used when no scripted reply is left).
    void setResponder(std::function<QString(const QString &xml)> responder);

    ServiceFactory factory();
    const std::vector<Call> &calls() const { return m_calls; }

private:
    struct Step {
        bool fails = false;
        QString text;
    };
    QString answer(const QString &url, const QString &xml);

    std::deque<Step> m_steps;
    std::vector<Call> m_calls;
    std::function<QString(const QString &)> m_responder;
    friend class ScriptedStub;
};
