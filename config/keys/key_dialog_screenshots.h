#pragma once
// Pictures of the key function dialogs and the countdown timer dialogs, for
// the Config's --screenshots. They work on a store of their own, so the
// user's settings are neither shown nor touched, and send nothing.

#include <QWidget>

#include <functional>
#include <string>

namespace vyre {

void WriteKeyDialogScreenshots(QWidget* owner,
                               const std::function<void(QWidget&, const std::string&)>& save);

}  // namespace vyre
