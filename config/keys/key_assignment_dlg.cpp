#include "config/keys/key_assignment_dlg.h"

#include "config/lights/macro_manager_dlg.h"

#include <QPainter>

#include <cstring>

#include "common/log.h"
#include "common/macro_image.h"
#include "config/keys/key_entries.h"
#include "config/keys/key_help_ids.h"
#include "platform/text.h"

namespace vyre {
namespace {

using namespace key_page;
using widgets::ControlKind;
using widgets::CSkinButton;
using widgets::CSkinMenuButton;

constexpr const char* kArea = "keys";

QString Q(std::u16string_view text) {
    return QString::fromStdU16String(std::u16string(text));
}

QString FromMultiByte(const std::string& bytes) {
    return Q(text::MultiByteToWide(text::kCodePageSystem, bytes));
}

int MenuIndex(KeyGroup group, Layer layer) {
    return (static_cast<int>(group) - 1) * 2 + static_cast<int>(layer);
}

// The first key of each group, selected when the arrows reach it.
int FirstKeyOf(KeyGroup group) {
    switch (group) {
        case KeyGroup::Function: return 2;
        case KeyGroup::Thumb: return kThumbKey1;
        case KeyGroup::Normal: break;
    }
    return 12;
}

const char* GroupCaption(KeyGroup group) {
    switch (group) {
        case KeyGroup::Function: return "FUNCTION KEYS";
        case KeyGroup::Thumb: return "THUMB KEYS";
        case KeyGroup::Normal: break;
    }
    return "NORMAL KEYS";
}

// The fixed-code submenus of the thumb keys' menus.
constexpr int kProfileItems[] = {32787, 32860, 32789, 32862, 32791, 32864, 32793, 32866};
constexpr int kMediaItems[] = {32795, 32868, 32797, 32870, 32799, 32872, 32801, 32874};
constexpr int kInternetItems[] = {32844, 32845, 32851, 32852, 32853, 32854, 32855};
constexpr int kSystemItems[] = {32848, 32847, 32846};
constexpr int kFlexlayerThisKeyboard = 32778;
constexpr int kFlexlayerAllDevices = 32803;
constexpr int kMacroPlayPause = 32849;
constexpr int kStopTimer = 32858;
constexpr int kEmailItems[] = {32788, 32861, 32790, 32863};  // Email .. IE Browser
constexpr int kOpenDriver = 32794;

// The id range of each kind of dynamic item.
bool InKind(int id, int kind) {
    switch (kind) {
        case kKindTimers: return id >= kFirstTimerItem && id < kFirstMacroGroupItem;
        case kKindMacros: return id >= kFirstMacroGroupItem && id < kFirstTalkItem;
        case kKindTalk: return id >= kFirstTalkItem && id < kFirstLightMacroGroupItem;
        case kKindLightMacros: return id >= kFirstLightMacroGroupItem && id < 32768;
        default: return false;
    }
}

bool IsTalkCode(std::uint8_t code) {
    return code == fncode::kFlexlayerAllDevices ||
           (code >= fncode::kTalkFlexlayer && code <= fncode::kTalkDpiStage1 + 4);
}

// What "Standard" gives a key on a layer. A normal key's primary layer is the
// usage the key sends: its own.
std::uint8_t StandardCode(int key, Layer layer) {
    if (KeyGroupOf(key) == KeyGroup::Normal && layer == Layer::Primary)
        return static_cast<std::uint8_t>(KeyUsage(key));
    return StandardFunctionCode(key, layer);
}

}  // namespace

CKeyAssignmentDlg::CKeyAssignmentDlg(ProfileStore& mirror, QWidget* parent)
    : QWidget(parent), mirror_(mirror) {
    setFont(widgets::TextFont(14));
    auto caption = [this](const char* text, const QRect& at) {
        auto* label = new QLabel(text, this);
        label->setGeometry(at);
        label->setFont(widgets::TextFont(12, true));
        label->setStyleSheet("color: #9aa3ad; background: transparent; letter-spacing: 1px;");
        return label;
    };
    previous_ = new CSkinButton(ControlKind::Push, "<", this);
    previous_->setGeometry(8, 24, 26, 30);
    previous_->setHelpId(help::kPreviousKeyGroup);
    groupCaption_ = caption("", QRect(36, 24, 126, 30));
    groupCaption_->setAlignment(Qt::AlignCenter);
    groupCaption_->setStyleSheet("color: #e6e9ee; background: transparent;");
    next_ = new CSkinButton(ControlKind::Push, ">", this);
    next_->setGeometry(164, 24, 26, 30);
    next_->setHelpId(help::kNextKeyGroup);
    QObject::connect(previous_, &QAbstractButton::clicked, this, [this] { PreviousGroup(); });
    QObject::connect(next_, &QAbstractButton::clicked, this, [this] { NextGroup(); });

    enlarged_ = new widgets::CKeyBoardBtn(12, this);
    enlarged_->setGeometry(202, 8, 64, 60);
    enlarged_->setHelpId(help::kSelectedKeyPicture);
    enlarged_->SetState(widgets::CKeyBoardBtn::kSelected);
    enlarged_->setAttribute(Qt::WA_TransparentForMouseEvents);
    thumbPicture_ = new widgets::CKeyBoardBtn(kThumbKey2, this);
    thumbPicture_->setGeometry(enlarged_->geometry());
    thumbPicture_->setHelpId(help::kSelectedKeyPicture);
    thumbPicture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    thumbPicture_->hide();

    caption("PRIMARY KEY FUNCTION", QRect(278, 4, 200, 16));
    primary_ = new CSkinMenuButton("", this);
    primary_->setGeometry(278, 24, 196, 30);
    primary_->setHelpId(help::kPrimaryKeyFunction);
    primary_->SetLabel("Primary key function");
    caption("SECONDARY KEY FUNCTION", QRect(484, 4, 210, 16));
    secondary_ = new CSkinMenuButton("", this);
    secondary_->setGeometry(484, 24, 196, 30);
    secondary_->setHelpId(help::kSecondaryKeyFunction);
    secondary_->SetLabel("Secondary key function");
    macro_ = new CSkinButton(ControlKind::Push, "MACRO", this);
    macro_->setGeometry(690, 24, 76, 30);
    macro_->setHelpId(help::kMacroButton);
    QObject::connect(macro_, &QAbstractButton::clicked, this, [this] {
        if (OpenMacroManager(-1, -1)) RebuildSubmenu(kKindMacros);
    });

    picture_ = new widgets::CKeyboardPicture(this);
    picture_->setGeometry(14, 80, 752, 232);
    picture_->onKeyClicked = [this](int key, int mode) { ShowKey(key, mode); };
    for (widgets::CKeyBoardBtn* key : picture_->keys()) {
        switch (KeyGroupOf(key->keyIndex())) {
            case KeyGroup::Function: key->setHelpId(help::kFunctionKeyCap); break;
            case KeyGroup::Thumb: key->setHelpId(help::kThumbKeyCap); break;
            case KeyGroup::Normal: key->setHelpId(help::kNormalKeyCap); break;
        }
    }
    for (std::size_t i = 0; i < menus_.size(); ++i) {
        menus_[i].menu = new QMenu(this);
        menus_[i].menu->setStyleSheet(widgets::KitStyleSheet());
        menus_[i].menu->setFont(widgets::TextFont(13));
        menus_[i].layer = static_cast<Layer>(i % 2);
    }
    menus_[0].resourceId = kMenuNormalPrimary;
    menus_[1].resourceId = kMenuNormalSecondary;
    menus_[2].resourceId = kMenuFunctionKeys;
    menus_[3].resourceId = kMenuFunctionKeys;
    menus_[4].resourceId = kMenuThumbPrimary;
    menus_[5].resourceId = kMenuThumbSecondary;
}

CKeyAssignmentDlg::~CKeyAssignmentDlg() = default;

int CKeyAssignmentDlg::profile() const {
    return mirror_.currentProfile();
}

void CKeyAssignmentDlg::Initialise() {
    ApplyModel();
    group_ = KeyGroup::Thumb;  // so that the first key switches to group 1
    SwitchGroup(KeyGroup::Normal);
    ShowKey(12, widgets::kKeyClickGreyed);
}

void CKeyAssignmentDlg::ApplyModel() {
    model_ = mirror_.hostSettingsBlock.modelFlag;
    layoutCode_ = mirror_.hostSettingsBlock.layoutCode;
    picture_->SetLayoutCode(layoutCode_);
    BuildMenus();
    // A key the new layout lacks gives way to the first key of its group.
    if (!widgets::CKeyboardPicture::KeyOnLayout(selectedKey_, layoutCode_))
        selectedKey_ = FirstKeyOf(group_);
    const KeyGroup group = group_;
    group_ = group == KeyGroup::Normal ? KeyGroup::Thumb : KeyGroup::Normal;
    SwitchGroup(group);
    ShowKey(selectedKey_, 0);
}

void CKeyAssignmentDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The page's panel; the selected group's band behind its caption.
    p.fillRect(rect(), widgets::colour::kPanel);
    p.setPen(widgets::colour::kBorder);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.fillRect(QRect(34, 24, 130, 30), widgets::colour::kControl);
}

