// The update manifest, an INI text read by section and key. The first line of the input names a section and a key
// ("section|key"); the rest is the file. The keys the update check reads are looked up as well.
#include "FuzzSupport.h"
#include "update/IniProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzSplit input = fuzzSplit(fuzzBytes(data, size));
    const QString path = fuzzFile(input.rest);
    const QString text = DecodeText(input.rest);
    const QString head = QString::fromUtf8(input.head);
    const qsizetype bar = head.indexOf(u'|');
    const QString section = bar < 0 ? head : head.left(bar);
    const QString key = bar < 0 ? QString() : head.mid(bar + 1);

    const QString value = ReadProfileString(text, section, key);
    fuzzCheck(value.size() <= kMaxProfileValue, "value within the limit");
    fuzzCheck(GetPrivateProfileString(section, key, path) == value, "file and text agree");
    for (const char *name : {"DownloadFileURL", "ReadmeFileURL", "Version", "MD5Hash", "SHA1Hash"})
        fuzzCheck(ReadProfileString(text, QStringLiteral("VoranoOstrel"), QLatin1String(name)).size() <=
                      kMaxProfileValue,
                  "value within the limit");
    return 0;
}
