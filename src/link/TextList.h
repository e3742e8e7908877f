#pragma once

#include <QString>
#include <QStringList>

// A list of text lines. Setting the text splits it at CR, LF and CR LF; reading the text joins the lines, each
// followed by CR LF. The joined text is kept until the lines change, so repeated tag reads on one list do not
// join it again.
class TextList {
public:
    TextList() = default;
    explicit TextList(const QString &text) { setText(text); }

    void setText(const QString &text);
    QString text() const;

    const QStringList &lines() const { return m_lines; }
    void setLines(const QStringList &lines);
    void clear() { setLines({}); }
    bool isEmpty() const { return m_lines.isEmpty(); }

private:
    QStringList m_lines;
    mutable QString m_joined;
    mutable bool m_joinedValid = false;
};
