#include "base/VoranoError.h"
#include "link/KwpDocument.h"
#include "link/SoapEnvelope.h"

#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace
{

const QString kCorpus = QStringLiteral(VORANO_SOURCE_DIR "/bench/fuzz/corpus/");
const QString kTooDeep =
    QStringLiteral("Het antwoord is dieper genest dan 256 niveaus (regel %1) en wordt niet gelezen");

QByteArray seed(const QString &path)
{
    QFile file(kCorpus + path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A SOAP seed: its first line is the Content-Type, the rest the body. Empty when it reads, else the error.
QString readSoapSeed(const QByteArray &input)
{
    const qsizetype newline = input.indexOf('\n');
    try {
        ReadSoapReply(input.mid(newline + 1), QString::fromLatin1(input.left(newline)));
    } catch (const VoranoError &e) {
        return e.message();
    }
    return {};
}

QString normalizeSeed(const QByteArray &input)
{
    try {
        NormalizeReply(QString::fromUtf8(input));
    } catch (const VoranoError &e) {
        return e.message();
    }
    return {};
}

// The kept inputs of the reply readers' fuzz targets, each shape of a hostile reply among them, come out as they
// should: nested to the depth limit, one long text, many small elements and the most attributes allowed are read;
// one level deeper is refused with its line.
TEST(ReplySeeds, TheKeptShapesAreReadOrRefusedAsTheyShould)
{
    const struct {
        const char *path;
        QString outcome;
    } cases[] = {
        {"soap_reply_fuzz/nested-at-limit", {}},
        {"soap_reply_fuzz/flat-text", {}},
        {"soap_reply_fuzz/small-elements", {}},
        {"soap_reply_fuzz/attributes-at-limit", {}},
        {"soap_reply_fuzz/envelope-too-deep", kTooDeep.arg(1)},
        {"soap_reply_fuzz/deep-nesting", kTooDeep.arg(1)},
        {"link_xml_fuzz/nested-at-limit", {}},
        {"link_xml_fuzz/flat-text", {}},
        {"link_xml_fuzz/small-elements", {}},
        {"link_xml_fuzz/attributes-at-limit", {}},
        {"link_xml_fuzz/too-deep", kTooDeep.arg(2)},
        {"link_xml_fuzz/deep", kTooDeep.arg(1)},
    };
    for (const auto &c : cases) {
        const QByteArray input = seed(QLatin1String(c.path));
        ASSERT_FALSE(input.isEmpty()) << c.path;
        const bool soap = QLatin1String(c.path).startsWith(QLatin1String("soap"));
        EXPECT_EQ(soap ? readSoapSeed(input) : normalizeSeed(input), c.outcome) << c.path;
    }
}

// Every other kept input ends in a text or in one of our errors.
TEST(ReplySeeds, EveryKeptInputEndsInATextOrOurError)
{
    for (const QString &target : {QStringLiteral("soap_reply_fuzz"), QStringLiteral("link_xml_fuzz")}) {
        const QStringList names = QDir(kCorpus + target).entryList(QDir::Files);
        ASSERT_FALSE(names.isEmpty()) << target.toStdString();
        for (const QString &name : names) {
            const QByteArray input = seed(target + u'/' + name);
            EXPECT_NO_THROW(target.startsWith(u's') ? readSoapSeed(input) : normalizeSeed(input)) << name.toStdString();
        }
    }
}

} // namespace
