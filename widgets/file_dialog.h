#pragma once
// Qt's own file dialog in the kit's dark look (the programs' other windows
// are drawn by the kit; this one is Qt's, dressed to match), and the folder
// a file dialog starts in.

#include <QPalette>
#include <QString>

class QFileDialog;
class QWidget;

namespace vyre::widgets {

// The kit's colours as a palette for Qt's standard dialogs.
QPalette DarkPalette();
// Qt's own dialog (not the desktop's), in the dark palette and the kit's style.
void DressFileDialog(QFileDialog& dialog);

// The folder last used when it still exists, else the user's documents
// folder, else the home folder.
QString StartFolder(const QString& remembered);

// Runs a dressed file dialog that starts at `start` (a folder, or a file in
// one); the chosen file, empty when cancelled.
QString ChooseFile(QWidget* owner, const QString& caption, const QString& start,
                   const QString& filter, bool save);

// A dressed dialog to choose a program, starting at `current` (a program's
// path) when its folder exists; the chosen file, empty when cancelled.
QString ChooseProgram(QWidget* owner, const QString& current);

}  // namespace vyre::widgets
