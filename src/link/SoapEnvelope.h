#pragma once

#include <QByteArray>
#include <QString>

// The SOAP 1.1 RPC/encoded wire format of xmlRequest, without the network: the request envelope and the reading
// of a reply body. Kept apart from the transport so both can be tested and fuzzed on their own.

namespace SoapWire
{
inline constexpr const char *EnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr const char *EncodingNamespace = "http://schemas.xmlsoap.org/soap/encoding/";
inline constexpr const char *SchemaNamespace = "http://www.w3.org/2001/XMLSchema";
inline constexpr const char *SchemaInstanceNamespace = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr const char *ServiceNamespace = "http://_external";
inline constexpr const char *FaultDetailNamespace = "http://rpc.xml.coldfusion";
inline constexpr const char *FaultDetailType = "CFCInvocationException";
inline constexpr const char *OperationName = "xmlRequest";
inline constexpr const char *ParameterName = "xml";
inline constexpr const char *SoapActionHeader = "\"\"";
inline constexpr const char *RequestContentType = "text/xml; charset=\"utf-8\"";
inline constexpr const char *UserAgent = "Borland SOAP 1.2";
} // namespace SoapWire

// The request body for one call: XML declaration without encoding, the envelope with its four namespace
// declarations, the encoded body, NS1:xmlRequest and the unqualified xml parameter with the kwp text escaped
// ("<", "&", ">"). UTF-8 without byte-order mark.
QByteArray BuildSoapEnvelope(const QString &kwp);

// Fails (TransportError) with the content-type message when the reply is text/plain or text/html.
void CheckReplyContentType(const QString &contentType);

// Reads the string a reply body carries. The body is decoded with the charset of contentType (UTF-8 when it
// names none). Throws SoapFault (or CFCInvocationException) with the fault's faultstring, XmlParseError with the
// parser's message for a body that is not a well-formed envelope, or with the limit's text for a body over the
// markup limits (CheckMarkupLimits: attributes, nesting depth). The string is gathered as the reader goes, never
// held whole inside the reader as well.
QString ReadSoapReply(const QByteArray &body, const QString &contentType);
// The same, releasing the body as soon as it has been decoded.
QString ReadSoapReply(QByteArray &&body, const QString &contentType);
