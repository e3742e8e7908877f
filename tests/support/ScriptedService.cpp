#include "support/ScriptedService.h"

#include "base/VoranoError.h"

class ScriptedStub : public External_
{
  public:
    ScriptedStub(ScriptedService &service, QString url)
        : m_service(service)
        , m_url(std::move(url))
    {
    }
    QString xmlRequest(const QString &xml) override { return m_service.answer(m_url, xml); }

  private:
    ScriptedService &m_service;
    QString m_url;
};

void ScriptedService::reply(const QString &text)
{
    m_steps.push_back({false, text});
}

void ScriptedService::fail(const QString &message)
{
    m_steps.push_back({true, message});
}

void ScriptedService::setResponder(std::function<QString(const QString &)> responder)
{
    m_responder = std::move(responder);
}

ServiceFactory ScriptedService::factory()
{
    return
        [this](const QString &url) -> std::unique_ptr<External_> { return std::make_unique<ScriptedStub>(*this, url); };
}

QString ScriptedService::answer(const QString &url, const QString &xml)
{
    m_calls.push_back({url, xml});
    if (m_steps.empty()) {
        if (m_responder)
            return m_responder(xml);
        throw TransportError(QStringLiteral("ScriptedService: no reply scripted"));
    }
    Step step = m_steps.front();
    m_steps.pop_front();
    if (step.fails)
        throw TransportError(step.text);
    return step.text;
}