// ---- groups and keys ------------------------------------------------------------------------

void CKeyAssignmentDlg::SwitchGroup(KeyGroup group) {
    if (group == group_) return;
    group_ = group;
    for (widgets::CKeyBoardBtn* key : picture_->keys()) {
        const bool greyed = KeyGroupOf(key->keyIndex()) != group;
        key->SetGreyed(greyed);
        if (greyed && key->state() == widgets::CKeyBoardBtn::kSelected)
            key->SetState(widgets::CKeyBoardBtn::kNormal);
    }
    primary_->SetMenu(SetOf(group, Layer::Primary).menu);
    secondary_->SetMenu(SetOf(group, Layer::Secondary).menu);
    groupCaption_->setText(GroupCaption(group));
}

void CKeyAssignmentDlg::NextGroup() {
    const KeyGroup next = group_ == KeyGroup::Normal     ? KeyGroup::Function
                          : group_ == KeyGroup::Function ? KeyGroup::Thumb
                                                         : KeyGroup::Normal;
    ShowKey(FirstKeyOf(next), widgets::kKeyClickGreyed);
}

void CKeyAssignmentDlg::PreviousGroup() {
    const KeyGroup previous = group_ == KeyGroup::Thumb      ? KeyGroup::Function
                              : group_ == KeyGroup::Function ? KeyGroup::Normal
                                                             : KeyGroup::Thumb;
    ShowKey(FirstKeyOf(previous), widgets::kKeyClickGreyed);
}

