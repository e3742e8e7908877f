#pragma once

#include <QString>

#include <stdexcept>

// Errors carry the exact message text that ends up in the log. Operations throw; the shell's wrapper hands an
// escaped error to the error hook.
class VoranoError : public std::runtime_error
{
  public:
    explicit VoranoError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString &message() const { return m_message; }

  private:
    QString m_message;
};

// A text that cannot be turned into the value asked for (dates, integers).
class ConversionError : public VoranoError
{
    using VoranoError::VoranoError;
};

// Text that is not well-formed XML.
class XmlParseError : public VoranoError
{
    using VoranoError::VoranoError;
};

// A failed database connection or statement.
class DatabaseError : public VoranoError
{
    using VoranoError::VoranoError;
};

// A failed service call: network, HTTP status, content type.
class TransportError : public VoranoError
{
    using VoranoError::VoranoError;
};

// A SOAP fault returned by the service.
class SoapFault : public VoranoError
{
    using VoranoError::VoranoError;
};

// A fault whose detail names CFCInvocationException.
class CFCInvocationException : public SoapFault
{
    using SoapFault::SoapFault;
};

// A file that cannot be read or written.
class FileError : public VoranoError
{
    using VoranoError::VoranoError;
};

// A file that cannot be written because the disk itself refuses (full, over quota or the size limit, read-only,
// failing): every further file would fail the same way.
class DiskError : public FileError
{
    using FileError::FileError;
};
