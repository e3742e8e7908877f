// The settings files: whatever the reader takes in, the program writes in a form it reads back, and that form is
// stable: read, save, write, then read, save, write again gives the same bytes. The store's own steps (apply to
// the controls, save) run in between, as at a start and a close.
#include "FuzzSupport.h"
#include "base/VoranoError.h"
#include "settings/MemoryControls.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsXml.h"

namespace
{

QByteArray cycle(const QByteArray &bytes, SettingsFile which)
{
    SettingsStore store(QStringLiteral("fuzz.xml"), which);
    store.loadFrom(bytes);
    MemoryControls controls;
    store.apply(controls);
    store.save(controls);
    return store.serialize();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    ParsedSettingsXml parsed;
    try {
        parsed = ParseSettingsXml(bytes, QStringLiteral("fuzz.xml"));
    } catch (const XmlParseError &) {
        return 0;
    }
    // The writer alone.
    const QByteArray written = WriteSettingsXml(parsed.document, parsed.declaration);
    try {
        const ParsedSettingsXml again = ParseSettingsXml(written, QStringLiteral("fuzz.xml"));
        fuzzCheck(WriteSettingsXml(again.document, again.declaration) == written, "writer output is stable");
    } catch (const XmlParseError &) {
        fuzzCheck(false, "writer output reads back");
    }
    // The stores, as at a start and a close.
    for (const SettingsFile which : {SettingsFile::Main, SettingsFile::Base}) {
        const QByteArray first = cycle(bytes, which);
        try {
            fuzzCheck(cycle(first, which) == first, "store output is stable");
        } catch (const XmlParseError &) {
            fuzzCheck(false, "store output reads back");
        }
    }
    return 0;
}