void CKeyAssignmentDlg::ShowKey(int keyIndex, int mode) {
    (void)mode;  // active or greyed: the key is selected either way
    if (!widgets::CKeyboardPicture::KeyOnLayout(keyIndex, layoutCode_)) return;
    SwitchGroup(KeyGroupOf(keyIndex));
    for (widgets::CKeyBoardBtn* key : picture_->keys()) {
        if (key->keyIndex() != keyIndex && key->state() == widgets::CKeyBoardBtn::kSelected)
            key->SetState(widgets::CKeyBoardBtn::kNormal);
    }
    picture_->key(keyIndex)->SetState(widgets::CKeyBoardBtn::kSelected);
    picture_->SetCurrentKey(keyIndex);  // where Tab reaches the picture
    selectedKey_ = keyIndex;
    enlarged_->SetCaption(picture_->key(keyIndex)->text());
    // Thumb keys: key 2 shows the two-state picture on, key 3 off, key 1 neither.
    enlarged_->setVisible(!IsThumbKey(keyIndex));
    thumbPicture_->setVisible(keyIndex == kThumbKey2 || keyIndex == kThumbKey3);
    thumbPicture_->SetCaption(picture_->key(keyIndex)->text());
    thumbPicture_->SetLit(keyIndex == kThumbKey2);
    ShowFunctions();
}

void CKeyAssignmentDlg::Refresh(bool rebuildMacros) {
    if (rebuildMacros) RebuildSubmenu(kKindMacros);
    ShowKey(selectedKey_, 0);
}

void CKeyAssignmentDlg::ShowFunctions() {
    const int key = selectedKey_;
    for (Layer layer : {Layer::Primary, Layer::Secondary}) {
        CSkinMenuButton* button = layer == Layer::Primary ? primary_ : secondary_;
        const auto entry = ReadKeyEntry(mirror_, profile(), key, layer, layoutCode_);
        // A key outside its group's list (the macro keys' Flexlayer, ESC, ...)
        // has nothing to show or choose on that layer.
        button->setEnabled(entry.has_value());
        button->ShowValue(entry ? FunctionText(key, layer, *entry) : QString());
        button->SetChecked(0);
        if (entry) CheckAssignedItems(layer, *entry);
    }
    MarkAssignedKeys();
}

std::optional<int> CKeyAssignmentDlg::SlotOf(int keyIndex, Layer layer) const {
    return FunctionSlot(keyIndex, layer, layoutCode_);
}

QString CKeyAssignmentDlg::FunctionText(int keyIndex, Layer layer, FunctionEntry entry) const {
    const int p = profile();
    const auto slot = SlotOf(keyIndex, layer);
    const bool data = slot && SlotHasData(*slot);
    switch (entry.code) {
        case fncode::kShortcut:
            return Q(ShortcutDisplayText(entry.data1, entry.data2));
        case fncode::kQuickLaunch:
            if (data && !mirror_.hostSettingsBlock.keyLaunchPaths[p][*slot].displayName.empty())
                return Q(mirror_.hostSettingsBlock.keyLaunchPaths[p][*slot].displayName.str());
            break;
        case fncode::kTimer:
            if (data) return FromMultiByte(mirror_.hostSettingsBlock.keyTimers[p][*slot].name.str());
            break;
        case fncode::kMacro:
            if (slot && SlotHasMacro(*slot)) return FromMultiByte(mirror_.macroReports[p][*slot].name.str());
            break;
        case fncode::kLightMacro:
        case fncode::kLightMacroFlagged:
            if (data) return FromMultiByte(mirror_.lightMacroBlocks[p][*slot].name.str());
            break;
        default:
            break;
    }
    if (IsThumbKey(keyIndex) && layer == Layer::Primary && IsTalkCode(entry.code)) {
        const TalkCommandEntry& talk =
            mirror_.hostSettingsBlock.talkCommands[p][kThumbTalkEntry + keyIndex - kThumbKey1];
        if (!talk.name.empty()) return Q(talk.name.str());
    }
    // A normal key sends a usage: the key's name as the desktop gives it.
    if (KeyGroupOf(keyIndex) == KeyGroup::Normal && KeyIndexOfUsage(entry.code).has_value())
        return Q(LocalisedKeyName(entry.code, keyNames_));
    if (const auto name = FunctionName(entry.code)) return Q(*name);
    // A code without a name of its own: the key that sends it.
    return Q(LocalisedKeyName(entry.code, keyNames_));
}

