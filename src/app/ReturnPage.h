#pragma once

#include <QWidget>

class ControlRegistry;

// The page "Retour meldingen": whether return messages are sent, and the owner code with its search button.
class ReturnPage : public QWidget {
    Q_OBJECT
public:
    explicit ReturnPage(ControlRegistry &controls, QWidget *parent = nullptr);

signals:
    void ownerSearchClicked();
};
