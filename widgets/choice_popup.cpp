#include "widgets/choice_popup.h"

#include "platform/record.h"
#include "widgets/skin_button.h"

namespace vyre::widgets {

CChoicePopup::CChoicePopup(const QString& caption, const QString& text, const QStringList& answers,
                           QWidget* owner)
    : CPopupDlg(Form::Config, owner), answers_(answers), answer_(answers.size() - 1) {
    SetMessage(caption, text);
}

void CChoicePopup::PrepareChoices() {
    Prepare();
    // The answers take the place of OK, in one row centred below the text.
    const QRect row = okButton()->geometry();
    okButton()->hide();
    constexpr int kWidth = 80, kGap = 8;
    const int n = static_cast<int>(answers_.size());
    int x = (width() - n * kWidth - (n - 1) * kGap) / 2;
    for (int i = 0; i < n; ++i, x += kWidth + kGap) {
        auto* button = new CSkinButton(ControlKind::Push, answers_[i], this);
        button->setObjectName(QString("answer%1").arg(i));
        button->setGeometry(x, row.y(), kWidth, row.height() + 3);
        QObject::connect(button, &QAbstractButton::clicked, this, [this, i] {
            answer_ = i;
            done(IDOK);
        });
    }
}

int CChoicePopup::Ask() {
    PrepareChoices();
    raise();
    activateWindow();
    answer_ = static_cast<int>(answers_.size()) - 1;
    exec();
    return answer_;
}

int AskWithChoices(QWidget* owner, const std::string& caption, const std::string& text,
                   const QStringList& answers) {
    platform::ActionRecord& record = platform::ActionRecord::Instance();
    if (record.Active()) {
        record.Write("question " + caption + ": " + text);
        return static_cast<int>(answers.size()) - 1;
    }
    if (!HasDisplay()) return static_cast<int>(answers.size()) - 1;
    CChoicePopup popup(QString::fromStdString(caption), QString::fromStdString(text), answers,
                       owner);
    return popup.Ask();
}

}  // namespace vyre::widgets