void CKeyAssignmentDlg::CheckAssignedItems(Layer layer, FunctionEntry entry) {
    CSkinMenuButton* button = layer == Layer::Primary ? primary_ : secondary_;
    const int p = profile();
    const auto slot = SlotOf(selectedKey_, layer);
    // A macro or light macro on the key: its item, found by the names kept in the slot.
    if (slot && (entry.code == fncode::kMacro || entry.code == fncode::kLightMacro ||
                 entry.code == fncode::kLightMacroFlagged)) {
        const bool macro = entry.code == fncode::kMacro;
        if (macro ? !SlotHasMacro(*slot) : !SlotHasData(*slot)) return;
        const std::string set = macro ? mirror_.macroReports[p][*slot].setName.str()
                                      : mirror_.lightMacroBlocks[p][*slot].setName.str();
        const std::string name = macro ? mirror_.macroReports[p][*slot].name.str()
                                       : mirror_.lightMacroBlocks[p][*slot].name.str();
        const auto& list = macro ? mirror_.macros : mirror_.lightMacros;
        for (const auto& [id, item] : menuCommands_) {
            if (item.code != entry.code && !(macro == false && (item.code == fncode::kLightMacro ||
                                                                 item.code == fncode::kLightMacroFlagged)))
                continue;
            if (item.index >= list.size()) continue;
            if (list[item.index].setName.str() == set && list[item.index].name.str() == name) {
                button->SetChecked(id);
                return;
            }
        }
        return;
    }
    if (layer == Layer::Secondary || KeyGroupOf(selectedKey_) != KeyGroup::Normal) {
        for (const MenuCommand& command : MenuCommandTable()) {
            if (command.code == entry.code) {
                button->SetChecked(command.id);
                return;
            }
        }
    }
    if (entry.code == StandardCode(selectedKey_, layer)) button->SetChecked(menu_cmd::kStandard);
    if (entry.code == 0) button->SetChecked(menu_cmd::kDisable);
}

void CKeyAssignmentDlg::MarkAssignedKeys() {
    // A key whose functions differ from its defaults carries the assigned dot.
    const int p = profile();
    for (widgets::CKeyBoardBtn* button : picture_->keys()) {
        const int key = button->keyIndex();
        bool assigned = false;
        for (Layer layer : {Layer::Primary, Layer::Secondary}) {
            const auto entry = ReadKeyEntry(mirror_, p, key, layer, layoutCode_);
            if (!entry || *entry == FunctionEntry{StandardCode(key, layer), 0, 0}) continue;
            // An empty Flexlayer entry is how a store without one starts.
            if (KeyGroupOf(key) == KeyGroup::Normal && layer == Layer::Secondary &&
                *entry == FunctionEntry{})
                continue;
            assigned = true;
        }
        button->SetAssigned(assigned);
    }
}

// ---- menus ----------------------------------------------------------------------------------

QMenu& CKeyAssignmentDlg::menuOf(KeyGroup group, Layer layer) {
    return *SetOf(group, layer).menu;
}

int CKeyAssignmentDlg::menuIdOf(KeyGroup group, Layer layer) const {
    return menus_[static_cast<std::size_t>(MenuIndex(group, layer))].resourceId;
}

CKeyAssignmentDlg::MenuSet& CKeyAssignmentDlg::SetOf(KeyGroup group, Layer layer) {
    return menus_[static_cast<std::size_t>(MenuIndex(group, layer))];
}

const _SMenuCommand* CKeyAssignmentDlg::menuCommand(int id) const {
    const auto it = menuCommands_.find(id);
    return it == menuCommands_.end() ? nullptr : &it->second;
}

QAction* CKeyAssignmentDlg::AddItem(QMenu& into, int id, const QString& text, Layer layer) {
    QAction* action = into.addAction(text);
    action->setCheckable(true);
    action->setData(id);
    QObject::connect(action, &QAction::triggered, this,
                     [this, id, layer] { ChooseMenuItem(id, layer); });
    return action;
}

QMenu* CKeyAssignmentDlg::AddPlaceholder(MenuSet& set, int kind, const QString& title) {
    QMenu* sub = set.menu->addMenu(title);
    set.dynamic[kind] = sub;
    return sub;
}

void CKeyAssignmentDlg::BuildMenus() {
    menuCommands_.clear();
    for (MenuSet& set : menus_) BuildMenu(set);
    // The dynamic submenus: macros, timers, talk devices, and the light
    // macros of model flag 2.
    RebuildSubmenu(kKindMacros);
    RebuildSubmenu(kKindTimers);
    RebuildSubmenu(kKindTalk);
    if (model_ == 2) RebuildSubmenu(kKindLightMacros);
}

