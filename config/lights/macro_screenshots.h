#pragma once
// Pictures of the macro manager, the light macro editor, the set name dialog
// and the notes, for the Config's --screenshots. They are drawn from a
// library of their own, so the user's macros are neither shown nor touched.

#include <QWidget>

#include <functional>
#include <string>

namespace vyre {

using ScreenshotSink = std::function<void(QWidget& widget, const std::string& name)>;

void WriteMacroScreenshots(QWidget* owner, const ScreenshotSink& save);

}  // namespace vyre
