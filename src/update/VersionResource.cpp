#include "update/VersionResource.h"

#include <QFile>
#include <QStringList>

#include <optional>

namespace
{

constexpr quint16 kRtVersion = 16;
constexpr char kRootKey[] = "VS_VERSION_INFO";

struct Span {
    qint64 offset = 0;
    qint64 size = 0;
};

QByteArray readAt(QFile &file, qint64 offset, qint64 size)
{
    if (offset < 0 || size < 0 || offset > file.size() || !file.seek(offset))
        return {};
    return file.read(size);
}

// Little- or big-endian unsigned fields of a byte array; out of range reads give 0 and set ok false.
class Fields
{
  public:
    Fields(const QByteArray &bytes, bool bigEndian = false)
        : m_bytes(bytes)
        , m_big(bigEndian)
    {
    }
    quint64 get(qint64 at, int width)
    {
        if (at < 0 || at + width > m_bytes.size()) {
            ok = false;
            return 0;
        }
        quint64 v = 0;
        for (int i = 0; i < width; ++i) {
            const quint64 b = static_cast<unsigned char>(m_bytes[at + i]);
            v |= b << (8 * (m_big ? width - 1 - i : i));
        }
        return v;
    }
    quint16 u16(qint64 at) { return static_cast<quint16>(get(at, 2)); }
    quint32 u32(qint64 at) { return static_cast<quint32>(get(at, 4)); }
    quint64 u64(qint64 at) { return get(at, 8); }
    bool ok = true;