void CKeyAssignmentDlg::BuildMenu(MenuSet& set) {
    QMenu& m = *set.menu;
    for (auto& [kind, sub] : set.dynamic) sub->deleteLater();
    set.dynamic.clear();
    m.clear();
    const Layer layer = set.layer;
    auto add = [&](QMenu& into, int id) { AddItem(into, id, Q(MenuCommandText(id)), layer); };
    // Model flag 2 puts the light macros where model 1 has its timers.
    const int timerOrLight = model_ == 2 ? kKindLightMacros : kKindTimers;
    const QString timerOrLightTitle = model_ == 2 ? "LED Macro" : "Assing Timer";
    switch (set.resourceId) {
        case kMenuNormalPrimary:
            add(m, menu_cmd::kStandard);
            add(m, menu_cmd::kRemap);
            add(m, menu_cmd::kDisable);
            return;
        case kMenuNormalSecondary:
            AddPlaceholder(set, kKindMacros, "Macro + Preset Function");
            AddPlaceholder(set, timerOrLight, timerOrLightTitle);
            add(m, menu_cmd::kStandard);
            add(m, menu_cmd::kAssignShortcut);
            add(m, menu_cmd::kQuickLaunch);
            add(m, menu_cmd::kDisable);
            return;
        case kMenuFunctionKeys: {
            AddPlaceholder(set, kKindTimers, "Assing Timer");
            QMenu* profiles = m.addMenu("Profile");
            for (int id : kProfileItems) add(*profiles, id);
            add(m, menu_cmd::kStandard);
            add(m, kMacroPlayPause);
            add(m, menu_cmd::kAssignShortcut);
            add(m, menu_cmd::kQuickLaunch);
            add(m, menu_cmd::kDisable);
            return;
        }
        default:
            break;
    }
    // The thumb keys' two menus.
    if (set.resourceId == kMenuThumbPrimary) {
        add(m, kFlexlayerThisKeyboard);
        AddPlaceholder(set, kKindTalk, "KALVEX TALK");
    }
    AddPlaceholder(set, kKindMacros, "Macro + Preset Function");
    AddPlaceholder(set, timerOrLight, timerOrLightTitle);
    QMenu* profiles = m.addMenu("Profile");
    for (int id : kProfileItems) add(*profiles, id);
    QMenu* media = m.addMenu("Mulitmedia");
    for (int id : kMediaItems) add(*media, id);
    media->addSeparator();
    add(*media, menu_cmd::kSelectPlayer);
    QMenu* internet = m.addMenu("Internet Explorer");
    for (int id : kInternetItems) add(*internet, id);
    QMenu* system = m.addMenu("System");
    for (int id : kSystemItems) add(*system, id);
    add(m, menu_cmd::kStandard);
    add(m, menu_cmd::kAssignShortcut);
    for (int id : kEmailItems) add(m, id);
    add(m, menu_cmd::kQuickLaunch);
    add(m, menu_cmd::kDisable);
    add(m, kOpenDriver);
}

void CKeyAssignmentDlg::ForgetItems(int kind) {
    for (auto it = menuCommands_.begin(); it != menuCommands_.end();) {
        it = InKind(it->first, kind) ? menuCommands_.erase(it) : std::next(it);
    }
}

void CKeyAssignmentDlg::RebuildSubmenu(int kind) {
    if (kind != kKindMacros && kind != kKindTimers && kind != kKindTalk &&
        kind != kKindLightMacros)
        return;
    ForgetItems(kind);
    for (MenuSet& set : menus_) {
        const auto it = set.dynamic.find(kind);
        if (it == set.dynamic.end()) continue;
        QMenu* old = it->second;
        QMenu* fresh = BuildSubmenu(kind, set.layer, set.menu);
        // The new submenu takes the old one's place.
        set.menu->insertMenu(old->menuAction(), fresh);
        set.menu->removeAction(old->menuAction());
        old->deleteLater();
        it->second = fresh;
    }
    if (selectedKey_ >= 0 && picture_ != nullptr) ShowFunctions();
}

