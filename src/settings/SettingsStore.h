#pragma once

#include "settings/Controls.h"
#include "settings/WindowPlacement.h"

#include <QByteArray>
#include <QDomDocument>
#include <QString>

#include <optional>

// One settings file ("VoranotoOstrel.xml" or "VoranotoOstrelBase.xml") held as an XML document in memory. The
// document is the one read from the file, updated in place: elements keep their position, new elements go to the
// end of their parent, unknown elements are kept. Settings go to and from the controls named in the controls table.
class SettingsStore
{
  public:
    SettingsStore(QString filePath, SettingsFile which);

    // Reads the file when it exists; without a file the document starts empty. Throws XmlParseError with the
    // reader's message when the file is not well-formed, FileError when it cannot be read.
    void load();
    // Parses settings text as load() does (used by load and by tests).
    void loadFrom(const QByteArray &bytes);

    // Sets every control whose element exists; the main store also applies the window size. Nothing is applied
    // when FormVersion is below 0 or not a whole number; returns false then.
    bool apply(Controls &controls, PlacementTarget *window = nullptr);

    // Puts FormVersion, the window size (main store) and every stored setting into the document.
    void save(const Controls &controls, const PlacementTarget *window = nullptr);

    // The file's bytes as write() puts them on disk.
    QByteArray serialize() const;

    // Writes the document through a temporary file in the same folder that replaces the old file only when every
    // byte was written and flushed, so the old file stays as it was when writing fails (a full disk too). A file
    // without write permission is left alone silently; any other failure leaves the old file and is reported once
    // on stderr. Returns whether the file was written. With another path the document goes there instead.
    bool write(const QString &otherPath = {}) const;

    // Whether the file on disk is no longer the one read or last written here (edited by hand meanwhile).
    bool changedOnDisk() const;

    const QString &filePath() const { return m_filePath; }
    const QDomDocument &document() const { return m_doc; }

    static constexpr const char *kMainFileName = "VoranotoOstrel.xml";
    static constexpr const char *kBaseFileName = "VoranotoOstrelBase.xml";

  private:
    QDomElement formElement(bool create);
    QDomElement child(QDomElement parent, const QString &name, bool create);
    void setValue(QDomElement parent, const QString &name, const QString &value);
    void setElementText(QDomElement e, const QString &value);
    void saveLines(QDomElement parent, const QString &name, const QStringList &lines);
    void applyPlacement(const QDomElement &form, PlacementTarget &window) const;

    QString m_filePath;
    SettingsFile m_which;
    QDomDocument m_doc;
    QString m_declaration; // the XML declaration as read, or the one written for a new file
    mutable std::optional<QByteArray> m_onDisk; // the file's bytes as read or last written; none: no file then
};

// Check-box words: TRUE/YES/Y and FALSE/NO/N in any case, or a whole number (0 is unchecked). Empty optional
// for any other text.
std::optional<bool> ReadCheckBoxText(const QString &text);