  private:
    const QByteArray &m_bytes;
    bool m_big;
};

std::optional<Span> elfSection(QFile &file, const QByteArray &ident)
{
    if (ident.size() < 16)
        return std::nullopt;
    const bool wide = ident[4] == 2;
    const bool big = ident[5] == 2;
    const QByteArray header = readAt(file, 0, wide ? 64 : 52);
    Fields h(header, big);
    const quint64 shoff = wide ? h.u64(0x28) : h.u32(0x20);
    const quint16 shentsize = h.u16(wide ? 0x3A : 0x2E);
    const quint16 shnum = h.u16(wide ? 0x3C : 0x30);
    const quint16 shstrndx = h.u16(wide ? 0x3E : 0x32);
    if (!h.ok || shoff == 0 || shnum == 0 || shstrndx >= shnum || shentsize < (wide ? 64 : 40))
        return std::nullopt;
    const QByteArray table = readAt(file, static_cast<qint64>(shoff), qint64(shentsize) * shnum);
    if (table.size() != qint64(shentsize) * shnum)
        return std::nullopt;
    Fields t(table, big);
    auto sectionAt = [&](int i) {
        const qint64 base = qint64(i) * shentsize;
        Span s;
        const quint32 type = t.u32(base + 4);
        s.offset = static_cast<qint64>(wide ? t.u64(base + 0x18) : t.u32(base + 0x10));
        s.size = type == 8 /* SHT_NOBITS */ ? 0 : static_cast<qint64>(wide ? t.u64(base + 0x20) : t.u32(base + 0x14));
        return s;
    };
    const Span names = sectionAt(shstrndx);
    const QByteArray strtab = readAt(file, names.offset, names.size);
    const QByteArray wanted(kVersionSectionName);
    for (int i = 0; i < shnum; ++i) {
        const quint32 nameOffset = t.u32(qint64(i) * shentsize);
        if (nameOffset >= static_cast<quint32>(strtab.size()))
            continue;
        const qsizetype end = strtab.indexOf('\0', nameOffset);
        if (strtab.mid(nameOffset, end < 0 ? -1 : end - nameOffset) != wanted)
            continue;
        const Span s = sectionAt(i);
        if (!t.ok || s.size <= 0 || s.offset < 0 || s.offset + s.size > file.size())
            return std::nullopt;
        return s;
    }
    return std::nullopt;
}

std::optional<Span> peVersionResource(QFile &file)
{
    const QByteArray dos = readAt(file, 0, 64);
    Fields d(dos);
    const quint32 peOffset = d.u32(0x3C);
    const QByteArray head = readAt(file, peOffset, 24 + 112 + 16 * 8);
    Fields h(head);
    if (!d.ok || head.left(4) != QByteArray("PE\0\0", 4))
        return std::nullopt;
    const quint16 sectionCount = h.u16(6);
    const quint16 optionalSize = h.u16(20);
    const quint16 magic = h.u16(24);
    const qint64 dirs = magic == 0x20B ? 24 + 112 : 24 + 96;
    const quint32 dirCount = h.u32(magic == 0x20B ? 24 + 108 : 24 + 92);
    if (!h.ok || (magic != 0x10B && magic != 0x20B) || dirCount < 3)
        return std::nullopt;
    const quint32 rsrcRva = h.u32(dirs + 2 * 8);
    if (rsrcRva == 0)
        return std::nullopt;

    const QByteArray sections = readAt(file, qint64(peOffset) + 24 + optionalSize, qint64(sectionCount) * 40);
    Fields s(sections);
    auto toOffset = [&](quint32 rva, quint32 length) -> std::optional<qint64> {
        for (int i = 0; i < sectionCount; ++i) {
            const qint64 b = qint64(i) * 40;
            const quint32 va = s.u32(b + 12);
            const quint32 rawSize = s.u32(b + 16);
            const quint32 rawPtr = s.u32(b + 20);
            if (!s.ok)
                return std::nullopt;
            if (rva >= va && quint64(rva) + length <= quint64(va) + rawSize)
                return qint64(rawPtr) + (rva - va);
        }
        return std::nullopt;
    };
    const auto rsrcStart = toOffset(rsrcRva, 16);
    if (!rsrcStart)
        return std::nullopt;

    // Walk type -> name -> language, taking the RT_VERSION type and the first name and language below it.
    auto entries = [&](quint32 dirOffset, bool wantId, quint32 id) -> std::optional<quint32> {
        const QByteArray dir = readAt(file, *rsrcStart + dirOffset, 16);
        Fields f(dir);
        const int count = f.u16(12) + f.u16(14);
        if (!f.ok || count == 0)
            return std::nullopt;
        const QByteArray list = readAt(file, *rsrcStart + dirOffset + 16, qint64(count) * 8);
        Fields l(list);
        for (int i = 0; i < count; ++i) {
            const quint32 name = l.u32(qint64(i) * 8);
            const quint32 target = l.u32(qint64(i) * 8 + 4);
            if (!l.ok)
                return std::nullopt;
            if (!wantId || (!(name & 0x80000000u) && name == id))
                return target;
        }
        return std::nullopt;
    };
    auto subdir = [](std::optional<quint32> t) -> std::optional<quint32> {
        if (!t || !(*t & 0x80000000u))
            return std::nullopt;
        return *t & 0x7FFFFFFFu;
    };
    const auto names = subdir(entries(0, true, kRtVersion));
    if (!names)
        return std::nullopt;
    const auto languages = subdir(entries(*names, false, 0));
    if (!languages)
        return std::nullopt;
    const auto leaf = entries(*languages, false, 0);
    if (!leaf || (*leaf & 0x80000000u))
        return std::nullopt;
    const QByteArray entry = readAt(file, *rsrcStart + *leaf, 16);
    Fields e(entry);
    const quint32 dataRva = e.u32(0);
    const quint32 dataSize = e.u32(4);
    if (!e.ok || dataSize == 0)
        return std::nullopt;
    const auto dataOffset = toOffset(dataRva, dataSize);
    if (!dataOffset || *dataOffset + dataSize > file.size())
        return std::nullopt;
    return Span{*dataOffset, dataSize};
}

std::optional<Span> locate(QFile &file)
{
    const QByteArray ident = readAt(file, 0, 16);
    if (ident.startsWith("\x7F"
                         "ELF"))
        return elfSection(file, ident);
    if (ident.startsWith("MZ"))
        return peVersionResource(file);
    return std::nullopt;
}

qint64 align4(qint64 v)
{
    return (v + 3) & ~qint64(3);
}

// One block of the VS_VERSIONINFO tree: wLength, wValueLength, wType, key, value, children.
struct Block {
    qint64 start = 0;
    qint64 end = 0; // start + wLength
    quint16 valueLength = 0;
    quint16 type = 0;
    QString key;
    qint64 valueStart = 0;
    qint64 childrenStart = 0;
};

std::optional<Block> parseBlock(const QByteArray &buf, qint64 start, qint64 limit)
{
    Fields f(buf);
    Block b;
    b.start = start;
    const quint16 length = f.u16(start);
    b.valueLength = f.u16(start + 2);
    b.type = f.u16(start + 4);
    if (!f.ok || length < 6 || start + length > limit)
        return std::nullopt;
    b.end = start + length;
    qint64 at = start + 6;
    while (true) {
        const quint16 c = f.u16(at);
        if (!f.ok || at + 2 > b.end)
            return std::nullopt;
        at += 2;
        if (c == 0)
            break;
        b.key.append(QChar(c));
    }
    b.valueStart = align4(at);
    const qint64 valueBytes = b.type == 1 ? qint64(b.valueLength) * 2 : b.valueLength;
    b.childrenStart = align4(qMin(b.valueStart + valueBytes, b.end));
    return b;
}

VersionBlock valueOf(const QByteArray &buf, const Block &b)
{
    VersionBlock v;
    v.text = b.type == 1;
    if (b.valueStart >= b.end)
        return v;
    if (v.text) {
        // The string ends at its zero; wValueLength is not to be trusted for its unit.
        qint64 at = b.valueStart;
        while (at + 2 <= b.end && (buf[at] != 0 || buf[at + 1] != 0))
            at += 2;
        v.value = buf.mid(b.valueStart, at - b.valueStart);
    } else {
        v.value = buf.mid(b.valueStart, qMin<qint64>(b.valueLength, b.end - b.valueStart));
    }
    return v;
}

} // namespace