QMenu* CKeyAssignmentDlg::BuildSubmenu(int kind, Layer layer, QWidget* parent) {
    auto* sub = new QMenu(parent);
    sub->setStyleSheet(widgets::KitStyleSheet());
    sub->setFont(widgets::TextFont(13));
    auto add = [&](QMenu& into, int id) { AddItem(into, id, Q(MenuCommandText(id)), layer); };
    auto item = [&](QMenu& into, int id, const QString& text, _SMenuCommand record) {
        menuCommands_[id] = std::move(record);
        AddItem(into, id, text, layer);
    };
    auto popup = [&](QMenu& into, const QString& title) {
        QMenu* p = into.addMenu(title);
        p->setStyleSheet(widgets::KitStyleSheet());
        p->setFont(widgets::TextFont(13));
        return p;
    };
    switch (kind) {
        case kKindTimers: {
            sub->setTitle("Assing Timer");
            add(*sub, menu_cmd::kCreateTimer);
            add(*sub, menu_cmd::kEditTimer);
            add(*sub, kStopTimer);
            const auto& timers = mirror_.timers;
            if (!timers.empty()) sub->addSeparator();
            for (std::size_t i = 0; i < timers.size(); ++i) {
                item(*sub, kFirstTimerItem + static_cast<int>(i), FromMultiByte(timers[i].name.str()),
                     {static_cast<std::uint32_t>(i), fncode::kTimer, 0, {}});
            }
            break;
        }
        case kKindMacros: {
            sub->setTitle("Macro + Preset Function");
            add(*sub, menu_cmd::kCreateMacro);
            add(*sub, kMacroPlayPause);
            const auto& groups = mirror_.macroSets;
            if (!groups.empty()) sub->addSeparator();
            int next = kFirstMacroItem;
            for (std::size_t g = 0; g < groups.size(); ++g) {
                const std::string name = groups[g].name.str();
                if (name == "World of Warcraft" || name == "Xfire") sub->addSeparator();
                QMenu* group = popup(*sub, FromMultiByte(name));
                item(*group, kFirstMacroGroupItem + static_cast<int>(g), "Edit Marco",
                     {static_cast<std::uint32_t>(g), fncode::kEditMacroItem, 0, {}});
                group->addSeparator();
                for (std::size_t i = 0; i < mirror_.macros.size(); ++i) {
                    const auto& macro = mirror_.macros[i];
                    if (macro.setNumber.get() != groups[g].setNumber.get()) continue;
                    item(*group, next++, FromMultiByte(macro.name.str()),
                         {static_cast<std::uint32_t>(i), fncode::kMacro, 0, {}});
                }
            }
            break;
        }
        case kKindTalk: {
            sub->setTitle("Kalvex Talk Function");
            add(*sub, kFlexlayerAllDevices);
            const auto& devices = mirror_.talkDevices;
            if (!devices.empty()) sub->addSeparator();
            int next = kFirstTalkItem;
            std::uint32_t index = 0;
            for (const auto& [key, record] : devices) {
                const QString name = Q(record.name.str());
                QMenu* device = popup(*sub, QString("KALVEX Talk:%1").arg(name));
                auto talk = [&](std::uint8_t code, const QString& text) {
                    item(*device, next++, text, {index, code, key, text.toStdU16String()});
                };
                talk(fncode::kTalkFlexlayer, QString("Flexlayer[+]:%1").arg(name));
                talk(fncode::kTalkFlexlayerLock, QString("Flexlayer[+]:%1 Lock/Unlock").arg(name));
                device->addSeparator();
                for (int i = 0; i < 5; ++i) {
                    const std::int32_t dpi = record.dpiLevels[i].get();
                    if (dpi > 0)
                        talk(static_cast<std::uint8_t>(fncode::kTalkDpiStage1 + i),
                             QString("%1 %2 DPI").arg(name).arg(dpi));
                }
                ++index;
            }
            break;
        }
        case kKindLightMacros: {
            sub->setTitle("LED Macro");
            add(*sub, menu_cmd::kCreateLightMacro);
            const auto& groups = mirror_.lightMacroSets;
            if (!groups.empty()) sub->addSeparator();
            int next = kFirstLightMacroItem;
            for (std::size_t g = 0; g < groups.size(); ++g) {
                QMenu* group = popup(*sub, FromMultiByte(groups[g].name.str()));
                item(*group, kFirstLightMacroGroupItem + static_cast<int>(g), "Edit LED Marco",
                     {static_cast<std::uint32_t>(g), fncode::kEditLightMacroItem, 0, {}});
                group->addSeparator();
                for (std::size_t i = 0; i < mirror_.lightMacros.size(); ++i) {
                    const auto& macro = mirror_.lightMacros[i];
                    if (macro.setNumber.get() != groups[g].setNumber.get()) continue;
                    const std::uint8_t code = macro.sendDefaultAction() == 1
                                                  ? fncode::kLightMacroFlagged
                                                  : fncode::kLightMacro;
                    item(*group, next++, FromMultiByte(macro.name.str()),
                         {static_cast<std::uint32_t>(i), code, 0, {}});
                }
            }
            break;
        }
        default:
            break;
    }
    return sub;
}

// ---- choices ---------------------------------------------------------------------------------

void CKeyAssignmentDlg::WriteEntry(Layer layer, FunctionEntry entry) {
    if (!WriteKeyEntry(mirror_, profile(), selectedKey_, layer, layoutCode_, entry)) {
        log::Info(kArea, log::Format("key %d has no entry on that layer: nothing written",
                                     selectedKey_));
    }
}

