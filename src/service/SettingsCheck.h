#pragma once

#include <QString>
#include <QStringList>

// What "--check" finds in a working folder before the program is left alone: one Dutch line per problem in the
// two settings files (names the program does not know, values it cannot use, the example service address,
// retrieval or return messages switched off), the database connection (as the button "TEST" opens it) and
// whether the service answers one read-only request. Reads only: nothing is created or written.
struct SettingsCheckResult {
    QStringList problems;
    QStringList notes; // worth knowing, not wrong
};

class Controls;
class NetworkConnections;
class SettingsStore;

// The service request goes over net.
SettingsCheckResult CheckSettings(const QString &workingFolder, NetworkConnections &net);

// The checks that need neither the database nor the network, over settings already read: the program runs them
// at start and at every reload, and reports each problem as a warning. folder is the working folder (where a
// relative database file lives).
QStringList CheckLoadedSettings(const SettingsStore &main, const SettingsStore &base, const Controls &controls,
                                const QString &folder);

// The known name nearest to name (edit distance, case ignored); empty when none is near.
QString NearestName(const QString &name, const QStringList &known);
