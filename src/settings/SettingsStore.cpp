#include "settings/SettingsStore.h"

#include "base/CheckedFileWrite.h"
#include "base/LogLevel.h"
#include "base/VoranoError.h"
#include "settings/SettingsXml.h"

#include <QDir>
#include <QFile>

#include <array>
#include <cstdio>
#include <vector>

namespace
{

const QString kRoot = QStringLiteral("Configuration");
const QString kForm = QStringLiteral("Hoofdscherm");
const QString kFormVersion = QStringLiteral("FormVersion");
const QString kFlags = QStringLiteral("Flags");
const QString kPixelsPerInch = QStringLiteral("PixelsPerInch");
const QString kMinMaxPos = QStringLiteral("MinMaxPos");
const QString kNormPos = QStringLiteral("NormPos");
const QString kCount = QStringLiteral("Count");
const QString kItem = QStringLiteral("Item");

// A memo list longer than this in a file is taken as damage, not as lines to create.
constexpr qsizetype kMaxMemoLines = 1000000;

std::optional<int> wholeNumber(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

// Four whole numbers joined by ",".
std::optional<std::array<int, 4>> fourNumbers(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    std::array<int, 4> values{};
    for (int i = 0; i < 4; ++i) {
        const auto v = wholeNumber(parts.at(i));
        if (!v)
            return std::nullopt;
        values[size_t(i)] = *v;
    }
    return values;
}

QString joinNumbers(std::initializer_list<int> values)
{
    QStringList parts;
    for (int v : values)
        parts << QString::number(v);
    return parts.join(QLatin1Char(','));
}

void printError(const QString &text)
{
    const QByteArray bytes = StandardErrorLines(text.toLocal8Bit() + '\n', LogLevel::Error, StandardErrorIsJournal());
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

// The index of an element named "Item" and a whole number written without sign or leading zeros.
std::optional<qsizetype> itemIndex(const QString &tag)
{
    if (!tag.startsWith(kItem) || tag.size() == kItem.size() || tag.size() > kItem.size() + 9)
        return std::nullopt;
    qsizetype index = 0;
    for (qsizetype i = kItem.size(); i < tag.size(); ++i) {
        const char16_t c = tag.at(i).unicode();
        if (c < u'0' || c > u'9' || (c == u'0' && i == kItem.size() && tag.size() > kItem.size() + 1))
            return std::nullopt;
        index = index * 10 + (c - u'0');
    }
    return index;
}

// The lines of a memo element: the items 0 up to Count minus 1, a missing item as an empty line. Count reaches no
// further than the last item present, so a damaged Count cannot make up lines. One pass over the items.
std::optional<QStringList> readLines(const QDomElement &list)
{
    const auto count = wholeNumber(SettingsText(list.firstChildElement(kCount)));
    if (!count || *count < 0)
        return std::nullopt;
    std::vector<QDomElement> items;
    for (QDomElement e = list.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        const auto index = itemIndex(e.tagName());
        if (!index || *index >= *count || *index >= kMaxMemoLines)
            continue;
        if (size_t(*index) >= items.size())
            items.resize(size_t(*index) + 1);
        if (items[size_t(*index)].isNull())
            items[size_t(*index)] = e;
    }
    QStringList lines;
    lines.reserve(qsizetype(items.size()));
    for (const QDomElement &e : items)
        lines << (e.isNull() ? QString() : SettingsText(e));
    return lines;
}

} // namespace

std::optional<bool> ReadCheckBoxText(const QString &text)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("TRUE") || t == QLatin1String("YES") || t == QLatin1String("Y"))
        return true;
    if (t == QLatin1String("FALSE") || t == QLatin1String("NO") || t == QLatin1String("N"))
        return false;
    bool ok = false;
    const qlonglong number = t.toLongLong(&ok);
    if (ok)
        return number != 0;
    return std::nullopt;
}

SettingsStore::SettingsStore(QString filePath, SettingsFile which)
    : m_filePath(std::move(filePath))
    , m_which(which)
{
}

void SettingsStore::load()
{
    if (KindAt(m_filePath) == PathKind::Missing) {
        m_doc = QDomDocument();
        m_declaration.clear();
        m_onDisk.reset();
        return;
    }
    // A link or a FIFO in the file's place is refused: a FIFO would hold the start, a reload and the stop.
    QFile file;
    QString reason;
    if (!OpenRegularFile(file, m_filePath, FileOpening::Read, reason))
        throw FileError(QStringLiteral("Kan bestand %1 niet lezen: %2.").arg(m_filePath, reason));
    const QByteArray bytes = file.readAll();
    loadFrom(bytes);
    m_onDisk = bytes;
}

bool SettingsStore::changedOnDisk() const
{
    if (KindAt(m_filePath) == PathKind::Missing)
        return false; // nothing there to lose
    if (!m_onDisk)
        return true; // made by someone else since
    QFile file;
    QString reason;
    if (!OpenRegularFile(file, m_filePath, FileOpening::Read, reason))
        return false; // the write will say why it cannot write either
    return file.readAll() != *m_onDisk;
}

void SettingsStore::loadFrom(const QByteArray &bytes)
{
    ParsedSettingsXml parsed = ParseSettingsXml(bytes, QDir::toNativeSeparators(m_filePath));
    m_doc = parsed.document;
    m_declaration = parsed.declaration;
}

QDomElement SettingsStore::child(QDomElement parent, const QString &name, bool create)
{
    QDomElement e = parent.firstChildElement(name);
    if (e.isNull() && create)
        e = parent.appendChild(m_doc.createElement(name)).toElement();
    return e;
}

