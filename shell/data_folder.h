#pragma once
// Where the program's data folders (pictures/, images/, langconfig/) are: they are opened relative
// to the current directory, which start-up moves to the folder that holds them.

#include <QString>

// The folder to work in: the current one when it holds the data (a launcher or a test that set
// it up), else the executable's own folder (the build tree), else share/telvane beside the
// executable's bin folder (an install). Empty when none holds the data.
QString FindDataFolder(const QString& currentFolder, const QString& executableFolder);

// Makes the found data folder the current directory; false when there is none or it cannot be
// entered, in which case the current directory is left as it was.
bool EnterDataFolder(const QString& executableFolder);
