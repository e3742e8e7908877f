#include "settings/SettingsStore.h"

#include "base/VoranoError.h"
#include "settings/SettingsXml.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>
#include <cstdio>

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
constexpr int kMaxMemoLines = 1000000;

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
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
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
    QFile file(m_filePath);
    if (!file.exists()) {
        m_doc = QDomDocument();
        m_declaration.clear();
        return;
    }
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Kan bestand %1 niet lezen. %2").arg(m_filePath, file.errorString()));
    loadFrom(file.readAll());
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
    QDomElement e = child(parent, name, true);
    while (!e.firstChild().isNull())
        e.removeChild(e.firstChild());
    if (!value.isEmpty())
        e.appendChild(m_doc.createTextNode(value));
}

void SettingsStore::saveLines(QDomElement parent, const QString &name, const QStringList &lines)
{
    QDomElement list = child(parent, name, true);
    // Items beyond the new count go; the others are updated where they stand.
    for (QDomElement e = list.firstChildElement(); !e.isNull();) {
        const QDomElement next = e.nextSiblingElement();
        const QString tag = e.tagName();
        if (tag.startsWith(kItem)) {
            bool ok = false;
            const int index = tag.mid(kItem.size()).toInt(&ok);
            if (ok && index >= lines.size() && QString::number(index) == tag.mid(kItem.size()))
                list.removeChild(e);
        }
        e = next;
    }
    for (int i = 0; i < lines.size(); ++i)
        setValue(list, kItem + QString::number(i), lines.at(i));
    setValue(list, kCount, QString::number(lines.size()));
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
        case ControlKind::Memo: {
            const auto count = wholeNumber(SettingsText(e.firstChildElement(kCount)));
            if (!count || *count < 0 || *count > kMaxMemoLines)
                break;
            QStringList lines;
            lines.reserve(*count);
            for (int i = 0; i < *count; ++i)
                lines << SettingsText(e.firstChildElement(kItem + QString::number(i)));
            controls.setLines(info.id, lines);
            break;
        }
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

bool SettingsStore::write() const
{
    const QFileInfo info(m_filePath);
    if (info.exists() && !(QFile::permissions(m_filePath) & QFileDevice::WriteOwner))
        return false; // marked read-only: kept as it is
    const QByteArray bytes = serialize();
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        printError(QStringLiteral("Instellingen niet opgeslagen in %1: %2")
                       .arg(QDir::toNativeSeparators(m_filePath), file.errorString()));
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        printError(QStringLiteral("Instellingen niet opgeslagen in %1: %2")
                       .arg(QDir::toNativeSeparators(m_filePath), file.errorString()));
        return false;
    }
    return true;
}
