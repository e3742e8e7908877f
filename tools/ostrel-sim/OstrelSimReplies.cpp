// The texts the simulator sends: kwp replies, the trip generator and the Axis-style envelopes.
#include "OstrelSim.h"

#include <array>

namespace {

constexpr const char *kEnvelopeStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><soapenv:Envelope "
    "xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>";
constexpr const char *kEnvelopeEnd = "</soapenv:Body></soapenv:Envelope>";
constexpr const char *kResponseStart =
    "<ns1:xmlRequestResponse soapenv:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xmlns:ns1=\"http://_external\">";
constexpr const char *kResponseEnd = "</ns1:xmlRequestResponse>";

QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString replyHead(const QString &version, const QString &action, const QString &status)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kwp version=\"%1\">\n\t<body>\n\t\t<action>\n"
                          "\t\t\t<name>%2</name>\n\t\t\t<status>%3</status>\n")
        .arg(version, action, status);
}

constexpr const char *kReplyTail = "\t\t</action>\n\t</body>\n</kwp>\n";

struct NamedId {
    int id;
    const char *name;
};

constexpr std::array<NamedId, 5> kVehicleTypes{
    {{1, "Taxi"}, {2, "Rolstoelbus"}, {3, "Personenbus"}, {4, "Luxe wagen"}, {5, "Stationwagen"}}};
constexpr std::array<NamedId, 4> kIndications{
    {{1, "Begeleiding nodig"}, {2, "Voorin zitten"}, {3, "Blindengeleidehond"}, {4, "Deur-tot-deur"}}};
constexpr std::array<NamedId, 4> kEquipments{
    {{1, "Rolstoel"}, {2, "Rollator"}, {3, "Scootmobiel"}, {4, "Opvouwbare rolstoel"}}};
constexpr std::array<NamedId, 4> kProducts{
    {{1, "WMO vervoer"}, {2, "Leerlingenvervoer"}, {3, "Zittend ziekenvervoer"}, {4, "Valys & regiotaxi"}}};

struct Place {
    const char *name;
    const char *street;
    const char *zip;
    const char *city;
};

constexpr std::array<Place, 6> kPlaces{{
    {"Station Centraal", "Stationsplein", "3511 CE", "Utrecht"},
    {"Ziekenhuis 't Zuiden", "Ziekenhuisweg", "3582 KE", "Utrecht"},
    {"Zorgcentrum De Linde", "Lindelaan", "3431 BX", "Nieuwegein"},
    {"", "Dorpsstraat", "3732 HJ", "De Bilt"},
    {"Revalidatiecentrum", "Rijnlaan", "3522 BN", "Utrecht"},
    {"Gemeentehuis", "Markt", "3401 DA", "IJsselstein"},
}};

constexpr std::array<const char *, 6> kLastNames{"Jansen",      "de Vries",     "O'Brien",
                                                 "Bakker & Zn", "van den Berg", "Smit"};
constexpr std::array<const char *, 6> kFirstNames{"Piet", "Anna", "Sean", "Joke", "Mohammed", "Els"};

QString stamp(const QDateTime &at)
{
    return at.toString(QStringLiteral("yyyyMMddHHmm"));
}

