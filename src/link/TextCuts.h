#pragma once

// Qt's XML reader hands over a text only when it has read all of it: a reply whose text runs for hundreds of
// megabytes is held once more, whole, inside the reader, and once again by whoever gathers it. A reader fed in
// slices is therefore given a cut at the end of a slice that stands in the middle of a long text: an empty CDATA
// section there (in a CDATA section: its end and a new start), which ends the reader's text token without changing
// the text the document carries. TextCuts follows the markup a character at a time and says whether the place
// after the last character is such a place: within the root element, in text or a CDATA section, not within a
// reference, a line break or a "]]" that a cut would part. After a document type declaration it never cuts (the
// markup it may declare is not followed).
class TextCuts
{
  public:
    static constexpr const char *kInText = "<![CDATA[]]>";
    static constexpr const char *kInCData = "]]><![CDATA[";

    void step(char32_t c);
    // The text to insert after the characters stepped so far, or nullptr where no cut may stand.
    const char *cut() const;

  private:
    enum class State { Text, Open, Bang, Tag, EndTag, Comment, CData, Pi, Stopped };

    State m_state = State::Text;
    int m_depth = 0;
    char32_t m_last = 0;  // the character before this one
    char32_t m_last2 = 0; // and the one before that
    char32_t m_quote = 0; // in a quoted value of a tag
    int m_bang = 0;       // characters after "<!" so far
    bool m_inReference = false;
};