void CKeyAssignmentDlg::ChooseMenuItem(int id, Layer layer) {
    const int key = selectedKey_;
    const int p = profile();
    const bool normalPrimary = KeyGroupOf(key) == KeyGroup::Normal && layer == Layer::Primary;
    switch (id) {
        case menu_cmd::kStandard:
            if (normalPrimary) {
                // The key sends its own usage again; the key that sent it
                // until now takes this key's old usage.
                AssignUsage(KeyUsages(mirror_, p), key, static_cast<std::uint8_t>(KeyUsage(key)));
            } else {
                WriteEntry(layer, {StandardFunctionCode(key, layer), 0, 0});
            }
            break;
        case menu_cmd::kDisable:
            if (normalPrimary) {
                AssignUsage(KeyUsages(mirror_, p), key, 0);
            } else {
                WriteEntry(layer, {fncode::kDisabled, 0, 0});
            }
            break;
        case menu_cmd::kRemap:
            OpenRemapDialog(key);
            break;
        case menu_cmd::kAssignShortcut: {
            FunctionEntry entry{fncode::kShortcut, 0, 0};
            if (OpenShortcutDialog(key, layer, entry)) WriteEntry(layer, entry);
            break;
        }
        case menu_cmd::kQuickLaunch:
            if (OpenQuickLaunchDialog(key, layer)) WriteEntry(layer, {fncode::kQuickLaunch, 0, 0});
            break;
        case menu_cmd::kSelectPlayer:
            OpenMediaPlayerDialog();
            break;
        case menu_cmd::kCreateMacro:
            if (OpenMacroManager(-1, -1)) RebuildSubmenu(kKindMacros);
            break;
        case menu_cmd::kCreateTimer:
            if (OpenCreateTimerDialog()) {
                RebuildSubmenu(kKindTimers);
                // The new timer (the last of the list) goes on the key it was created from.
                _SMenuCommand created;
                created.index = static_cast<std::uint32_t>(mirror_.timers.size() - 1);
                created.code = fncode::kTimer;
                ChooseDynamicItem(created, layer);
            }
            break;
        case menu_cmd::kEditTimer:
            if (OpenEditTimerDialog()) RebuildSubmenu(kKindTimers);
            break;
        case menu_cmd::kCreateLightMacro:
            if (OpenLightMacroEditor(-1)) RebuildSubmenu(kKindLightMacros);
            break;
        default:
            if (const auto code = MenuCommandCode(static_cast<std::uint16_t>(id))) {
                if (normalPrimary) return;  // a normal key's primary menu offers none of these
                if (*code == fncode::kFlexlayerAllDevices && IsThumbKey(key) &&
                    layer == Layer::Primary) {
                    TalkCommandEntry& talk =
                        mirror_.hostSettingsBlock.talkCommands[p][kThumbTalkEntry + key - kThumbKey1];
                    talk.function = *code;
                    talk.name.set_full(MenuCommandText(static_cast<std::uint16_t>(id)));
                }
                WriteEntry(layer, {*code, 0, 0});
            } else if (const _SMenuCommand* item = menuCommand(id)) {
                ChooseDynamicItem(*item, layer);
            } else {
                // An item of no menu of this page (a menu built before the
                // lists changed): nothing is written.
                log::Warning(kArea, log::Format("menu item %d is unknown: nothing written", id));
            }
            break;
    }
    ShowKey(key, 0);
}

void CKeyAssignmentDlg::ChooseDynamicItem(const _SMenuCommand& item, Layer layer) {
    const int key = selectedKey_;
    const int p = profile();
    const auto slot = SlotOf(key, layer);
    // Per-slot data needs a slot with room for it; without one the key keeps
    // what it had rather than naming data that is not there.
    auto noRoom = [&](const char* what) {
        log::Info(kArea, log::Format("key %d has no %s slot on that layer: nothing written", key,
                                     what));
    };
    switch (item.code) {
        case fncode::kTimer:
            if (item.index >= mirror_.timers.size()) return;
            if (!slot || !SlotHasData(*slot)) return noRoom("timer");
            mirror_.hostSettingsBlock.keyTimers[p][*slot] = mirror_.timers[item.index];
            WriteEntry(layer, {fncode::kTimer, 0, 0});
            return;
        case fncode::kMacro:
            if (item.index >= mirror_.macros.size()) return;
            if (!slot || !SlotHasMacro(*slot)) return noRoom("macro");
            MacroImageFromRecord(mirror_.macros[item.index], p, *slot, mirror_.macroReports[p][*slot]);
            WriteEntry(layer, {fncode::kMacro, 0, 0});
            return;
        case fncode::kLightMacro:
        case fncode::kLightMacroFlagged: {
            if (item.index >= mirror_.lightMacros.size()) return;
            if (!slot || !SlotHasData(*slot)) return noRoom("light macro");
            // Over the slot's own bytes: those the light macro has no part in stay.
            macros::LightMacroSlotFromRecord(mirror_.lightMacros[item.index], *slot,
                                             mirror_.lightMacroBlocks[p][*slot]);
            const std::uint8_t code =
                IsFunctionKey(key) || IsMacroKey(key) ? fncode::kLightMacro : item.code;
            WriteEntry(layer, {code, 0, 0});
            return;
        }
        case fncode::kEditMacroItem: {
            // The key's macro, found by the group and macro names kept in its slot.
            int preselected = -1;
            if (slot && SlotHasMacro(*slot)) {
                const MacroReportImage& image = mirror_.macroReports[p][*slot];
                for (std::size_t i = 0; i < mirror_.macros.size(); ++i) {
                    if (mirror_.macros[i].setName.str() == image.setName.str() &&
                        mirror_.macros[i].name.str() == image.name.str()) {
                        preselected = static_cast<int>(i);
                        break;
                    }
                }
            }
            if (OpenMacroManager(static_cast<int>(item.index), preselected))
                RebuildSubmenu(kKindMacros);
            return;
        }
        case fncode::kEditLightMacroItem:
            if (OpenLightMacroEditor(static_cast<int>(item.index))) RebuildSubmenu(kKindLightMacros);
            return;
        default:
            break;
    }
    if (IsTalkCode(item.code)) {
        if (!IsThumbKey(key) || layer != Layer::Primary) return;
        TalkCommandEntry& talk =
            mirror_.hostSettingsBlock.talkCommands[p][kThumbTalkEntry + key - kThumbKey1];
        talk.set_deviceKey(item.deviceKey);
        talk.function = item.code;
        talk.name.set_full(item.text);
        WriteEntry(layer, {item.code, 0, 0});
    }
}

