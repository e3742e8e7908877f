#pragma once

#include <QString>
#include <QStringList>

// A list of text lines. Setting the text splits it at CR, LF and CR LF; reading the text joins the lines, each
// followed by CR LF. A list set from a text keeps that joined text and makes the separate lines only when they are
// asked for, so a reply of many megabytes is held once, not once as text and again as a million small strings.
class TextList {
public:
    TextList() = default;
    explicit TextList(const QString &text) { setText(text); }

    void setText(const QString &text);
    // The same, turning the text into its joined form in place: a reply of many megabytes is never held twice.
    void setText(QString &&text);
    QString text() const;

    const QStringList &lines() const;
    void setLines(const QStringList &lines);
    void clear() { setLines({}); }
    bool isEmpty() const { return m_linesValid ? m_lines.isEmpty() : m_joined.isEmpty(); }

private:
    mutable QStringList m_lines;
    mutable bool m_linesValid = true;
    mutable QString m_joined;
    mutable bool m_joinedValid = false;
};
