#pragma once

#include <QString>
#include <QStringList>

// Reads the version resource of one file into a list of name=value lines (Infos). The main window reads its own
// program file with it and takes "InternalFileVersion" for its caption and for the update check.
class TemiVerInfo
{
  public:
    TemiVerInfo();
    virtual ~TemiVerInfo() = default;

    QString FileName;
    const QStringList &Infos() const { return m_infos; }
    qint32 LastError() const { return m_lastError; }

    virtual void ClearInfos();
    virtual void ReadVersionInfo();

    // The value of the first line of Infos whose name is name (letter case ignored); empty when there is none.
    QString value(const QString &name) const;

    static constexpr qint64 kMaxResourceSize = 0xFFF6;

  private:
    QString lookup(const QStringList &table, const QString &code) const;

    QStringList m_infos;
    qint32 m_lastError = 0;
    bool m_debug = false;
    bool m_patched = false;
    bool m_preRelease = false;
    bool m_privateBuild = false;
    bool m_specialBuild = false;

    QStringList m_languages;
    QStringList m_charSets;
    QStringList m_osHigh;
    QStringList m_osLow;
    QStringList m_fileTypes;
    QStringList m_driverSubtypes;
    QStringList m_fontSubtypes;
};

// The value of the line name=value in lines (names compared without regard to letter case), as a string list's
// Values lookup does.
QString NameValue(const QStringList &lines, const QString &name);
