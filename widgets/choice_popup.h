#pragma once
// A question of the Config in the kit's popup, with a button for each answer
// (captions in capitals, left to right). Escape and the close button give the
// last answer, which should be the one that changes nothing.

#include <QString>
#include <QStringList>

#include "widgets/popup_dlg.h"

namespace vyre::widgets {

class CChoicePopup : public CPopupDlg {
  public:
    CChoicePopup(const QString& caption, const QString& text, const QStringList& answers,
                 QWidget* owner = nullptr);
    // Builds the dialog (done by Ask; screenshots call it to look at it).
    void PrepareChoices();
    // Runs it modally: the index of the answer.
    int Ask();

  private:
    QStringList answers_;
    int answer_;
};

// Asks with a CChoicePopup. Without a display (nobody could answer) and
// while the action record is active (written there as "question <caption>:
// <text>"), the last answer.
int AskWithChoices(QWidget* owner, const std::string& caption, const std::string& text,
                   const QStringList& answers);

}  // namespace vyre::widgets
