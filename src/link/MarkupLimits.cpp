#include "link/MarkupLimits.h"

#include "base/VoranoError.h"

namespace
{

constexpr const char *kTooManyOnOneElement =
    "Het antwoord heeft een element met meer dan %1 attributen (regel %2) en wordt niet gelezen";
constexpr const char *kTooManyInAll = "Het antwoord heeft meer dan %1 attributen (regel %2) en wordt niet gelezen";
constexpr const char *kTooDeep = "Het antwoord is dieper genest dan %1 niveaus (regel %2) en wordt niet gelezen";

// One pass over the units of a text. Units is anything with size() and at(i) giving a code point or code unit;
// only the ASCII characters of markup are compared, so a unit beyond ASCII is simply text.
template <typename Units> class Counter
{
  public:
    explicit Counter(const Units &units)
        : m_u(units)
        , m_n(units.size())
    {
    }

    void run()
    {
        while (m_i < m_n) {
            if (next() != '<')
                continue;
            if (startsWith("!--"))
                skipPast("-->");
            else if (startsWith("![CDATA["))
                skipPast("]]>");
            else if (startsWith("!DOCTYPE"))
                docType();
            else if (startsWith("?"))
                skipPast("?>");
            else if (startsWith("/"))
                endTag();
            else if (startsWith("!"))
                skipTag(nullptr);
            else
                startTag();
        }
    }

  private:
    char32_t next()
    {
        const char32_t c = m_u.at(m_i++);
        if (c == '\n')
            ++m_line;
        return c;
    }

    bool startsWith(const char *s) const
    {
        qsizetype i = m_i;
        for (; *s; ++s, ++i)
            if (i >= m_n || m_u.at(i) != char32_t(uchar(*s)))
                return false;
        return true;
    }

    void skipPast(const char *end)
    {
        while (m_i < m_n && !startsWith(end))
            next();
        for (; *end && m_i < m_n; ++end)
            next();
    }

    void skipQuoted(char32_t quote)
    {
        while (m_i < m_n && next() != quote) {
        }
    }

    // Up to the end of a tag or declaration, over quoted values; every quoted value counts when literals is given.
    void skipTag(int *literals)
    {
        while (m_i < m_n) {
            const char32_t c = next();
            if (c == '>')
                return;
            if (c == '"' || c == '\'') {
                skipQuoted(c);
                if (literals)
                    ++*literals;
            }
        }
    }

    void startTag()
    {
        int own = 0;
        char32_t last = 0;
        while (m_i < m_n) {
            const char32_t c = next();
            if (c == '>') {
                // An element written as <x/> opens nothing.
                if (last != '/' && ++m_depth > kMaxDepth)
                    throw XmlParseError(QString::fromLatin1(kTooDeep).arg(kMaxDepth).arg(m_line));
                return;
            }
            if (c == '"' || c == '\'') {
                skipQuoted(c);
            } else if (c == '=') {
                ++own;
                count(1, own + m_declared);
            }
            last = c;
        }
    }

    void endTag()
    {
        skipTag(nullptr);
        if (m_depth > 0)
            --m_depth;
    }

    // A document type: in its internal subset each quoted value of an attribute-list declaration is a default
    // that the reader adds to the elements it names.
    void docType()
    {
        while (m_i < m_n) {
            const char32_t c = next();
            if (c == '>')
                return;
            if (c == '"' || c == '\'')
                skipQuoted(c);
            else if (c == '[')
                break;
        }
        while (m_i < m_n) {
            const char32_t c = next();
            if (c == ']') {
                skipTag(nullptr);
                return;
            }
            if (c != '<')
                continue;
            if (startsWith("!--")) {
                skipPast("-->");
            } else if (startsWith("?")) {
                skipPast("?>");
            } else if (startsWith("!ATTLIST")) {
                int defaults = 0;
                skipTag(&defaults);
                m_declared += defaults;
                count(defaults, m_declared);
            } else {
                skipTag(nullptr);
            }
        }
    }

    void count(int more, int onOneElement)
    {
        m_total += more;
        if (onOneElement > kMaxAttributesPerElement)
            throw XmlParseError(QString::fromLatin1(kTooManyOnOneElement).arg(kMaxAttributesPerElement).arg(m_line));
        if (m_total > kMaxAttributes)
            throw XmlParseError(QString::fromLatin1(kTooManyInAll).arg(kMaxAttributes).arg(m_line));
    }

    const Units &m_u;
    const qsizetype m_n;
    qsizetype m_i = 0;
    qint64 m_line = 1;
    qint64 m_total = 0;
    int m_declared = 0;
    int m_depth = 0;
};

struct StringUnits {
    QStringView text;
    qsizetype size() const { return text.size(); }
    char32_t at(qsizetype i) const { return text.at(i).unicode(); }
};

struct ByteUnits {
    QByteArrayView bytes;
    int width = 1; // 1, 2 or 4 bytes a unit
    bool bigEndian = false;
    qsizetype size() const { return bytes.size() / width; }
    char32_t at(qsizetype i) const
    {
        char32_t c = 0;
        for (int k = 0; k < width; ++k) {
            const char32_t b = uchar(bytes.at(i * width + (bigEndian ? k : width - 1 - k)));
            c = (c << 8) | b;
        }
        return c;
    }
};

bool startsWithBytes(QByteArrayView bytes, QByteArrayView prefix)
{
    return bytes.size() >= prefix.size() && bytes.first(prefix.size()) == prefix;
}

// The unit width and byte order of a body: by its byte-order mark, else by the charset, else by where the zero
// bytes of the first character "<" stand.
ByteUnits unitsOf(QByteArrayView bytes, const QString &charset)
{
    ByteUnits u{bytes};
    if (startsWithBytes(bytes, QByteArrayView("\xFF\xFE\x00\x00", 4)) ||
        startsWithBytes(bytes, QByteArrayView("<\x00\x00\x00", 4))) {
        u.width = 4;
    } else if (startsWithBytes(bytes, QByteArrayView("\x00\x00\xFE\xFF", 4)) ||
               startsWithBytes(bytes, QByteArrayView("\x00\x00\x00<", 4))) {
        u.width = 4;
        u.bigEndian = true;
    } else if (startsWithBytes(bytes, "\xFF\xFE") || startsWithBytes(bytes, QByteArrayView("<\x00", 2))) {
        u.width = 2;
    } else if (startsWithBytes(bytes, "\xFE\xFF") || startsWithBytes(bytes, QByteArrayView("\x00<", 2))) {
        u.width = 2;
        u.bigEndian = true;
    } else {
        const QString name = charset.toLower().remove(u'-').remove(u'_');
        if (name.startsWith(QLatin1String("utf16")) || name.startsWith(QLatin1String("ucs2"))) {
            u.width = 2;
            u.bigEndian = !name.endsWith(QLatin1String("le"));
        } else if (name.startsWith(QLatin1String("utf32")) || name.startsWith(QLatin1String("ucs4"))) {
            u.width = 4;
            u.bigEndian = !name.endsWith(QLatin1String("le"));
        }
    }
    return u;
}

} // namespace

void CheckMarkupLimits(QStringView text)
{
    const StringUnits units{text};
    Counter<StringUnits>(units).run();
}

void CheckMarkupLimits(QByteArrayView bytes, const QString &charset)
{
    const ByteUnits units = unitsOf(bytes, charset);
    Counter<ByteUnits>(units).run();
}
