#pragma once
// Pictures of the illumination page for a person to look at: the page in
// MANUAL and AUTOMATIC, with each of its menus open, with RIPPLE FX on, for
// layout variants 0 and 12, and a short animated picture (APNG) of blinking
// and breathing keys. Written by the Config's --screenshots run.

#include <QImage>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <vector>

#include "config/lights/illumination_dlg.h"

namespace vyre {

// Sets a demonstration lighting on the current profile of the page's mirror
// (the caller does not send it) and writes the pictures into `folder`.
// `window` is the window the page shows in, `showPage` brings the page to front.
void SaveIlluminationPictures(QWidget& window, CKeyIlluminationDlg& page,
                              const std::function<void()>& showPage,
                              const std::filesystem::path& folder);

// Writes frames of one size as an animated PNG, each shown `frameMs`, looping.
bool WriteAnimatedPng(const std::vector<QImage>& frames, int frameMs,
                      const std::filesystem::path& file);

}  // namespace vyre
