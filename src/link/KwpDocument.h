#pragma once

#include <QString>
#include <QStringList>

class Controls;

// Request frame: <kwp version="..."><header><username>..</username><password>..</password></header>
// <body><action><name>..</name>PARAMS</action></body></kwp>, one line; user name and password escaped, the
// parameters inserted as the XML they are.
QString BuildRequest(const QString &version, const QString &actionName, const QString &userName,
                     const QString &password, const QString &parameters = {});

// A document as it may be kept or shown: the content of every password element replaced by "********". A copy is a
// record of what was sent, not a store of the service password.
QString MaskPassword(const QString &document);

// The same with the user name and password read from xInlognaam and xPaswoord at this moment.
QString BuildRequest(const Controls &controls, const QString &version, const QString &actionName,
                     const QString &parameters = {});

// The action names and their versions.
namespace KwpAction {
inline constexpr const char *RetrieveTrips = "RetrieveTrips";
inline constexpr const char *ConfirmTrips = "ConfirmTrips";
inline constexpr const char *SendStatus = "SendStatus";
inline constexpr const char *processTrips = "processTrips";
inline constexpr const char *RetrieveVehicleTypes = "RetrieveVehicleTypes";
inline constexpr const char *RetrieveIndications = "RetrieveIndications";
inline constexpr const char *RetrieveAccessibilityEquipments = "RetrieveAccessibilityEquipments";
inline constexpr const char *RetrieveProducts = "RetrieveProducts";
} // namespace KwpAction

// The version attribute that belongs to an action name ("3.8" for RetrieveTrips, ...).
QString KwpVersion(const QString &actionName);

// The request of an action without parameters (RetrieveTrips and the four reference lists).
QString BuildRetrieveRequest(const Controls &controls, const QString &actionName);

// Reply check: the first status is exactly "200" and, when asked, the first name is exactly the action name.
bool ReplyAccepted(const QString &reply, const QString &actionName, bool compareName);

// Parses the reply and writes it back out (whitespace-only text dropped, empty elements in empty-element form,
// "&" and "<" escaped, character references and &apos;/&quot; plain, ">" plain except inside "]]>", an XML
// declaration kept without its encoding). Throws XmlParseError with the parser's message and position for text
// that is not well-formed, and before any parsing for text over the markup limits (CheckMarkupLimits).
QString NormalizeReply(const QString &text);
// The same for a reply held as UTF-8 (half the memory of the text); an encoding in its declaration is not used.
QString NormalizeReply(QByteArray utf8);

// Item walk: walks the "<item>...</item>" texts of a list element's content in document order, without
// copying the rest of the content per item (linear in the content). A closing tag that stands before the next
// opening tag yields no item.
class ItemWalk {
public:
    ItemWalk(QString content, QString itemTag);
    // The next item text (opening tag up to and including the closing tag); false when the walk has ended.
    bool next(QString &item);

private:
    QString m_content;
    QString m_open;
    QString m_close;
    qsizetype m_pos = 0;
    qsizetype m_nextOpen = -1; // the next opening tag at or after m_pos, once found
};

// All item texts at once.
QStringList WalkItems(const QString &content, const QString &itemTag);
