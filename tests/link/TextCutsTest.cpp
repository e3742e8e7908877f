#include "link/TextCuts.h"

#include <QString>

#include <gtest/gtest.h>

namespace
{

// Where a cut may stand after the text read so far, and which one: only where it leaves the document's text as it
// was and its markup well-formed.
TEST(TextCuts, CutsOnlyWithinTheTextOrCDataOfTheRootElement)
{
    const char *inText = TextCuts::kInText;
    const char *inCData = TextCuts::kInCData;
    const struct {
        const char *read;
        const char *cut;
    } cases[] = {
        {"<a>xy", inText},
        {"<?xml version=\"1.0\"?><a b=\"1\">x", inText},
        {"<a><b/>x", inText},
        {"<a><b></b>", inText},
        {"<a>x&amp;", inText},
        {"<a>x&am", nullptr}, // within a reference
        {"<a>x]", nullptr},   // "]]" + ">" would no longer be refused
        {"<a>x\r", nullptr},  // CR LF is one line break
        {"x", nullptr},       // before the root element
        {"<a/>", nullptr},    // after it
        {"<a>x</a>", nullptr},
        {"<a b='>x", nullptr},  // within a tag's value
        {"<a><!-- x", nullptr}, // within a comment
        {"<a><!-- x -->y", inText},
        {"<a><?pi x", nullptr},
        {"<a><?pi x?>y", inText},
        {"<a><![CDATA[x", inCData},
        {"<a><![CDATA[", nullptr}, // the section would close before it began
        {"<a><![CDATA[x]", nullptr},
        {"<a><![CDATA[x]]>y", inText},
        {"<!DOCTYPE a><a>x", nullptr}, // a document type may declare what the cut would change
        {"<a><!DOCTYPE", nullptr},
    };
    for (const auto &c : cases) {
        TextCuts cuts;
        for (const char *p = c.read; *p; ++p)
            cuts.step(uchar(*p));
        EXPECT_STREQ(cuts.cut(), c.cut) << c.read;
    }
}

} // namespace
