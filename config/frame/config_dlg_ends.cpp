// The main dialog's side of keeping the user's work and telling the user what
// failed: the question on the way out, the recovery of edits kept by a Config
// that had to end, why the Config ends, what the keyboard did not take.

#include <QApplication>

#include <ctime>
#include <filesystem>

#include "common/log.h"
#include "config/frame/config_dlg.h"
#include "config/frame/failure_text.h"
#include "config/frame/mirror_merge.h"
#include "config/frame/recovery.h"
#include "platform/atomic_file.h"
#include "widgets/choice_popup.h"
#include "widgets/popup_dlg.h"

namespace vyre {
namespace {

constexpr const char* kArea = "dialog";
// Notices 46 of one upload come within this of each other: one message for them all.
constexpr int kNotWrittenSettleMs = 1500;

void Tell(QWidget* owner, const std::string& caption, const std::string& text) {
    log::Warning(kArea, caption + ": " + text);
    widgets::ShowMessageBox(widgets::CPopupDlg::Form::Config, caption, text, owner);
}

}  // namespace

bool CVyreMKConfigDlg::HasUnappliedEdits() const {
    return !EditedBlocks(*shared_.mirror, *shared_.monitorCopy).empty();
}

void CVyreMKConfigDlg::Leave() {
    CloseLanguageMenu();
    if (!HasUnappliedEdits()) {
        Cancel();
        return;
    }
    const Unapplied answer =
        askUnapplied ? askUnapplied()
                     : static_cast<Unapplied>(widgets::AskWithChoices(
                           this, kUnappliedCaption, kUnappliedQuestion,
                           {"APPLY", "DISCARD", "STAY"}));
    switch (answer) {
        case Unapplied::Apply:
            Ok();
            return;
        case Unapplied::Discard:
            Cancel();
            return;
        case Unapplied::Stay:
            return;
    }
}

bool CVyreMKConfigDlg::KeepForRecovery() {
    const std::string bytes = RecoveryBytes(*shared_.mirror, *shared_.monitorCopy);
    std::error_code error;
    if (!platform::WriteFileAtomically(RecoveryFile(), bytes, &error)) {
        log::Error(kArea, "the changes not applied could not be kept in " + RecoveryFile().string() +
                              ": " + error.message());
        return false;
    }
    log::Info(kArea, "the changes not applied are kept in " + RecoveryFile().string());
    return true;
}

void CVyreMKConfigDlg::EndTelling(int reason) {
    const bool kept = HasUnappliedEdits() && KeepForRecovery();
    const EndMessage message = EndMessageOf(reason, shared_.deniedNode, kept);
    if (!message.text.empty()) Tell(this, message.caption, message.text);
    done(reason == kEndNoKeyboard ? widgets::IDOK : widgets::IDCANCEL);
}

void CVyreMKConfigDlg::OfferRecovery() {
    const auto bytes = platform::ReadWholeFile(RecoveryFile());
    if (!bytes) return;
    const bool take =
        askRecovery ? askRecovery()
                    : widgets::AskWithChoices(
                          this, "Changes kept",
                          "When the Config last had to close, some of your changes were not "
                          "applied yet. They were kept: take them back (they show here, and APPLY "
                          "sends them), or discard them?",
                          {"TAKE BACK", "DISCARD"}) == 0;
    std::error_code ignored;
    if (take) {
        bool damaged = false;
        const std::size_t taken = TakeRecoveryBytes(*bytes, *shared_.mirror, &damaged);
        StartPageHandling(false);
        SelectProfile(shared_.mirror->currentProfile());
        if (damaged) {
            // Kept aside, named, and read as far as it goes.
            const std::string aside = RecoveryFile().string() + ".damaged-" +
                                      std::to_string(std::time(nullptr));
            std::filesystem::rename(RecoveryFile(), aside, ignored);
            Tell(this, "Changes damaged",
                 "The file with your kept changes is damaged: " + std::to_string(taken) +
                     " changes could be read and are back. The file is kept as " + aside + ".");
        }
    }
    std::filesystem::remove(RecoveryFile(), ignored);
}

void CVyreMKConfigDlg::NotWritten(std::uint16_t command, unsigned profiles) {
    if (notWrittenSinceApply_) return;  // this APPLY's failures were told
    notWritten_[command] |= profiles;
    if (notWrittenTimer_ == nullptr) {
        notWrittenTimer_ = new QTimer(this);
        notWrittenTimer_->setSingleShot(true);
        QObject::connect(notWrittenTimer_, &QTimer::timeout, this, [this] { TellNotWritten(); });
    }
    notWrittenTimer_->start(kNotWrittenSettleMs);
}

void CVyreMKConfigDlg::TellNotWritten() {
    if (notWritten_.empty()) return;
    notWrittenSinceApply_ = true;
    ++notWrittenTold_;
    const std::string text = NotWrittenText(notWritten_);
    notWritten_.clear();
    Tell(this, "Not written", text);
}

void CVyreMKConfigDlg::TellNoMonitor() {
    Tell(this, "No Monitor", NoMonitorText());
}

}  // namespace vyre
