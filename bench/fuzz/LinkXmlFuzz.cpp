// libFuzzer target for the reading of service replies: the tag reader, the reply normalisation, the item walk
// and the SOAP reply reader. Any input must end in a result or in one of our errors, never in a crash or a hang.
// Checked on the way: the tag reader agrees with two separate searches, and a normalised text normalises to
// itself (line breaks aside). The child reader runs on every input too.
//
// Build and run (clang only): scripts/fuzz 60 link_xml_fuzz
#include "base/VoranoError.h"
#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/SoapEnvelope.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace
{

QString separateSearches(const QString &text, const QString &tag)
{
    const QString open = u'<' + tag + u'>';
    const qsizetype a = text.indexOf(open);
    const qsizetype b = text.indexOf(QLatin1String("</") + tag + u'>');
    if (a < 0 || b < 0 || b - a - open.size() <= 0)
        return {};
    // An empty-element form before the first opening tag makes the first element of that name empty.
    const qsizetype empty = text.indexOf(u'<' + tag + QLatin1String("/>"));
    if (!tag.isEmpty() && empty >= 0 && empty < a)
        return {};
    return text.mid(a + open.size(), b - a - open.size());
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);

    for (const QString &tag : {QStringLiteral("a"), QStringLiteral("status"), QStringLiteral("trip"), QString()})
        check(ReadXMLTag(text, tag) == separateSearches(text, tag));
    ReadXMLChild(text, QStringLiteral("id"));

    try {
        const QString normalized = NormalizeReply(text);
        // A character reference for CR comes out as a plain CR, which a parser reads back as a line feed.
        QString expected = normalized;
        expected.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
        check(NormalizeReply(normalized) == expected);
        WalkItems(ReadXMLTag(normalized, QStringLiteral("triplist")), QStringLiteral("trip"));
    } catch (const XmlParseError &) {
    }

    // With and without a charset, by the input's length: one SOAP read per run.
    try {
        ReadSoapReply(bytes, size % 2 ? QStringLiteral("text/xml; charset=utf-8") : QStringLiteral("text/xml"));
    } catch (const VoranoError &) {
    }
    return 0;
}
