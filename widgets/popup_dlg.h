#pragma once
// CPopupDlg, the skinned message box of both programs: its face bitmap holds
// the whole message; OK, in the two-button form a cancel button, and a close
// button at the top right. Run modally; IDOK from OK, IDCANCEL from cancel,
// the close button or Escape. Its text form draws the face from a caption
// and a message instead, for the programs' message boxes.

#include <QString>

#include <string>

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
    // The text form: the face shows the caption (in capitals) and the
    // message, and grows downwards when the message needs more room.
    void SetMessage(const QString& caption, const QString& message, bool warning = false);

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
    bool textForm_ = false, warning_ = false;
    QString caption_, message_;
    CPushDownBtn close_, ok_, cancel_;
};

// A notice in the popup's face that comes and goes by itself: no buttons,
// never takes the focus, above other windows, centred low on the screen,
// gone after its time (or a click).
inline constexpr int kNoticeMs = 1500;
class CPopupNotice : public CBitmapDialog {
  public:
    CPopupNotice(const QString& caption, const QString& message);
    // Shows it without activating it and closes it after `ms`.
    void ShowFor(int ms);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// Shows a notice, replacing one still shown. While the action record is
// active it is written there as "notice <caption>: <text>" instead; without
// a display nothing is shown. GUI thread only. Returns the notice shown.
CPopupNotice* ShowNotice(const std::string& caption, const std::string& text, int ms = kNoticeMs);

// The Config's two-button question with its face bitmaps: true for OK.
bool AskWithPopup(QWidget* owner, int faceId, int secondId);

// True when a person can see and close a dialog: a Qt application runs on
// a platform other than offscreen or minimal.
bool HasDisplay();

// A message box of either program, in the kit's look, with one OK button:
// while the action record is active it is written there as
// "message-box <caption>: <text>" instead; without a display (no Qt
// application, or Qt's offscreen and minimal platforms) nothing is shown,
// since nobody could close it. On the GUI thread it runs modally; from
// any other thread it is queued to the GUI thread and the caller goes on.
// The caller logs the message: it knows the area it belongs to.
void ShowMessageBox(CPopupDlg::Form form, const std::string& caption, const std::string& text,
                    QWidget* owner = nullptr);

}  // namespace vyre::widgets
