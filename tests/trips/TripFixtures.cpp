#include "TripFixtures.h"

#include "link/ReadXmlTag.h"

#include <QFile>

namespace TripFixtures {

QString read(const QString &name)
{
    QFile f(QStringLiteral(VORANO_TEST_DATA_DIR "/trips/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

TripTexts split(const QString &tripElement)
{
    TripTexts t;
    t.trip = tripElement;
    t.client = ReadXMLTag(tripElement, QStringLiteral("client"));
    if (!t.client.isEmpty())
        t.trip.remove(t.client);
    return t;
}

QString trip(const QString &id, const QString &action, const QString &elements, const QString &client)
{
    return QStringLiteral("<trip><id>%1</id><tripaction>%2</tripaction><client>%3</client>%4</trip>")
        .arg(id, action, client, elements);
}

QString reply(const QString &trips, const QString &status, const QString &name)
{
    return QStringLiteral("<kwp version=\"3.8\"><status>%1</status><body><action><name>%2</name></action>"
                          "<triplist>%3</triplist></body></kwp>")
        .arg(status, name, trips);
}

} // namespace TripFixtures