QString VersionBlock::string() const
{
    return QString(reinterpret_cast<const QChar *>(value.constData()), value.size() / 2);
}

qint64 GetFileVersionInfoSize(const QString &fileName)
{
    if (fileName.isEmpty())
        return 0;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const auto span = locate(file);
    return span ? span->size : 0;
}

bool GetFileVersionInfo(const QString &fileName, qint64 size, QByteArray &buffer)
{
    if (fileName.isEmpty() || size <= 0)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const auto span = locate(file);
    if (!span)
        return false;
    QByteArray bytes = readAt(file, span->offset, qMin(size, span->size));
    if (bytes.size() != qMin(size, span->size))
        return false;
    const auto root = parseBlock(bytes, 0, bytes.size());
    if (!root || root->key != QLatin1String(kRootKey))
        return false;
    buffer = bytes;
    return true;
}

bool VerQueryValue(const QByteArray &buffer, const QString &path, VersionBlock &block)
{
    auto current = parseBlock(buffer, 0, buffer.size());
    if (!current)
        return false;
    const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        if (current->valueLength == 0)
            return false;
        block = valueOf(buffer, *current);
        return true;
    }
    for (const QString &part : parts) {
        std::optional<Block> found;
        for (qint64 at = current->childrenStart; at + 6 <= current->end;) {
            const auto child = parseBlock(buffer, at, current->end);
            if (!child)
                break;
            if (child->key.compare(part, Qt::CaseInsensitive) == 0) {
                found = child;
                break;
            }
            at = align4(child->end);
        }
        if (!found)
            return false;
        current = found;
    }
    block = valueOf(buffer, *current);
    return true;
}
