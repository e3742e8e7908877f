#pragma once

#include <QString>

#include <functional>
#include <memory>

// The service's one port type. xmlRequest sends one kwp document and blocks until the reply document arrives;
// failures throw (TransportError, SoapFault, XmlParseError).
class External_ {
public:
    virtual ~External_() = default;
    virtual QString xmlRequest(const QString &xml) = 0;
};

// Makes a fresh stub for an endpoint URL (empty: the built-in default). Operations make one per call.
using ServiceFactory = std::function<std::unique_ptr<External_>(const QString &url)>;
