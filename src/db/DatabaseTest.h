#pragma once

#include <QString>

#include <functional>

class DispatchDb;

// Shows a modal information message box with one OK button and returns when the user has closed it. The main
// window passes a QMessageBox; tests pass a recorder.
using InformationBox = std::function<void(const QString &title, const QString &text)>;

inline constexpr const char *kDatabaseTestTitle = "Database koppeling";
inline constexpr const char *kDatabaseTestText = "Taxis Vorano SQL werd database met succes geopend";

// The button "TEST" (hint "Test database verbinding"): opens the connection with the current settings, reports
// success in a message box and closes the connection afterwards. When opening fails no box is shown and the
// DatabaseError with the driver's message goes to the caller, whose wrapper writes the log line.
class DatabaseTest
{
  public:
    DatabaseTest(DispatchDb &db, InformationBox showInformation);
    void run();

  private:
    DispatchDb &m_db;
    InformationBox m_showInformation;
};
