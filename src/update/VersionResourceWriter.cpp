#include "update/VersionResourceWriter.h"

namespace
{

void pad4(QByteArray &b)
{
    while (b.size() % 4)
        b.append('\0');
}

void put16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void put32(QByteArray &b, quint32 v)
{
    put16(b, quint16(v & 0xFFFF));
    put16(b, quint16(v >> 16));
}

QByteArray utf16z(const QString &s)
{
    QByteArray b;
    for (QChar c : s)
        put16(b, c.unicode());
    put16(b, 0);
    return b;
}

// A block with its header; valueLength is in the unit of its type (characters for text, bytes otherwise).
QByteArray block(const QString &key, const QByteArray &value, quint16 valueLength, quint16 type,
                 const QList<QByteArray> &children)
{
    QByteArray b(6, '\0');
    b.append(utf16z(key));
    pad4(b);
    b.append(value);
    for (const QByteArray &child : children) {
        pad4(b);
        b.append(child);
    }
    const quint16 length = quint16(b.size());
    b[0] = char(length & 0xFF);
    b[1] = char(length >> 8);
    b[2] = char(valueLength & 0xFF);
    b[3] = char(valueLength >> 8);
    b[4] = char(type & 0xFF);
    b[5] = char(type >> 8);
    return b;
}

} // namespace

QByteArray WriteVersionResource(const VersionResourceFields &f)
{
    QByteArray fixed;
    if (f.withFixedInfo) {
        put32(fixed, 0xFEEF04BD); // signature
        put32(fixed, 0x00010000); // structure version
        put32(fixed, (quint32(f.fileVersion[0]) << 16) | f.fileVersion[1]);
        put32(fixed, (quint32(f.fileVersion[2]) << 16) | f.fileVersion[3]);
        put32(fixed, (quint32(f.productVersion[0]) << 16) | f.productVersion[1]);
        put32(fixed, (quint32(f.productVersion[2]) << 16) | f.productVersion[3]);
        put32(fixed, f.fileFlagsMask);
        put32(fixed, f.fileFlags);
        put32(fixed, f.fileOS);
        put32(fixed, f.fileType);
        put32(fixed, f.fileSubtype);
        put32(fixed, 0); // file date
        put32(fixed, 0);
    }

    QList<QByteArray> children;
    const QString key =
        QStringLiteral("%1%2").arg(f.language, 4, 16, QLatin1Char('0')).arg(f.codePage, 4, 16, QLatin1Char('0'));
    if (f.withStrings) {
        QList<QByteArray> strings;
        for (const auto &[name, value] : f.strings)
            strings.append(block(name, utf16z(value), quint16(value.size() + 1), 1, {}));
        const QByteArray table = block(key.toUpper(), {}, 0, 1, strings);
        children.append(block(QStringLiteral("StringFileInfo"), {}, 0, 1, {table}));
    }
    if (f.withTranslation) {
        QByteArray pair;
        put16(pair, f.language);
        put16(pair, f.codePage);
        const QByteArray var = block(QStringLiteral("Translation"), pair, 4, 0, {});
        children.append(block(QStringLiteral("VarFileInfo"), {}, 0, 1, {var}));
    }
    return block(QStringLiteral("VS_VERSION_INFO"), fixed, quint16(fixed.size()), 0, children);
}
