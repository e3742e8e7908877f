// The version resource reader: the input is a program file (PE or ELF) as the version reader opens it, and at the
// same time a loaded resource as the lookups walk it.
#include "FuzzSupport.h"
#include "update/TemiVerInfo.h"
#include "update/VersionResource.h"

namespace
{

const char *const kPaths[] = {"\\",
                              "",
                              "\\VarFileInfo\\Translation",
                              "\\StringFileInfo\\040904E4\\FileVersion",
                              "\\StringFileInfo\\041304E4\\InternalFileVersion",
                              "\\\\",
                              "\\StringFileInfo\\\\x"};

void lookups(const QByteArray &buffer)
{
    for (const char *path : kPaths) {
        VersionBlock block;
        if (VerQueryValue(buffer, QLatin1String(path), block) && block.text)
            (void)block.string();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    lookups(bytes);

    const QString path = fuzzFile(bytes);
    const qint64 resourceSize = GetFileVersionInfoSize(path);
    fuzzCheck(resourceSize >= 0 && resourceSize <= qint64(size), "resource inside the file");
    if (resourceSize > 0) {
        QByteArray buffer;
        if (GetFileVersionInfo(path, resourceSize, buffer))
            lookups(buffer);
    }
    TemiVerInfo info;
    info.FileName = path;
    info.ReadVersionInfo();
    (void)info.value(QStringLiteral("InternalFileVersion"));
    return 0;
}
