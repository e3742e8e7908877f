#include "link/TextCuts.h"

namespace
{

constexpr char kCDataOpen[] = "[CDATA[";

} // namespace

void TextCuts::step(char32_t c)
{
    switch (m_state) {
    case State::Text:
        if (c == '<') {
            m_state = State::Open;
            m_inReference = false;
        } else if (c == '&') {
            m_inReference = true;
        } else if (c == ';') {
            m_inReference = false;
        }
        break;
    case State::Open:
        if (c == '/') {
            m_state = State::EndTag;
        } else if (c == '?') {
            m_state = State::Pi;
        } else if (c == '!') {
            m_state = State::Bang;
            m_bang = 0;
        } else {
            m_state = State::Tag;
            m_quote = 0;
        }
        break;
    case State::Bang:
        // "<!--", "<![CDATA[" or a declaration.
        if (m_bang == 0 && c == '-') {
            m_bang = -1;
        } else if (m_bang == -1) {
            m_state = c == '-' ? State::Comment : State::Stopped;
        } else if (m_bang >= 0 && c == char32_t(kCDataOpen[m_bang])) {
            if (++m_bang == int(sizeof kCDataOpen) - 1)
                m_state = State::CData;
        } else {
            m_state = State::Stopped; // a document type, or markup the reader will refuse
        }
        break;
    case State::Tag:
        if (m_quote) {
            if (c == m_quote)
                m_quote = 0;
        } else if (c == '"' || c == '\'') {
            m_quote = c;
        } else if (c == '>') {
            if (m_last != '/')
                ++m_depth;
            m_state = State::Text;
        }
        break;
    case State::EndTag:
        if (c == '>') {
            if (m_depth > 0)
                --m_depth;
            m_state = State::Text;
        }
        break;
    case State::Comment:
        if (c == '>' && m_last == '-' && m_last2 == '-')
            m_state = State::Text;
        break;
    case State::CData:
        if (c == '>' && m_last == ']' && m_last2 == ']')
            m_state = State::Text;
        break;
    case State::Pi:
        if (c == '>' && m_last == '?')
            m_state = State::Text;
        break;
    case State::Stopped:
        break;
    }
    m_last2 = m_last;
    m_last = c;
}

const char *TextCuts::cut() const
{
    if (m_depth < 1 || m_last == ']' || m_last == '\r')
        return nullptr;
    if (m_state == State::Text && !m_inReference)
        return kInText;
    // Not right after the "<![CDATA[" that opened the section: the cut would close it before it began.
    if (m_state == State::CData && m_last != '[')
        return kInCData;
    return nullptr;
}
