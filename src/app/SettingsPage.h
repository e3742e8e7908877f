#pragma once

#include <QColor>
#include <QWidget>

#include <functional>
#include <optional>

class ControlRegistry;
class QPushButton;

// The page "Instellingen": the settings controls of the service, the database, the processing and the ride
// defaults, the three ride counters, the button "TEST" and the button "Ritkleur".
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    // Asks the user for a colour, starting from `initial`; empty when cancelled.
    using ColourChooser = std::function<std::optional<QColor>(const QColor &initial, QWidget *parent)>;

    SettingsPage(ControlRegistry &controls, QWidget *parent = nullptr);

    void setColourChooser(ColourChooser chooser) { m_chooseColour = std::move(chooser); }

    // "Ritkleur": the chosen colour goes into Ritkleur as six hexadecimal digits; cancelling keeps it.
    void chooseRideColour();

signals:
    void testClicked();
    void rideColourClicked();

private:
    ControlRegistry &m_controls;
    ColourChooser m_chooseColour;
    QColor m_lastColour = Qt::black; // the dialog starts with the colour chosen last
};
