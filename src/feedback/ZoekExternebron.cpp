#include "feedback/ZoekExternebron.h"

#include "base/PlainTextWidgets.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace
{

const char *const kTitle = "Zoeken";
const char *const kPrompt = "Selecteer de eigenaar";
const char *const kOk = "OK";
const char *const kStop = "Stop";
constexpr int kWidth = 350;
constexpr int kHeight = 300;
constexpr int kFontPixels = 13;

} // namespace

ZoekExternebron::ZoekExternebron(const QList<Owner> &owners, QWidget *parent)
    : QDialog(parent)
    , m_owners(owners)
{
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(kFontPixels);
    setFont(f);

    auto *layout = new QVBoxLayout(this);
    QLabel *prompt = NewPlainLabel(QString::fromLatin1(kPrompt), this);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("Zoektekst"));
    prompt->setBuddy(m_search);

    m_list = new QTableWidget(int(m_owners.size()), 3, this);
    m_list->setObjectName(QStringLiteral("Lijst"));
    m_list->horizontalHeader()->hide();
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->setShowGrid(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFocusPolicy(Qt::ClickFocus);
    // The chosen row stays marked while the search box has the focus.
    QPalette p = m_list->palette();
    p.setBrush(QPalette::Inactive, QPalette::Highlight, p.brush(QPalette::Active, QPalette::Highlight));
    p.setBrush(QPalette::Inactive, QPalette::HighlightedText, p.brush(QPalette::Active, QPalette::HighlightedText));
    m_list->setPalette(p);
    for (int row = 0; row < m_owners.size(); ++row) {
        const Owner &o = m_owners[row];
        m_list->setItem(row, 0, new QTableWidgetItem(o.description));
        m_list->setItem(row, 1, new QTableWidgetItem(o.id));
        m_list->setItem(row, 2, new QTableWidgetItem(o.code));
    }
    m_list->resizeRowsToContents();

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QString::fromLatin1(kOk), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OK"));
    QPushButton *stop = buttons->addButton(QString::fromLatin1(kStop), QDialogButtonBox::RejectRole);
    stop->setObjectName(QStringLiteral("Stop"));
    for (QPushButton *b : {ok, stop})
        b->setAutoDefault(false);
    ok->setDefault(true);

    layout->addWidget(prompt);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    setFixedSize(kWidth, kHeight);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        moveTo(row);
        accept();
    });
    connect(m_search, &QLineEdit::textChanged, this, &ZoekExternebron::search);
    m_search->installEventFilter(this);

    // Opens on the first row with its description in the search box, selected so that typing replaces it.
    moveTo(0);
    if (!m_owners.isEmpty()) {
        const QSignalBlocker block(m_search);
        m_search->setText(m_owners.first().description);
    }
    m_search->selectAll();
    m_search->setFocus();
}

int ZoekExternebron::currentRow() const
{
    return m_owners.isEmpty() ? -1 : m_list->currentRow();
}

QString ZoekExternebron::currentCode() const
{
    const int row = currentRow();
    return row < 0 ? QString() : m_owners[row].code;
}

void ZoekExternebron::moveTo(int row)
{
    if (row < 0 || row >= m_owners.size())
        return;
    m_list->setCurrentCell(row, 0);
    m_list->selectRow(row);
    m_list->scrollToItem(m_list->item(row, 0));
}

void ZoekExternebron::search(const QString &text)
{
    if (text.isEmpty()) {
        moveTo(0);
        return;
    }
    for (int row = 0; row < m_owners.size(); ++row) {
        if (m_owners[row].description.startsWith(text, Qt::CaseInsensitive)) {
            moveTo(row);
            return;
        }
    }
}

bool ZoekExternebron::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            moveTo(currentRow() + (key == Qt::Key_Down ? 1 : -1));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<QString> ZoekExternebron::choose(const QList<Owner> &owners, QWidget *parent)
{
    ZoekExternebron dialog(owners, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.currentCode();
}

OwnerChooser ZoekExternebronChooser(QWidget *parent)
{
    return [parent](const QList<Owner> &owners) { return ZoekExternebron::choose(owners, parent); };
}
