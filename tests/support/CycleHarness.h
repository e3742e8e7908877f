#pragma once

// CycleHarness: everything a test or benchmark of the client's cycles needs, in one object.
//
//     CycleHarness h;                                 // temporary program folder, embedded SQLite database
//     ASSERT_TRUE(h.ok()) << qPrintable(h.error());   //   with the schema, the service simulator on 127.0.0.1,
//     h.sim.setGeneratedTrips({.count = 3});          //   controls set for both (importing, confirming, copies
//     h.import();                                     //   and return messages on), pump, clock, log, context;
//     h.retour();                                     //   both cycles run as the timers run them (the runner)
//     EXPECT_TRUE(h.log.isEmpty());                   // every error line of the run, in order
//     EXPECT_EQ(h.scalar("select count(*) from Planning").toInt(), 3);
//
// CycleHarness h(CycleHarness::Scripted) answers every call from h.service instead of a socket ("200" unless
// scripted otherwise); CycleHarness h(CycleHarness::AtUrl, url) calls a service that runs elsewhere (another
// process, or one simulator shared by several harnesses). Every part is a public member: set h.controls, query
// h.db, script h.sim, fix h.clock (system time until set), count or trigger h.pump. h.ctx() is the context the
// operations get; its service factory and log hook may be replaced (the runner reports through ctx().logError).
// A test fixture may derive from it (public ::testing::Test, public CycleHarness).

#include "service/ActionRunner.h"
#include "base/Clock.h"
#include "base/EventPump.h"
#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "feedback/RetourCycle.h"
#include "link/TextList.h"
#include "settings/MemoryControls.h"
#include "support/ScriptedService.h"
#include "support/TempProgramDir.h"
#include "trips/TripImport.h"

#include "OstrelSim.h"

#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

// Counts the passes of the message loop; can call a function at a chosen pass (the import makes one before each
// trip, the return cycle one before each event), so a fault can strike in the middle of a run; and can run the
// Qt event loop on each pass, as the program does.
class HarnessPump : public EventPump
{
  public:
    void processEvents() override;
    // Calls action at the n-th pass from now (n = 1: the next one).
    void at(int n, std::function<void()> action);
    void clear() { m_action = nullptr; }

    int passes = 0;
    bool qtEvents = false;

  private:
    int m_fireAt = 0;
    std::function<void()> m_action;
};

// The system time until set; then the time set, moved only by advanceSecs.
class HarnessClock : public Clock
{
  public:
    QDateTime now() const override;
    void set(const QDateTime &at) { m_at = at; }
    void advanceSecs(qint64 s) { m_at = now().addSecs(s); }

  private:
    std::optional<QDateTime> m_at;
};

class CycleHarness
{
  public:
    enum Service {
        Simulator, // h.sim, started on a free port of 127.0.0.1
        Scripted,  // h.service, in the process, no socket
        AtUrl,     // the service at the URL given (not started here)
    };

    explicit CycleHarness(Service kind = Simulator, const QString &url = QString());
    CycleHarness(const CycleHarness &) = delete;
    CycleHarness &operator=(const CycleHarness &) = delete;

    // False when the simulator could not be started; error() says why.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    OperationContext &ctx() { return *m_ctx; }

    // One retrieval cycle and one return-message cycle, as the timers run them: an error ends up in the log.
    void import();
    void retour();

    // The first column of the first row (invalid when there is none).
    QVariant scalar(const QString &sql, const QVariantList &params = {});

    TempProgramDir dir;
    MemoryControls controls;
    OstrelSim sim;
    ScriptedService service; // answers the calls with Scripted
    DispatchDb db{controls, dir.path()};
    HarnessPump pump;
    HarnessClock clock;
    TextList resultList;
    QStringList log;
    ActionRunner runner{[this](const QString &message) { m_ctx->logError(message); }};
    TripImport tripImport;
    RetourCycle retourCycle;

  private:
    QString m_error;
    std::unique_ptr<OperationContext> m_ctx;
};
