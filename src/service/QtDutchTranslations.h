#pragma once

class QCoreApplication;
class QTranslator;

// Qt's own texts in Dutch: the standard dialogs and buttons (file-open, colour choice, message boxes) and Qt's
// error messages that reach the log (a refused connection, a host not found), from the translations installed
// with Qt. Returns the installed translator, owned by the application, or null when the Dutch catalogue is not
// installed (the texts then stay English).
QTranslator *InstallQtDutchTranslations(QCoreApplication &app);
