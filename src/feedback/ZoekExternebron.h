#pragma once

#include "feedback/OwnerLookup.h"

#include <QDialog>

class QLineEdit;
class QTableWidget;

// The search list of "ZOEK EIGENAAR": the owners in a list (description, key, code), a search box that moves to
// the first description starting with the typed text (ignoring letter case), the arrow keys in the search box
// moving through the list, "OK" or a double click accepting, "Stop" or closing cancelling.
class ZoekExternebron : public QDialog
{
    Q_OBJECT
  public:
    explicit ZoekExternebron(const QList<Owner> &owners, QWidget *parent = nullptr);

    // The row the list stands on; -1 for an empty list.
    int currentRow() const;
    // The code of that row; empty for an empty list.
    QString currentCode() const;

    QLineEdit *searchBox() const { return m_search; }
    QTableWidget *list() const { return m_list; }

    // Shows the dialog modally: the code of the accepted row, or nothing when cancelled.
    static std::optional<QString> choose(const QList<Owner> &owners, QWidget *parent);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void search(const QString &text);
    void moveTo(int row);

    QList<Owner> m_owners;
    QLineEdit *m_search = nullptr;
    QTableWidget *m_list = nullptr;
};

// The chooser the main window hands to ZoekEigenaar.
OwnerChooser ZoekExternebronChooser(QWidget *parent);
