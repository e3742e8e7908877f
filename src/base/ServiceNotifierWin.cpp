#include "base/ServiceNotifier.h"

#include <QByteArray>

// Windows has no notify protocol: a program run as a service there (by a service wrapper or the task scheduler) is
// watched through its process and its day files. Every call does nothing.
ServiceNotifier::ServiceNotifier() = default;

void ServiceNotifier::send(const QByteArray &) const {}
void ServiceNotifier::ready(const QString &) const {}
void ServiceNotifier::status(const QString &) const {}
void ServiceNotifier::watchdog() const {}
void ServiceNotifier::stopping() const {}
