#include "config/lights/illumination_dlg.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "common/key_table.h"
#include "common/log.h"
#include "config/frame/help_ids.h"

namespace vyre {
namespace {

using namespace lights;
using widgets::CKeyBoardBtn;
using widgets::CSkinCheckBox;
using widgets::CSkinMenuButton;

constexpr const char* kArea = "illumination";

// The page's panels: title and place.
struct Panel {
    const char* title;
    QRect at;
};
constexpr int kTopHeight = 128;
constexpr int kPictureTop = 134;
// The room the light groups and the LED feedback keep right of the picture.
constexpr int kGroupsWidth = 196;
const Panel kTopPanels[] = {
    {"LAYER ILLUMINATION", {0, 0, 150, kTopHeight}},
    {"KEY LIGHTING CONTROL", {156, 0, 212, kTopHeight}},
    {"KEY LIGHTING EFFECTS", {374, 0, 188, kTopHeight}},
    {"ILLUMINATION MODE", {568, 0, 202, kTopHeight}},
};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QFont TitleFont() {
    QFont f = widgets::TextFont(11, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.2);
    return f;
}

void DrawPanel(QPainter& p, const QRect& at, const QString& title) {
    p.setPen(QPen(widgets::colour::kBorder, 1));
    p.setBrush(widgets::colour::kPanel);
    p.drawRoundedRect(QRectF(at).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.setPen(widgets::colour::kTextSecondary);
    p.setFont(TitleFont());
    p.drawText(at.adjusted(10, 6, -6, 0), Qt::AlignLeft | Qt::AlignTop, title);
}

// A small caption beside a control ("ACTIVE LAYER", "SPEED:", "DELAY:", "FADE:").
QLabel* Label(QWidget* parent, const QString& text, const QRect& at) {
    auto* label = new QLabel(text, parent);
    label->setFont(widgets::TextFont(11, true));
    label->setStyleSheet("color: #9aa3ad; background: transparent;");
    label->setGeometry(at);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

std::vector<std::pair<int, QString>> NumberItems(int count, int (*id)(int)) {
    std::vector<std::pair<int, QString>> items;
    for (int n = 1; n <= count; ++n) items.emplace_back(id(n), QString::number(n));
    return items;
}

}  // namespace

// ---- the preview -------------------------------------------------------------------------------

void CKeyPreview::Show(PreviewForm form, int keyIndex, bool lit) {
    if (form == form_ && keyIndex == key_ && lit == lit_) return;
    form_ = form;
    key_ = keyIndex;
    lit_ = lit;
    update();
}

void CKeyPreview::paintEvent(QPaintEvent*) {
    if (form_ == PreviewForm::None) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The cap: square, wide, or the round thumb key.
    const qreal h = height() - 2.0;
    const qreal w = form_ == PreviewForm::Wide ? width() - 2.0 : h;
    const QRectF cap((width() - w) / 2.0, 1, w, h);
    p.setPen(QPen(widgets::colour::kAccent, 1.5));
    p.setBrush(lit_ ? widgets::colour::kAccent : widgets::colour::kControl);
    QString caption;
    if (form_ == PreviewForm::Thumb) {
        p.drawEllipse(cap.adjusted(w / 2 - h / 2, 0, -(w / 2 - h / 2), 0));
        caption = QString("T%1").arg(key_ - kThumbKey1 + 1);
    } else {
        p.drawRoundedRect(cap, 5, 5);
        caption = QString::fromStdU16String(std::u16string(KeyTableName(key_)));
    }
    p.setPen(lit_ ? QColor(0x0b, 0x2a, 0x30) : widgets::colour::kText);
    p.setFont(widgets::TextFont(caption.size() > 5 ? 9 : 12, true));
    p.drawText(cap.adjusted(3, 2, -3, -2), Qt::AlignCenter | Qt::TextWordWrap, caption);
}

// ---- the page ------------------------------------------------------------------------------------

CKeyIlluminationDlg::CKeyIlluminationDlg(ProfileStore& mirror, int layoutVariant, QWidget* parent)
    : QWidget(parent), mirror_(mirror), variant_(layoutVariant) {
    setFont(widgets::TextFont(13));

    // LAYER ILLUMINATION
    Label(this, "ACTIVE LAYER", {10, 30, 130, 14});
    layer_ = DropDown("Active layer", {10, 46, 130, 24}, help::kIlluminationLayer,
                      [this](int id) { model_->ChooseLayer(id); });

    // KEY LIGHTING CONTROL
    preview_ = new CKeyPreview(this);
    preview_->setGeometry(166, 30, 80, 44);
    preview_->setAttribute(Qt::WA_TransparentForMouseEvents);
    keyActivate_ = Box("ACTIVATE", false, {166, 96, 80, 18}, help::kIlluminationKeyActivate,
                       [this](bool on) { model_->SetKeyActivate(on); });
    blinking_ = Box("BLINKING", true, {256, 32, 104, 18}, help::kIlluminationBlinking,
                    [this](bool on) { model_->SetBlinking(on); });
    Label(this, "SPEED:", {256, 54, 48, 14});
    blinkSpeed_ = DropDown("Blinking speed", {304, 50, 54, 22}, help::kIlluminationBlinkingSpeed,
                           [this](int id) { model_->ChooseBlinkingSpeed(id); });
    breathing_ = Box("BREATHING", true, {256, 78, 104, 18}, help::kIlluminationBreathing,
                     [this](bool on) { model_->SetBreathing(on); });
    Label(this, "SPEED:", {256, 100, 48, 14});
    breathSpeed_ = DropDown("Breathing speed", {304, 96, 54, 22}, help::kIlluminationBreathingSpeed,
                            [this](int id) { model_->ChooseBreathingSpeed(id); });
    blinkSpeed_->SetItems(NumberItems(kSpeedItems, SpeedItemId));
    breathSpeed_->SetItems(NumberItems(kSpeedItems, SpeedItemId));

    // KEY LIGHTING EFFECTS
    effectsActivate_ = Box("ACTIVATE", false, {384, 30, 110, 18}, help::kIlluminationEffects,
                           [this](bool on) { model_->SetEffectsActivate(on); });
    fadeFx_ = Box("FADE FX", true, {384, 52, 110, 18}, help::kIlluminationFadeFx,
                  [this](bool on) { model_->SetFadeFx(on); });
    Label(this, "DELAY:", {384, 78, 44, 14});
    delay_ = DropDown("Delay", {426, 74, 50, 22}, help::kIlluminationDelay,
                      [this](int id) { model_->ChooseDelay(id); });
    Label(this, "FADE:", {484, 78, 36, 14});
    fade_ = DropDown("Fade", {518, 74, 40, 22}, help::kIlluminationFade,
                     [this](int id) { model_->ChooseFade(id); });
    delay_->SetItems(NumberItems(kDelayItems, DelayItemId));
    fade_->SetItems(NumberItems(kDelayItems, DelayItemId));
    rippleFx_ = Box("RIPPLE FX", true, {384, 102, 110, 18}, help::kIlluminationRippleFx,
                    [this](bool on) { model_->SetRippleFx(on); });

    // ILLUMINATION MODE
    automatic_ = Box("AUTOMATIC", true, {578, 30, 140, 18}, help::kIlluminationAutomatic,
                     [this](bool) { model_->SetMode(0); });
    manual_ = Box("MANUAL", true, {578, 52, 140, 18}, help::kIlluminationManual,
                  [this](bool) { model_->SetMode(1); });
    lightMacros_ = new widgets::CSkinButton(widgets::ControlKind::Push, "LED MACRO MANAGER", this);
    lightMacros_->setGeometry(578, 86, 182, 28);
    lightMacros_->setHelpId(help::kIlluminationLightMacros);
    QObject::connect(lightMacros_, &QAbstractButton::clicked, this,
                     [this] { OpenLightMacroManager(); });

    BuildPicture();
}

CKeyIlluminationDlg::~CKeyIlluminationDlg() = default;

CSkinCheckBox* CKeyIlluminationDlg::Box(const QString& caption, bool radio, const QRect& at,
                                        int helpId, std::function<void(bool)> act) {
    auto* box = new CSkinCheckBox(caption, radio, this);
    // The page decides every tick: a radio that is clicked again goes off.
    box->setAutoExclusive(false);
    box->setGeometry(at);
    box->setHelpId(helpId);
    QObject::connect(box, &QAbstractButton::clicked, this,
                     [this, act = std::move(act)](bool on) { Act([&] { act(on); }); });
    return box;
}

CSkinMenuButton* CKeyIlluminationDlg::DropDown(const QString& label, const QRect& at, int helpId,
                                              std::function<void(int)> act) {
    auto* box = new CSkinMenuButton("", this);
    box->SetLabel(label);
    box->setGeometry(at);
    box->setHelpId(helpId);
    box->onChosen = [this, act = std::move(act)](int id) { Act([&] { act(id); }); };
    return box;
}

void CKeyIlluminationDlg::BuildPicture() {
    StopAnimation();
    delete picture_;
    for (auto* g : groups_) delete g;
    delete macroFeedback_;
    delete volumeIndicator_;

    picture_ = new widgets::CKeyboardPicture(this);
    picture_->SetLayoutCode(variant_);
    picture_->onKeyClicked = [this](int keyIndex, int) { ClickKey(keyIndex); };
    for (CKeyBoardBtn* key : picture_->keys()) {
        if (key != nullptr) key->setHelpId(help::kIlluminationKey);
    }
    shownBlinkMs_.fill(0);
    shownBreathMs_.fill(0);
    for (int g = 0; g < kGroupCount; ++g) {
        groups_[g] = Box(LightGroupCaption(g), false, {}, help::kIlluminationGroupAll + g,
                         [this, g](bool on) { model_->SetGroup(g, on); });
    }
    macroFeedback_ = Box("MACRO EXECUTION LED FEEDBACK", false, {},
                         help::kIlluminationMacroFeedback,
                         [this](bool on) { model_->SetMacroFeedback(on); });
    volumeIndicator_ = Box("LED VOLUME INDICATOR", false, {}, help::kIlluminationVolumeIndicator,
                           [this](bool on) { model_->SetVolumeIndicator(on); });
    for (auto* box : {macroFeedback_, volumeIndicator_}) box->setFont(widgets::TextFont(11));
    LayOut();
    picture_->show();
    for (auto* g : groups_) g->show();
    macroFeedback_->show();
    volumeIndicator_->show();

    // The picture's keys outside F KEYS and the thumb keys make the MAIN BLOCK.
    std::vector<int> shown;
    for (int k = 0; k < kKeyCount; ++k) {
        if (widgets::CKeyboardPicture::KeyOnLayout(k, variant_)) shown.push_back(k);
    }
    if (model_ == nullptr) {
        model_ = std::make_unique<IlluminationModel>(mirror_, MainBlockKeys(shown), variant_);
        model_->SetUp();
    } else {
        model_->SetLayout(MainBlockKeys(shown), variant_);
        model_->Refresh();
    }
    Show();
    update();
}

void CKeyIlluminationDlg::LayOut() {
    if (picture_ == nullptr) return;
    // The picture as large as the band below the controls allows (the larger
    // the caps, the larger their names), leaving room on the right for the
    // light groups and the LED feedback.
    const QSizeF units = widgets::CKeyboardPicture::PictureUnits();
    const int h = std::max(100, height() - kPictureTop);
    const int w =
        std::min(width() - kGroupsWidth, static_cast<int>(h * units.width() / units.height()));
    picture_->setGeometry(0, kPictureTop, w, h);
    const int x = w + 16;
    const int column = (width() - x - 8) / 2;
    for (int g = 0; g < kGroupCount; ++g) {
        groups_[g]->setGeometry(x + (g % 2) * column, kPictureTop + 30 + (g / 2) * 22, column - 2,
                                18);
    }
    macroFeedback_->setGeometry(x, kPictureTop + 136, width() - x - 4, 18);
    volumeIndicator_->setGeometry(x, kPictureTop + 158, width() - x - 4, 18);
}

void CKeyIlluminationDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void CKeyIlluminationDlg::SetLayoutVariant(int layoutVariant) {
    if (layoutVariant == variant_) return;
    variant_ = layoutVariant;
    BuildPicture();
}

void CKeyIlluminationDlg::Refresh() {
    model_->Refresh();
    Show();
}

void CKeyIlluminationDlg::ClickKey(int keyIndex) {
    Act([&] { model_->SelectKey(keyIndex); });
}

void CKeyIlluminationDlg::SetMacroLink(MacroLinkSender send) {
    macroLink_ = std::move(send);
    lightEditor_.reset();
}

IllMacroManagerDlg& CKeyIlluminationDlg::lightMacroEditor() {
    if (!lightEditor_) lightEditor_ = std::make_unique<IllMacroManagerDlg>(mirror_, macroLink_, this);
    return *lightEditor_;
}

void CKeyIlluminationDlg::OpenLightMacroManager() {
    IllMacroManagerDlg& editor = lightMacroEditor();
    editor.Preselect(-1, -1);
    if (editor.Open() == QDialog::Accepted && onLightMacrosChanged) onLightMacrosChanged();
}

void CKeyIlluminationDlg::Act(const std::function<void()>& change) {
    change();
    Show();
}

void CKeyIlluminationDlg::Show() {
    const IlluminationModel& m = *model_;
    auto show = [](CSkinCheckBox* box, const IlluminationModel::Box& state) {
        box->setChecked(state.checked);
        box->setEnabled(state.enabled);
    };
    show(keyActivate_, m.keyActivate);
    show(blinking_, m.blinking);
    show(breathing_, m.breathing);
    show(effectsActivate_, m.effectsActivate);
    show(fadeFx_, m.fadeFx);
    show(rippleFx_, m.rippleFx);
    for (int g = 0; g < kGroupCount; ++g) show(groups_[g], m.groups[g]);
    show(automatic_, m.automatic);
    show(manual_, m.manual);
    show(macroFeedback_, m.macroFeedback);
    show(volumeIndicator_, m.volumeIndicator);

    // The layer box offers the mode's layers.
    if (m.layerItems() != layerItems_) {
        layerItems_ = m.layerItems();
        std::vector<std::pair<int, QString>> items;
        for (int id : layerItems_) items.emplace_back(id, LayerName(LayerOfItem(id)));
        layer_->SetItems(items);
    }
    layer_->ShowValue(Q(m.layerCaption()));
    layer_->SetChecked(kLayerItemNormal + m.layer());
    auto showDropDown = [](CSkinMenuButton* box, const IlluminationModel::DropDown& state) {
        box->ShowValue(Q(state.caption));
        box->SetChecked(state.chosen);
    };
    showDropDown(blinkSpeed_, m.blinkingSpeed);
    showDropDown(breathSpeed_, m.breathingSpeed);
    showDropDown(delay_, m.delay);
    showDropDown(fade_, m.fade);

    preview_->Show(m.preview(), m.previewKey(), model_->record().lit(m.previewKey()));
    ShowKeys();
}

void CKeyIlluminationDlg::ShowKeys() {
    IlluminationRecord r = model_->record();
    const bool animate = isVisible();
    bool any = false;
    for (CKeyBoardBtn* key : picture_->keys()) {
        if (key == nullptr) continue;
        const int k = key->keyIndex();
        if (k == model_->selectedKey()) {
            if (!key->selected()) key->SetState(CKeyBoardBtn::kSelected);
        } else if (key->selected()) {
            key->SetState(CKeyBoardBtn::kNormal);
        }
        const KeyLight light = r.key(k);
        const bool blink = animate && light.lit() && light.look() == KeyLook::Blinking;
        const bool breathe = animate && light.lit() && light.look() == KeyLook::Breathing;
        any = any || blink || breathe;
        // The key cap's blink period is one phase: half the on-and-off cycle.
        // A key keeps its phase unless its animation changes.
        const int blinkMs = blink ? static_cast<int>(BlinkCycleMs(light.period()) / 2) : 0;
        const int breathMs = breathe ? static_cast<int>(BreathCycleMs(light.period())) : 0;
        if (key->lit() != light.lit()) key->SetLit(light.lit());
        if (shownBlinkMs_[k] != blinkMs) {
            key->SetBlink(blink, std::max(blinkMs, 1));
            shownBlinkMs_[k] = blinkMs;
        }
        if (shownBreathMs_[k] != breathMs) {
            key->SetBreathing(breathe, std::max(breathMs, 1));
            shownBreathMs_[k] = breathMs;
        }
    }
    animating_ = any;
}

void CKeyIlluminationDlg::StopAnimation() {
    animating_ = false;
    if (picture_ == nullptr) return;
    for (CKeyBoardBtn* key : picture_->keys()) {
        if (key == nullptr) continue;
        if (key->blinking()) key->SetBlink(false);
        if (key->breathing()) key->SetBreathing(false);
    }
    shownBlinkMs_.fill(0);
    shownBreathMs_.fill(0);
}

void CKeyIlluminationDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ShowKeys();
}

void CKeyIlluminationDlg::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    StopAnimation();  // no timers run while nobody sees the picture
}

void CKeyIlluminationDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    for (const Panel& panel : kTopPanels) DrawPanel(p, panel.at, panel.title);
    const int x = picture_->geometry().right() + 6;
    DrawPanel(p, {x, kPictureTop, width() - x, 100}, "PRE-DEFINED LIGHTGROUPS");
    DrawPanel(p, {x, kPictureTop + 106, width() - x, height() - kPictureTop - 106}, "LED FEEDBACK");
}

}  // namespace vyre
