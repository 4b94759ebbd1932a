#pragma once
// CPopupDlg, the skinned message box of both programs: its face bitmap holds
// the whole message; OK, in the two-button form a cancel button, and a close
// button at the top right. Run modally; IDOK from OK, IDCANCEL from cancel,
// the close button or Escape.

#include "widgets/bitmap_dialog.h"

namespace vyre::widgets {

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

class CPopupDlg : public CBitmapDialog {
  public:
    // Which program's form: the Monitor's is centred on the desktop, the
    // Config's on its owner.
    enum class Form { Monitor, Config };

    explicit CPopupDlg(Form form, QWidget* owner = nullptr);

    void SetFaceBitmaps(int faceId, int secondId) { faceId_ = faceId, secondId_ = secondId; }
    void SetTwoButtons(bool two) { twoButtons_ = two; }

    // Builds the dialog as set (done by Run; tests and screenshots call it
    // to look at the dialog without running it).
    void Prepare();
    // Runs it modally: IDOK or IDCANCEL.
    int Run();

    CPushDownBtn* okButton() { return &ok_; }
    CPushDownBtn* cancelButton() { return &cancel_; }
    CPushDownBtn* closeButton() { return &close_; }

  private:
    Form form_;
    int faceId_ = 0, secondId_ = 0;
    bool twoButtons_ = false;
    CPushDownBtn close_, ok_, cancel_;
};

// The Config's two-button question with its face bitmaps: true for OK.
bool AskWithPopup(QWidget* owner, int faceId, int secondId);

}  // namespace vyre::widgets