void appendTrip(QString &out, const OstrelSim::TripGeneration &g, int i)
{
    const int id = g.firstId + i;
    QString action = g.action;
    if (action.isEmpty()) {
        if (g.deleteEvery > 0 && (i + 1) % g.deleteEvery == 0)
            action = QStringLiteral("DELETE");
        else if (g.updateEvery > 0 && (i + 1) % g.updateEvery == 0)
            action = QStringLiteral("UPDATE");
        else
            action = QStringLiteral("INSERT");
    }
    const Place &from = kPlaces[std::size_t(i) % kPlaces.size()];
    const Place &to = kPlaces[std::size_t(i + 2) % kPlaces.size()];
    const NamedId &vehicle = kVehicleTypes[std::size_t(i) % kVehicleTypes.size()];
    const NamedId &equipment = kEquipments[std::size_t(i) % kEquipments.size()];
    const NamedId &indication = kIndications[std::size_t(i) % kIndications.size()];
    const QDateTime pickUp = g.start.addSecs(qint64(i) * 900);
    const QDateTime arrival = pickUp.addSecs(1800);
    const bool wheelchair = vehicle.id == 2;
    const QString t3 = QStringLiteral("\t\t\t\t\t");
    const QString t4 = t3 + u'\t';
    const QString t5 = t4 + u'\t';
    const QString t6 = t5 + u'\t';
    auto element = [&out](const QString &indent, const char *name, const QString &value) {
        out += indent;
        out += u'<';
        out += QLatin1String(name);
        if (value.isEmpty()) {
            out += QLatin1String("/>\n");
            return;
        }
        out += u'>';
        out += escaped(value);
        out += QLatin1String("</");
        out += QLatin1String(name);
        out += QLatin1String(">\n");
    };
    auto number = [](int n) { return QString::number(n); };

    out += QLatin1String("\t\t\t\t<trip>\n");
    element(t3, "id", number(id));
    element(t3, "tripaction", action);
    out += t3 + QLatin1String("<client>\n");
    element(t4, "id", number(500000 + i % 977));
    element(t4, "lastname", QString::fromUtf8(kLastNames[std::size_t(i) % kLastNames.size()]));
    element(t4, "firstname", QString::fromUtf8(kFirstNames[std::size_t(i) % kFirstNames.size()]));
    element(t4, "mobile", QStringLiteral("06%1").arg(10000000 + i % 89999999));
    element(t4, "phone", QStringLiteral("030%1").arg(1000000 + i % 8999999));
    element(t4, "callbacknumber", QStringLiteral("06%1").arg(20000000 + i % 79999999));
    element(t4, "comment", i % 3 == 0 ? QStringLiteral("Graag even aanbellen, \"achterdeur\"") : QString());
    element(t4, "number", QStringLiteral("PAS%1").arg(700000 + i % 977));
    element(t4, "combination", number(i % 4 == 0 ? 1 : 0));
    out += t4 + QLatin1String("<extrafields>\n");
    out += t5 + QLatin1String("<extrafield>\n");
    element(t6, "id", QStringLiteral("7"));
    element(t6, "name", QStringLiteral("Indicatienummer"));
    element(t6, "value", QStringLiteral("IND-%1").arg(i));
    out += t5 + QLatin1String("</extrafield>\n");
    out += t4 + QLatin1String("</extrafields>\n");
    out += t3 + QLatin1String("</client>\n");
    out += t3 + QLatin1String("<vehicletype>\n");
    element(t4, "id", number(vehicle.id));
    element(t4, "name", QString::fromUtf8(vehicle.name));
    out += t3 + QLatin1String("</vehicletype>\n");
    element(t3, "tripexternalcomment",
            QStringLiteral("Rit %1: retour om %2").arg(id).arg(arrival.toString(QStringLiteral("HH:mm"))));
    element(t3, "triptypeid", number(1 + i % 5));
    element(t3, "timeanchor", number(i % 3));
    element(t3, "wheelchair", number(wheelchair ? 1 : 0));
    out += t3 + QLatin1String("<vialocations>\n");
    if (i % 5 == 0) {
        const Place &via = kPlaces[std::size_t(i + 4) % kPlaces.size()];
        out += t4 + QLatin1String("<vialocation>\n");
        element(t5, "name", QString::fromUtf8(via.name));
        element(t5, "street", QString::fromUtf8(via.street));
        element(t5, "number", number(1 + i % 120));
        element(t5, "numberExtraInformation", QStringLiteral("b"));
        element(t5, "zip", QString::fromUtf8(via.zip));
        element(t5, "city", QString::fromUtf8(via.city));
        element(t5, "countrycode", QStringLiteral("NL"));
        element(t5, "sequence", QStringLiteral("1"));
        out += t4 + QLatin1String("</vialocation>\n");
    }
    out += t3 + QLatin1String("</vialocations>\n");
    out += t3 + QLatin1String("<accessibilityequipments>\n");
    out += t4 + QLatin1String("<accessibilityequipment>\n");
    element(t5, "id", number(equipment.id));
    element(t5, "name", QString::fromUtf8(equipment.name));
    element(t5, "amount", QStringLiteral("1"));
    out += t4 + QLatin1String("</accessibilityequipment>\n");
    out += t3 + QLatin1String("</accessibilityequipments>\n");
    out += t3 + QLatin1String("<clientindications>\n");
    out += t4 + QLatin1String("<clientindication>\n");
    element(t5, "id", number(indication.id));
    element(t5, "name", QString::fromUtf8(indication.name));
    out += t4 + QLatin1String("</clientindication>\n");
    out += t3 + QLatin1String("</clientindications>\n");
    out += t3 + QLatin1String("<extrafields>\n");
    out += t4 + QLatin1String("<extrafield>\n");
    element(t5, "id", QStringLiteral("12"));
    element(t5, "name", QStringLiteral("Kostenplaats"));
    element(t5, "value", QStringLiteral("KP%1").arg(i % 40));
    out += t4 + QLatin1String("</extrafield>\n");
    out += t3 + QLatin1String("</extrafields>\n");
    element(t3, "numberofzones", number(1 + i % 9));
    element(t3, "fromname", QString::fromUtf8(from.name));
    element(t3, "destinationname", QString::fromUtf8(to.name));
    element(t3, "passengers", number(1 + i % 3));
    element(t3, "eb", number(250 + (i % 20) * 25));
    element(t3, "price", number(1250 + (i % 50) * 10));
    element(t3, "distance", number(2500 + (i % 300) * 37));
    element(t3, "fromdatetime", stamp(pickUp));
    element(t3, "destinationdatetime", stamp(arrival));
    element(t3, "fromstreet", QString::fromUtf8(from.street));
    element(t3, "fromnumber", number(1 + i % 200));
    element(t3, "fromnumberextrainformation", i % 7 == 0 ? QStringLiteral("bis") : QString());
    element(t3, "fromzip", QString::fromUtf8(from.zip));
    element(t3, "fromcity", QString::fromUtf8(from.city));
    element(t3, "destinationstreet", QString::fromUtf8(to.street));
    element(t3, "destinationnumber", number(1 + (i * 7) % 200));
    element(t3, "destinationnumberextraInformation", i % 11 == 0 ? QStringLiteral("A") : QString());
    element(t3, "destinationzip", QString::fromUtf8(to.zip));
    element(t3, "destinationcity", QString::fromUtf8(to.city));
    element(t3, "productid", number(1 + i % int(kProducts.size())));
    out += QLatin1String("\t\t\t\t</trip>\n");
}

