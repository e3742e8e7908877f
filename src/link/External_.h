#pragma once

#include "base/ServiceFactory.h"

#include <QString>

// The service's one port type. xmlRequest sends one kwp document and blocks until the reply document arrives;
// failures throw (TransportError, SoapFault, XmlParseError).
class External_
{
  public:
    virtual ~External_() = default;
    virtual QString xmlRequest(const QString &xml) = 0;
};
