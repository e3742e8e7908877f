#include "support/CycleHarness.h"
#include "support/TestNetwork.h"

#include "link/SoapTransport.h"

#include <QCoreApplication>
#include <QSqlQuery>

void HarnessPump::processEvents()
{
    ++passes;
    if (qtEvents)
        QCoreApplication::processEvents();
    if (passes == m_fireAt && m_action)
        m_action();
}

void HarnessPump::at(int n, std::function<void()> action)
{
    m_fireAt = passes + n;
    m_action = std::move(action);
}

QDateTime HarnessClock::now() const
{
    return m_at ? *m_at : QDateTime::currentDateTime();
}

CycleHarness::CycleHarness(Service kind, const QString &url)
{
    controls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
    for (Control c : {Control::xVerwerken, Control::xBevestigen, Control::BackupsMaken, Control::xBezet})
        controls.setChecked(c, true);
    ServiceFactory factory = MakeServiceFactory(controls, TestNetwork(), nullptr);
    switch (kind) {
    case Simulator:
        if (!sim.start())
            m_error = QStringLiteral("simulator: ") + sim.errorString();
        controls.setText(Control::xSoapServer, sim.url());
        break;
    case Scripted:
        // A port where nothing listens: a call that leaves the process fails.
        controls.setText(Control::xSoapServer, QStringLiteral("http://127.0.0.1:1/_external"));
        service.setResponder([](const QString &) { return QStringLiteral("<kwp><status>200</status></kwp>"); });
        factory = service.factory();
        break;
    case AtUrl:
        controls.setText(Control::xSoapServer, url);
        break;
    }
    m_ctx.reset(new OperationContext{controls, std::move(factory), db, pump, clock, dir.folders(), resultList,
                                     [this](const QString &message) { log << message; }});
    // Every line of the run, whatever its level.
    m_ctx->log = [this](LogLevel, const QString &message) { log << message; };
}

void CycleHarness::import()
{
    runner.runExclusive([this] { tripImport.runRetrievalCycle(ctx()); });
}

void CycleHarness::retour()
{
    runner.runExclusive([this] { retourCycle.RetourTimerTimer(ctx()); });
}

QVariant CycleHarness::scalar(const QString &sql, const QVariantList &params)
{
    QSqlQuery q = db.exec(sql, params);
    const QVariant v = q.next() ? q.value(0) : QVariant();
    q.finish();
    return v;
}
