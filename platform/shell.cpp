#include "platform/shell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "platform/record.h"

namespace vyre::platform {

bool ShellOpen(const std::string& address) {
    if (ActionRecord::Instance().Active()) {
        ActionRecord::Instance().Write("shell-open " + address);
        return true;
    }
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(address), QUrl::StrictMode));
}

}  // namespace vyre::platform