template <std::size_t N>
QString listReply(const QString &action, const char *container, const char *item, const std::array<NamedId, N> &list)
{
    QString out = replyHead(QStringLiteral("1.0"), action, QStringLiteral("200"));
    out += QStringLiteral("\t\t\t<%1>\n").arg(QLatin1String(container));
    for (const NamedId &entry : list) {
        out += QStringLiteral("\t\t\t\t<%1>\n\t\t\t\t\t<id>%2</id>\n\t\t\t\t\t<name>%3</name>\n\t\t\t\t</%1>\n")
                   .arg(QLatin1String(item))
                   .arg(entry.id)
                   .arg(escaped(QString::fromUtf8(entry.name)));
    }
    out += QStringLiteral("\t\t\t</%1>\n").arg(QLatin1String(container));
    out += QLatin1String(kReplyTail);
    return out;
}

} // namespace

QString OstrelSim::retrieveTripsReply(const TripGeneration &generation)
{
    QString out = replyHead(QStringLiteral("3.8"), QStringLiteral("RetrieveTrips"), QStringLiteral("200"));
    out.reserve(out.size() + qsizetype(generation.count) * 2400 + 64);
    if (generation.count <= 0) {
        out += QLatin1String("\t\t\t<triplist/>\n");
    } else {
        out += QLatin1String("\t\t\t<triplist>\n");
        for (int i = 0; i < generation.count; ++i)
            appendTrip(out, generation, i);
        out += QLatin1String("\t\t\t</triplist>\n");
    }
    out += QLatin1String(kReplyTail);
    return out;
}

QString OstrelSim::acceptedReply(const QString &action)
{
    return statusReply(action, QStringLiteral("200"));
}

QString OstrelSim::statusReply(const QString &action, const QString &status)
{
    return replyHead(QStringLiteral("1.0"), action, status) + QLatin1String(kReplyTail);
}

QString OstrelSim::referenceListReply(const QString &action)
{
    if (action == QLatin1String("RetrieveVehicleTypes"))
        return listReply(action, "vehicletypes", "vehicletype", kVehicleTypes);
    if (action == QLatin1String("RetrieveIndications"))
        return listReply(action, "indications", "indication", kIndications);
    if (action == QLatin1String("RetrieveAccessibilityEquipments"))
        return listReply(action, "accessibilityequipments", "accessibilityequipment", kEquipments);
    if (action == QLatin1String("RetrieveProducts"))
        return listReply(action, "products", "product", kProducts);
    return {};
}

QByteArray OstrelSim::responseEnvelope(const QString &kwp)
{
    QString out = QLatin1String(kEnvelopeStart) + QLatin1String(kResponseStart);
    out += QLatin1String("<xmlRequestReturn xsi:type=\"xsd:string\">");
    out += escaped(kwp);
    out += QLatin1String("</xmlRequestReturn>");
    out += QLatin1String(kResponseEnd) + QLatin1String(kEnvelopeEnd);
    return out.toUtf8();
}

QByteArray OstrelSim::nilEnvelope()
{
    return (QLatin1String(kEnvelopeStart) + QLatin1String(kResponseStart) +
            QLatin1String("<xmlRequestReturn xsi:type=\"xsd:string\" xsi:nil=\"true\"/>") +
            QLatin1String(kResponseEnd) + QLatin1String(kEnvelopeEnd))
        .toUtf8();
}

QByteArray OstrelSim::faultEnvelope(const QString &faultString, bool cfcDetail)
{
    QString out = QLatin1String(kEnvelopeStart);
    out += QLatin1String("<soapenv:Fault><faultcode>soapenv:Server.userException</faultcode><faultstring>");
    out += escaped(faultString);
    out += QLatin1String("</faultstring><detail>");
    if (cfcDetail)
        out += QLatin1String("<ns1:CFCInvocationException xmlns:ns1=\"http://rpc.xml.coldfusion\"/>");
    out += QLatin1String("<ns2:hostname xmlns:ns2=\"http://xml.apache.org/axis/\">ostrel-sim</ns2:hostname>");
    out += QLatin1String("</detail></soapenv:Fault>");
    out += QLatin1String(kEnvelopeEnd);
    return out.toUtf8();
}
