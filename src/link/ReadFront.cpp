#include "link/ReadFront.h"

#include <cstring>

namespace
{

constexpr qsizetype kAtLeastBytes = qsizetype(4) << 20;
constexpr qsizetype kSlice = qsizetype(1) << 20;

template <typename Buffer> void dropReadFront(Buffer &buffer, qsizetype &read)
{
    const qsizetype unit = sizeof(*buffer.constData());
    // A buffer shared with its caller stays as it is: moving in it would copy it whole.
    if (read * unit < kAtLeastBytes || read < buffer.size() / 8 || !buffer.isDetached())
        return;
    // Moved by hand: a buffer erased at its front keeps the room there and is copied whole when it is squeezed.
    const qsizetype rest = buffer.size() - read;
    std::memmove(static_cast<void *>(buffer.data()), static_cast<const void *>(buffer.constData() + read),
                 size_t(rest * unit));
    buffer.resize(rest);
    buffer.squeeze();
    read = 0;
}

} // namespace

void DropReadFront(QByteArray &buffer, qsizetype &read)
{
    dropReadFront(buffer, read);
}

void DropReadFront(QString &buffer, qsizetype &read)
{
    dropReadFront(buffer, read);
}

QByteArray ToUtf8Releasing(QString &&text)
{
    QString source = std::move(text);
    QByteArray out;
    out.reserve(source.size());
    qsizetype read = 0;
    while (read < source.size()) {
        qsizetype n = std::min(kSlice, source.size() - read);
        if (read + n < source.size() && source.at(read + n - 1).isHighSurrogate())
            --n; // never part a surrogate pair
        out += QStringView(source).sliced(read, n).toUtf8();
        read += n;
        DropReadFront(source, read);
    }
    return out;
}
