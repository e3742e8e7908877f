#pragma once

#include "base/ProgramFolders.h"

#include <QTemporaryDir>

// A temporary program folder with the folder tree created, removed at the end of the test.
class TempProgramDir
{
  public:
    TempProgramDir();
    QString path() const { return m_dir.path(); }
    const ProgramFolders &folders() const { return m_folders; }
    // Text of a file under the program folder ("" when missing).
    QByteArray read(const QString &relativePath) const;
    // Names of the files in a folder under the program folder, sorted.
    QStringList files(const QString &relativeFolder) const;
    // The same with the files of its day folders as "2015-03-31/name": the copies of a copy folder.
    QStringList copies(const QString &relativeFolder) const;

  private:
    QTemporaryDir m_dir;
    ProgramFolders m_folders;
};