// ---- the dialogs the items open ----------------------------------------------------------------

void CKeyAssignmentDlg::LogNoDialogYet(const char* what) const {
    log::Info(kArea, log::Format("%s: this build has no such dialog yet; nothing opens", what));
}

int CKeyAssignmentDlg::RunDialog(CKeyFunctionDlg& dialog, bool below) {
    dialog.PlaceRelativeTo(QRect(mapToGlobal(QPoint(0, 0)), size()), below);
    return runDialog ? runDialog(dialog) : dialog.exec();
}

void CKeyAssignmentDlg::SendTimerCommand(std::uint16_t code,
                                         const HIDMSG::_STimerSettingData& record) {
    if (timerCommands_) timerCommands_(code, record);
}

bool CKeyAssignmentDlg::OpenShortcutDialog(int, Layer, FunctionEntry& entry) {
    if (!shortcut_) shortcut_ = std::make_unique<AssignShortcutDlg>(keyNames_, this);
    shortcut_->Prepare();
    if (RunDialog(*shortcut_, true) != QDialog::Accepted) return false;
    entry = shortcut_->entry();
    return true;
}

bool CKeyAssignmentDlg::OpenQuickLaunchDialog(int keyIndex, Layer layer) {
    if (!quickLaunch_) quickLaunch_ = std::make_unique<QuickLunchDlg>(mirror_, this);
    quickLaunch_->Prepare(layer == Layer::Primary ? kPrimaryButton : kSecondaryButton,
                          KeyGroupOf(keyIndex), GroupPosition(keyIndex, layoutCode_).value_or(-1),
                          keyIndex);
    return RunDialog(*quickLaunch_, false) == QDialog::Accepted;
}

void CKeyAssignmentDlg::OpenMediaPlayerDialog() {
    if (!media_) media_ = std::make_unique<MediaCtrlDlg>(mirror_, this);
    media_->Prepare();
    RunDialog(*media_, false);
}

bool CKeyAssignmentDlg::OpenRemapDialog(int keyIndex) {
    if (!remap_) remap_ = std::make_unique<MapRenameDlg>(mirror_, keyNames_, this);
    remap_->Prepare(keyIndex);
    if (RunDialog(*remap_, false) != QDialog::Accepted) return false;
    Refresh();  // the primary button shows the key's new usage
    return true;
}

bool CKeyAssignmentDlg::OpenCreateTimerDialog() {
    if (!createTimer_) {
        createTimer_ = std::make_unique<CountdownTimerDlg>(
            mirror_, [this](std::uint16_t code, const HIDMSG::_STimerSettingData& r) {
                SendTimerCommand(code, r);
            }, this);
    }
    createTimer_->Prepare();
    return RunDialog(*createTimer_, false) == QDialog::Accepted;
}

bool CKeyAssignmentDlg::OpenEditTimerDialog() {
    if (!editTimer_) {
        editTimer_ = std::make_unique<CountDownTimerEditDlg>(
            mirror_, [this](std::uint16_t code, const HIDMSG::_STimerSettingData& r) {
                SendTimerCommand(code, r);
            }, this);
    }
    editTimer_->Prepare();
    return RunDialog(*editTimer_, false) == QDialog::Accepted;
}

void CKeyAssignmentDlg::SetMacroLink(MacroLinkSender send) {
    macroLink_ = std::move(send);
    macroManager_.reset();
    lightEditor_.reset();
}

MacroManagerDlg& CKeyAssignmentDlg::macroManager() {
    if (!macroManager_) {
        macroManager_ = std::make_unique<MacroManagerDlg>(mirror_, macroLink_,
                                                          macros::Flavour::Key, this);
    }
    return *macroManager_;
}

IllMacroManagerDlg& CKeyAssignmentDlg::lightMacroEditor() {
    if (!lightEditor_) lightEditor_ = std::make_unique<IllMacroManagerDlg>(mirror_, macroLink_, this);
    return *lightEditor_;
}

bool CKeyAssignmentDlg::OpenMacroManager(int group, int macro) {
    // The macro is preselected by its row in its set's list, and only when it
    // belongs to the set chosen: a row of another set would show another macro.
    int row = -1;
    if (group >= 0 && static_cast<std::size_t>(group) < mirror_.macroSets.size() && macro >= 0 &&
        static_cast<std::size_t>(macro) < mirror_.macros.size() &&
        mirror_.macros[macro].setNumber.get() == mirror_.macroSets[group].setNumber.get()) {
        row = 0;
        const std::int32_t set = mirror_.macros[macro].setNumber.get();
        for (int i = 0; i < macro; ++i) row += mirror_.macros[i].setNumber.get() == set ? 1 : 0;
    }
    MacroManagerDlg& dlg = macroManager();
    dlg.Preselect(group, row);
    return dlg.Open() == QDialog::Accepted;
}

bool CKeyAssignmentDlg::OpenLightMacroEditor(int group) {
    IllMacroManagerDlg& dlg = lightMacroEditor();
    dlg.Preselect(group, -1);
    if (dlg.Open() != QDialog::Accepted) return false;
    if (onLightMacrosChanged) onLightMacrosChanged();
    return true;
}

}  // namespace vyre
