#pragma once
// Pictures of the statistics and trophies page and the update and support
// page inside the main dialog, for a person to look at: each period, a
// locked and an unlocked trophy, the reset question, an upload while it runs
// and its result, the support page with and without its addresses. The
// statistics shown are an example; the mirror's own are put back after.

#include <QWidget>

#include <filesystem>
#include <functional>

#include "config/trophies/stats_trophies_dlg.h"
#include "config/trophies/update_support_dlg.h"

namespace vyre::trophies {

// `showPage(true)` shows the statistics page in `dialog`, `showPage(false)`
// the support page. `model` is 'A' or 'B'.
void WriteScreenshots(QWidget& dialog, ProfileStore& mirror, CStatsTrophiesDlg& stats,
                      CUpdateSuPportDlg& support, const std::function<void(bool)>& showPage,
                      const std::filesystem::path& folder, char model);

}  // namespace vyre::trophies
