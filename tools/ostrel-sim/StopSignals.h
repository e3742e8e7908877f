#pragma once

class QCoreApplication;

// Makes the simulator's event loop end on SIGINT and SIGTERM (Windows: Ctrl+C, Ctrl+Break, closing the console),
// so it stops cleanly. False when that cannot be arranged.
bool QuitOnStopSignals(QCoreApplication &app);