QDomElement SettingsStore::formElement(bool create)
{
    QDomElement root = m_doc.documentElement();
    if (root.isNull()) {
        if (!create)
            return {};
        root = m_doc.appendChild(m_doc.createElement(kRoot)).toElement();
    }
    return child(root, kForm, create);
}

void SettingsStore::setValue(QDomElement parent, const QString &name, const QString &value)
{
    setElementText(child(parent, name, true), value);
}

void SettingsStore::setElementText(QDomElement e, const QString &value)
{
    while (!e.firstChild().isNull())
        e.removeChild(e.firstChild());
    if (!value.isEmpty())
        e.appendChild(m_doc.createTextNode(value));
}

void SettingsStore::saveLines(QDomElement parent, const QString &name, const QStringList &lines)
{
    QDomElement list = child(parent, name, true);
    // One pass over the list: items beyond the new count go, the first element of every other index is updated
    // where it stands, missing ones are added at the end.
    std::vector<QDomElement> items(size_t(lines.size()));
    QDomElement count;
    for (QDomElement e = list.firstChildElement(); !e.isNull();) {
        const QDomElement next = e.nextSiblingElement();
        if (const auto index = itemIndex(e.tagName())) {
            if (*index >= lines.size())
                list.removeChild(e);
            else if (items[size_t(*index)].isNull())
                items[size_t(*index)] = e;
        } else if (count.isNull() && e.tagName() == kCount) {
            count = e;
        }
        e = next;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QDomElement &item = items[size_t(i)];
        if (item.isNull())
            item = list.appendChild(m_doc.createElement(kItem + QString::number(i))).toElement();
        setElementText(item, lines.at(i));
    }
    if (count.isNull())
        count = list.appendChild(m_doc.createElement(kCount)).toElement();
    setElementText(count, QString::number(lines.size()));
}

void SettingsStore::save(const Controls &controls, const PlacementTarget *window)
{
    QDomElement form = formElement(true);
    setValue(form, kFormVersion, QStringLiteral("0"));
    if (m_which == SettingsFile::Main && window) {
        const WindowPlacement p = window->placement();
        setValue(form, kFlags, QString::number(p.flags));
        setValue(form, kPixelsPerInch, QString::number(window->pixelsPerInch()));
        setValue(form, kMinMaxPos, joinNumbers({p.minX, p.minY, p.maxX, p.maxY}));
        setValue(form, kNormPos, joinNumbers({p.left, p.top, p.right, p.bottom}));
    }
    for (const ControlInfo &info : allControls()) {
        if (info.file != m_which)
            continue;
        const QString name = settingsElementName(info.id);
        switch (info.kind) {
        case ControlKind::Edit:
            setValue(form, name, controls.text(info.id));
            break;
        case ControlKind::CheckBox:
            setValue(form, name, controls.checked(info.id) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
            break;
        case ControlKind::Memo:
            saveLines(form, name, controls.lines(info.id));
            break;
        }
    }
}

bool SettingsStore::apply(Controls &controls, PlacementTarget *window)
{
    const QDomElement form = formElement(false);
    if (form.isNull())
        return true;
    const QDomElement version = form.firstChildElement(kFormVersion);
    if (!version.isNull()) {
        const auto v = wholeNumber(SettingsText(version));
        if (!v || *v < 0)
            return false;
    }
    for (const ControlInfo &info : allControls()) {
        if (info.file != m_which)
            continue;
        const QDomElement e = form.firstChildElement(settingsElementName(info.id));
        if (e.isNull())
            continue;
        switch (info.kind) {
        case ControlKind::Edit:
            controls.setText(info.id, SettingsText(e));
            break;
        case ControlKind::CheckBox:
            if (const auto on = ReadCheckBoxText(SettingsText(e)))
                controls.setChecked(info.id, *on);
            break;
        case ControlKind::Memo:
            if (const auto lines = readLines(e))
                controls.setLines(info.id, *lines);
            break;
        }
    }
    if (m_which == SettingsFile::Main && window)
        applyPlacement(form, *window);
    return true;
}

void SettingsStore::applyPlacement(const QDomElement &form, PlacementTarget &window) const
{
    const QDomElement minMax = form.firstChildElement(kMinMaxPos);
    const QDomElement norm = form.firstChildElement(kNormPos);
    if (minMax.isNull() && norm.isNull())
        return;
    const auto ppi = wholeNumber(SettingsText(form.firstChildElement(kPixelsPerInch)));
    if (!ppi || *ppi != window.pixelsPerInch())
        return;
    WindowPlacement p = window.placement();
    if (const auto mm = fourNumbers(SettingsText(minMax))) {
        p.maxX = (*mm)[2];
        p.maxY = (*mm)[3];
    }
    if (const auto n = fourNumbers(SettingsText(norm))) {
        const int width = (*n)[2] - (*n)[0];
        const int height = (*n)[3] - (*n)[1];
        p.right = p.left + width;
        p.bottom = p.top + height;
    }
    window.setPlacement(p);
}

QByteArray SettingsStore::serialize() const
{
    return WriteSettingsXml(m_doc, m_declaration);
}

bool SettingsStore::write(const QString &otherPath) const
{
    const QString path = otherPath.isEmpty() ? m_filePath : otherPath;
    if (KindAt(path) == PathKind::RegularFile && !(QFile::permissions(path) & QFileDevice::WriteOwner))
        return false; // marked read-only: kept as it is
    const QByteArray bytes = serialize();
    // Both files may hold passwords: readable by the program's own user only, also when the old file was not.
    const QString failure = SaveWholeFile(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!failure.isEmpty()) {
        printError(QStringLiteral("Instellingen niet opgeslagen in %1: %2; het bestand is ongewijzigd.")
                       .arg(QDir::toNativeSeparators(path), failure));
        return false;
    }
    if (path == m_filePath)
        m_onDisk = bytes;
    return true;
}
