#include "link/ReplyLimits.h"

#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"

#include <algorithm>
#include <array>

namespace
{

struct ActionLimit {
    const char *action;
    qint64 maxBytes; // 0: the transport's limit
};

constexpr std::array<ActionLimit, 8> kLimits{{
    {KwpAction::RetrieveTrips, 0},
    {KwpAction::processTrips, 0},
    {KwpAction::ConfirmTrips, kMaxSmallReplyBytes},
    {KwpAction::SendStatus, kMaxSmallReplyBytes},
    {KwpAction::RetrieveVehicleTypes, kMaxSmallReplyBytes},
    {KwpAction::RetrieveIndications, kMaxSmallReplyBytes},
    {KwpAction::RetrieveAccessibilityEquipments, kMaxSmallReplyBytes},
    {KwpAction::RetrieveProducts, kMaxSmallReplyBytes},
}};

} // namespace

qint64 MaxReplyBytesFor(const QString &request, qint64 max)
{
    const QString action = ReadXMLValue(request, QStringLiteral("name"));
    for (const ActionLimit &limit : kLimits) {
        if (limit.maxBytes > 0 && action == QLatin1String(limit.action))
            return std::min(max, limit.maxBytes);
    }
    return max;
}
