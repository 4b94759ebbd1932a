#include "widgets/file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include "widgets/controls.h"
#include "widgets/skin_art.h"

namespace vyre::widgets {

QPalette DarkPalette() {
    QPalette p;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor text = disabled ? colour::kTextDisabled : colour::kText;
        p.setColor(group, QPalette::Window, colour::kBackgroundTop);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, colour::kPanel);
        p.setColor(group, QPalette::AlternateBase, colour::kControl);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, colour::kControl);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::Highlight, colour::kAccent);
        p.setColor(group, QPalette::HighlightedText, QColor(0x0b, 0x2a, 0x30));
        p.setColor(group, QPalette::ToolTipBase, colour::kPanel);
        p.setColor(group, QPalette::ToolTipText, colour::kText);
        p.setColor(group, QPalette::PlaceholderText, colour::kTextSecondary);
        p.setColor(group, QPalette::Light, colour::kControlHover);
        p.setColor(group, QPalette::Mid, colour::kBorder);
        p.setColor(group, QPalette::Dark, colour::kBackgroundBottom);
        p.setColor(group, QPalette::Link, colour::kAccent);
    }
    return p;
}

void DressFileDialog(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setPalette(DarkPalette());
    dialog.setStyleSheet(KitStyleSheet() +
                         "QPushButton, QToolButton, QComboBox { background: #232a34; color: #e6e9ee;"
                         " border: 1px solid #2a313c; border-radius: 3px; padding: 3px 8px; }"
                         "QPushButton:hover, QToolButton:hover, QComboBox:hover { background: #2d3642; }"
                         "QPushButton:pressed, QToolButton:pressed { background: #15303a;"
                         " border-color: #22c7e0; }"
                         "QTreeView, QListView { background: #1b2028; color: #e6e9ee;"
                         " border: 1px solid #2a313c; selection-background-color: #15303a; }"
                         "QHeaderView::section { background: #232a34; color: #9aa3ad;"
                         " border: none; padding: 3px; }");
}

QString StartFolder(const QString& remembered) {
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir()) return remembered;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

QString ChooseFile(QWidget* owner, const QString& caption, const QString& start,
                   const QString& filter, bool save) {
    QFileDialog dialog(owner, caption, start, filter);
    DressFileDialog(dialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!QFileInfo(start).isDir()) dialog.selectFile(QFileInfo(start).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QString ChooseProgram(QWidget* owner, const QString& current) {
    const bool known = !current.isEmpty() && QFileInfo(current).absoluteDir().exists();
    return ChooseFile(owner, "Program", known ? current : StartFolder({}), {}, false);
}

}  // namespace vyre::widgets
