#pragma once

#include <QWidget>

class ControlRegistry;

// The page "Pakket": status, kind, trip id and action of the last reply that was read.
class PackagePage : public QWidget {
    Q_OBJECT
public:
    explicit PackagePage(ControlRegistry &controls, QWidget *parent = nullptr);
};
