#include "update/UpdateOperation.h"

#include "update/QtUpdatePrompts.h"
#include "update/TJFCAppUpdate.h"
#include "update/TJFCAppUpdateNotifyBox.h"
#include "update/UpdateControle.h"

#include <QCoreApplication>
#include <QFileInfo>

void RunUpdateControle(const QString &version, const QString &programFolder, QWidget *window, ErrorHook logError,
                       NetworkConnections &network, AbortToken &stop)
{
    QtUpdatePrompts prompts(window);
    TJFCAppUpdate update(prompts, MakeNotifyBoxPresenter(prompts, logError), network, stop, logError);
    ConfigureMainWindowUpdate(update, version);
    update.ProgramFile =
        programFolder + QLatin1Char('/') + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    SpeedButton4Click(update);
}
