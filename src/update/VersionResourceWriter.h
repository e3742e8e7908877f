#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <array>

// What goes into a version resource in the VS_VERSIONINFO layout.
struct VersionResourceFields {
    std::array<quint16, 4> fileVersion{};
    std::array<quint16, 4> productVersion{};
    quint32 fileFlagsMask = 0x3F;
    quint32 fileFlags = 0;
    quint32 fileOS = 0x00040004; // Windows NT - Windows 32 bits
    quint32 fileType = 1;        // application
    quint32 fileSubtype = 0;
    bool withFixedInfo = true;
    quint16 language = 0x0413; // Dutch
    quint16 codePage = 0x04E4; // Windows, Multilingual
    bool withStrings = true;
    bool withTranslation = true;
    QList<QPair<QString, QString>> strings; // name, value, in order
};

// The resource bytes, as a resource compiler lays them out.
QByteArray WriteVersionResource(const VersionResourceFields &fields);
