#include "widgets/skin_art.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>

#include "widgets/caption_fit.h"

namespace vyre::widgets {
namespace {

enum class Kind { DialogFace, Secondary, CloseButton, TextButton, MainFace, MenuFace, MenuItem };
enum class State { Normal, Pressed, Hover };

struct Art {
    Kind kind;
    int width, height;
    State state = State::Normal;
    const char* title = "";    // faces: the title in capitals; buttons: the caption
    const char* message = "";  // faces: the message
    bool warning = false;      // destructive confirmations
};

// The quick help languages: the language button shows the short name, the
// language menu's items the name.
struct LanguageArt {
    const char* shortName;
    const char* name;
    int button[3];  // normal, pressed, hover
};
constexpr LanguageArt kLanguages[] = {
    {"DA", "Danish", {1084, 1085, 1083}},        {"EN", "English", {1087, 1086, 1088}},
    {"FI", "Finnish", {1090, 1089, 1091}},       {"FR", "French", {1093, 1092, 1094}},
    {"DE", "German", {1096, 1095, 1097}},        {"IT", "Italian", {1099, 1098, 1100}},
    {"JA", "Japanese", {1105, 1104, 1106}},      {"KO", "Korean", {1108, 1107, 1109}},
    {"PL", "Polish", {1111, 1110, 1112}},        {"RU", "Russian", {1114, 1113, 1115}},
    {"SC", "Simpl Chinese", {1117, 1116, 1118}}, {"ES", "Spanish", {1120, 1119, 1121}},
    {"SV", "Swedish", {1186, 1185, 1187}},       {"TH", "Thai", {1123, 1122, 1124}},
    {"TC", "Trad Chinese", {1102, 1101, 1103}},  {"TR", "Turkish", {1126, 1125, 1127}},
    {"VI", "Vietnamese", {1129, 1128, 1130}},
};

void AddLanguageArt(std::map<int, Art>& table) {
    const State states[3] = {State::Normal, State::Pressed, State::Hover};
    table[1133] = {Kind::MenuFace, 100, 289, State::Normal, "LANGUAGE"};
    table[1132] = {Kind::Secondary, 100, 289};
    for (int i = 0; i < static_cast<int>(std::size(kLanguages)); ++i) {
        const LanguageArt& l = kLanguages[i];
        for (int s = 0; s < 3; ++s) {
            table[l.button[s]] = {Kind::TextButton, 32, 15, states[s], l.shortName};
        }
        // Menu item i: normal 1135 + 3i, pressed 1134 + 3i, hover 1136 + 3i.
        table[1135 + 3 * i] = {Kind::MenuItem, 98, 15, State::Normal, l.name};
        table[1134 + 3 * i] = {Kind::MenuItem, 98, 15, State::Pressed, l.name};
        table[1136 + 3 * i] = {Kind::MenuItem, 98, 15, State::Hover, l.name};
    }
}

// The macro manager and the light macro editor: their faces, the set name
// dialog and the notes.
void AddMacroArt(std::map<int, Art>& table) {
    table[3960] = {Kind::DialogFace, 715, 476, State::Normal, "MACRO MANAGER"};
    table[3961] = {Kind::DialogFace, 715, 476, State::Normal, "LED MACRO MANAGER"};
    table[3962] = {Kind::Secondary, 715, 476};
    table[3963] = {Kind::Secondary, 715, 476};
    table[3964] = {Kind::DialogFace, 305, 215, State::Normal, "CREATE A MACRO SET",
                   "Please enter a name for the macro set:"};
    table[3965] = {Kind::Secondary, 305, 215};
    table[3950] = {Kind::Secondary, 305, 233};
    const char* select = "Select \"NEW\" and name the macro before recording a new macro.";
    table[3951] = {Kind::DialogFace, 305, 233, State::Normal, "NOTE", select};
    table[3952] = {Kind::DialogFace, 305, 233, State::Normal, "NOTE",
                   "Please select/create a macro set before creating a new macro."};
    table[3953] = {Kind::DialogFace, 305, 233, State::Normal, "ATTENTION",
                   "Please select a macro to delete."};
    table[3954] = {Kind::DialogFace, 305, 233, State::Normal, "ATTENTION",
                   "Do you really want to delete the selected macro?", true};
    table[3955] = {Kind::DialogFace, 305, 233, State::Normal, "ATTENTION",
                   "Do you really want to delete the macro set? This will delete all macros "
                   "grouped in this macro set.",
                   true};
    table[3956] = {Kind::DialogFace, 305, 233, State::Normal, "NOTE",
                   "A macro holds at most 480 steps."};
    table[3957] = {Kind::DialogFace, 305, 233, State::Normal, "NOTE",
                   "The number of loops is between 1 and 255."};
}

// The key function dialogs and the countdown timer dialogs.
void AddKeyDialogArt(std::map<int, Art>& table) {
    const struct {
        int id;
        const char* title;
        const char* message;
        bool warning;
    } faces[] = {
        {3970, "ASSIGN A SHORTCUT", "Press the key of the shortcut, then tick its modifiers.",
         false},
        {3972, "QUICK LAUNCH", "The program this key starts:", false},
        {3974, "MEDIA PLAYER", "The player the media keys of this profile control:", false},
        {3976, "REMAP", "Press the key this key is to send. The key that sends it now takes "
                        "this key's place.",
         false},
        {3978, "CREATE TIMER", "A countdown that keys can start.", false},
        {3980, "EDIT/DELETE TIMER", "", false},
        {3982, "DELETE TIMER", "Do you really want to delete this timer? Keys that start it "
                               "lose their function.",
         true},
    };
    for (const auto& f : faces) {
        table[f.id] = {Kind::DialogFace, 305, 233, State::Normal, f.title, f.message, f.warning};
        table[f.id + 1] = {Kind::Secondary, 305, 233};
    }
}

// Every bitmap id of the popups, both forms, and of the language button and menu.
const std::map<int, Art>& Table() {
    static const std::map<int, Art> table = [] {
        std::map<int, Art> table = {
            // The Monitor's firmware message.
            {144,
             {Kind::DialogFace, 305, 203, State::Normal, "FIRMWARE UPDATE",
              "This keyboard runs a firmware that is newer than this software knows.\n\n"
              "Please install the latest Vyre Lumo software so that every setting works."}},
            {140, {Kind::Secondary, 305, 203}},
            {133, {Kind::CloseButton, 23, 21, State::Normal}},
            {132, {Kind::CloseButton, 23, 21, State::Pressed}},
            {134, {Kind::CloseButton, 23, 21, State::Hover}},
            {138, {Kind::TextButton, 52, 21, State::Normal, "OK"}},
            {137, {Kind::TextButton, 52, 21, State::Pressed, "OK"}},
            {139, {Kind::TextButton, 52, 21, State::Hover, "OK"}},
            {130, {Kind::TextButton, 91, 21, State::Normal, "CANCEL"}},
            {129, {Kind::TextButton, 91, 21, State::Pressed, "CANCEL"}},
            {131, {Kind::TextButton, 91, 21, State::Hover, "CANCEL"}},
            // The Config's main dialog: its face, and the second bitmaps of model A and B.
            {1001, {Kind::MainFace, 800, 600}},
            {1000, {Kind::Secondary, 800, 600}},
            {954, {Kind::Secondary, 800, 600}},
            // The Windows profile confirmation.
            {958,
             {Kind::DialogFace, 305, 233, State::Normal, "DESKTOP PROFILE",
              "Use this profile while the desktop is in front?\n\nWhen no program linked to a "
              "profile "
              "is "
              "in front, the keyboard switches to it."}},
            // The character repeat dialog: the captions of its sliders and test edit.
            {2383,
             {Kind::DialogFace, 305, 233, State::Normal, "CHARACTER REPEAT",
              "Repeat delay\n\n\n\nRepeat rate"}},
            {2384, {Kind::Secondary, 305, 233}},
            // The profile name and program links dialog.
            {2390, {Kind::DialogFace, 420, 276, State::Normal, "GAME PROFILE"}},
            {2391, {Kind::Secondary, 420, 276}},
            // The Config's Reset confirmation.
            {2381,
             {Kind::DialogFace, 305, 233, State::Normal, "RESET",
              "All five profiles, macros, lights and timers of the keyboard go back to their "
              "factory settings.\n\nThis cannot be undone. Reset the keyboard?",
              true}},
            {2380, {Kind::Secondary, 305, 233}},
            // The statistics reset question.
            {3109,
             {Kind::DialogFace, 305, 233, State::Normal, "RESET STATISTICS",
              "All key counts of the three periods go back to zero.\n\nYour unlocked "
              "trophies and trophy points stay. Reset the statistics?",
              true}},
            {1005, {Kind::CloseButton, 23, 21, State::Normal}},
            {1004, {Kind::CloseButton, 23, 21, State::Pressed}},
            {1006, {Kind::CloseButton, 23, 21, State::Hover}},
            {1011, {Kind::TextButton, 52, 21, State::Normal, "OK"}},
            {1010, {Kind::TextButton, 52, 21, State::Pressed, "OK"}},
            {1012, {Kind::TextButton, 52, 21, State::Hover, "OK"}},
            {1008, {Kind::TextButton, 91, 21, State::Normal, "CANCEL"}},
            {1007, {Kind::TextButton, 91, 21, State::Pressed, "CANCEL"}},
            {1009, {Kind::TextButton, 91, 21, State::Hover, "CANCEL"}},
        };
        AddLanguageArt(table);
        AddMacroArt(table);
        AddKeyDialogArt(table);
        return table;
    }();
    return table;
}

// Where a face's message goes: under the title, above the button row.
constexpr int kMessageTop = 48;
constexpr int kButtonRow = 44;
QRectF MessageRect(int width, int height) {
    return QRectF(16, kMessageTop, width - 32, height - kMessageTop - kButtonRow);
}

QTextOption MessageOption() {
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

QFont CaptionFont() {
    QFont f = TextFont(12, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    return f;
}

// A dialog face: the title in capitals over an accent line, the message
// wrapped below it, room for the buttons at the bottom.
void PaintFace(QPainter& p, int width, int height, const QString& title, const QString& message,
               bool warning) {
    const QRectF r(0.5, 0.5, width - 1, height - 1);
    QLinearGradient bg(0, 0, 0, height);
    bg.setColorAt(0, colour::kBackgroundTop);
    bg.setColorAt(1, colour::kBackgroundBottom);
    QPainterPath shape;
    shape.addRoundedRect(r, 8, 8);
    p.fillPath(shape, bg);
    p.setPen(QPen(colour::kBorder, 1));
    p.drawPath(shape);
    // The accent line under the title.
    const QColor accent = warning ? colour::kWarning : colour::kAccent;
    p.setPen(QPen(accent, 2));
    p.drawLine(QPointF(16, 36), QPointF(width - 16, 36));
    p.setFont(CaptionFont());
    p.setPen(warning ? colour::kWarning : colour::kTextSecondary);
    p.drawText(QRectF(16, 8, width - 60, 24), Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setFont(TextFont(13));
    p.setPen(colour::kText);
    p.drawText(MessageRect(width, height), message, MessageOption());
}

void PaintFace(QPainter& p, const Art& art) {
    PaintFace(p, art.width, art.height, QString::fromUtf8(art.title), QString::fromUtf8(art.message),
              art.warning);
}

// The main dialog: the title band, the page panel, the profile bar and the bottom row.
void PaintMainFace(QPainter& p, const Art& art) {
    const QRectF r(0.5, 0.5, art.width - 1, art.height - 1);
    QLinearGradient bg(0, 0, 0, art.height);
    bg.setColorAt(0, colour::kBackgroundTop);
    bg.setColorAt(1, colour::kBackgroundBottom);
    QPainterPath shape;
    shape.addRoundedRect(r, 10, 10);
    p.fillPath(shape, bg);
    p.setPen(QPen(colour::kBorder, 1));
    p.drawPath(shape);
    // Title band.
    QFont title = TextFont(22, true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(title);
    p.setPen(colour::kText);
    p.drawText(QRectF(18, 14, 200, 30), Qt::AlignLeft | Qt::AlignVCenter, "VYRE LUMO");
    QFont sub = TextFont(11, true);
    sub.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(sub);
    p.setPen(colour::kAccent);
    p.drawText(QRectF(18, 44, 300, 16), Qt::AlignLeft | Qt::AlignVCenter, "KALVEX  CONFIGURATION");
    p.setPen(QPen(colour::kBorder, 1));
    p.drawLine(QPointF(6, 72.5), QPointF(art.width - 6, 72.5));
    // Page panel (the client area shrunk by 10, 124, 15, 164).
    const QRectF page(10.5, 124.5, art.width - 25 - 1, art.height - 288 - 1);
    p.setBrush(colour::kPanel);
    p.drawRoundedRect(page, 4, 4);
    // Profile bar.
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(6, 480.5), QPointF(art.width - 6, 480.5));
    p.drawLine(QPointF(6, 552.5), QPointF(art.width - 6, 552.5));
    p.setFont(sub);
    p.setPen(colour::kTextSecondary);
    p.drawText(QRectF(12, 448, 270, 22), Qt::AlignLeft | Qt::AlignVCenter, "PROFILES");
}

void PaintSecondary(QPainter& p, const Art& art) {
    p.fillRect(QRectF(0, 0, art.width, art.height), colour::kPanel);
}

QColor Fill(State s) {
    switch (s) {
        case State::Pressed:
            return colour::kControlPressed;
        case State::Hover:
            return colour::kControlHover;
        default:
            return colour::kControl;
    }
}

void PaintButton(QPainter& p, const Art& art) {
    const QRectF r(0.5, 0.5, art.width - 1, art.height - 1);
    p.setPen(QPen(art.state == State::Pressed ? colour::kAccent : colour::kBorder, 1));
    p.setBrush(Fill(art.state));
    p.drawRoundedRect(r, 3, 3);
    p.setPen(colour::kText);
    p.setFont(art.height < 18 ? TextFont(10, true) : CaptionFont());
    p.drawText(r, Qt::AlignCenter, QString::fromUtf8(art.title));
}

// The language menu's face: a dark panel with its title above the items.
void PaintMenuFace(QPainter& p, const Art& art) {
    const QRectF r(0.5, 0.5, art.width - 1, art.height - 1);
    p.setPen(QPen(colour::kBorder, 1));
    p.setBrush(Qt::black);
    p.drawRoundedRect(r, 3, 3);
    QFont f = TextFont(9, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    p.setFont(f);
    p.setPen(colour::kTextSecondary);
    p.drawText(QRectF(6, 1, art.width - 12, 15), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(art.title));
}

// A menu row: the accent bar on the hovered row, pressed rows in the pressed colour.
void PaintMenuItem(QPainter& p, const Art& art) {
    const QRectF r(0, 0, art.width, art.height);
    if (art.state != State::Normal) {
        p.fillRect(r,
                   art.state == State::Pressed ? colour::kControlPressed : colour::kControlHover);
        p.fillRect(QRectF(0, 0, 3, art.height), colour::kAccent);
    }
    p.setPen(colour::kText);
    p.setFont(TextFont(11));
    p.drawText(r.adjusted(8, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(art.title));
}

void PaintClose(QPainter& p, const Art& art) {
    const QRectF r(0.5, 0.5, art.width - 1, art.height - 1);
    p.setPen(Qt::NoPen);
    p.setBrush(art.state == State::Normal ? Qt::transparent : Fill(art.state));
    p.drawRoundedRect(r, 3, 3);
    const QColor cross = art.state == State::Normal ? colour::kTextSecondary : colour::kText;
    p.setPen(QPen(cross, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = r.center();
    p.drawLine(c + QPointF(-4.5, -4.5), c + QPointF(4.5, 4.5));
    p.drawLine(c + QPointF(-4.5, 4.5), c + QPointF(4.5, -4.5));
}

void PaintPlaceholder(QPainter& p, int id, QSize size) {
    p.fillRect(QRect(QPoint(0, 0), size), QColor(255, 0, 255));
    p.setPen(Qt::black);
    p.setFont(TextFont(12, true));
    p.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, QString::number(id));
}

}  // namespace

QFont TextFont(int pixelSize, bool bold) {
    QFont f;
    f.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
    f.setPixelSize(pixelSize);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}

bool HasSkinArt(int id) {
    return Table().count(id) != 0;
}

QSize SkinBitmapSize(int id) {
    const auto it = Table().find(id);
    return it == Table().end() ? QSize(48, 21) : QSize(it->second.width, it->second.height);
}

namespace {

void PaintArt(QPainter& p, const Art& art) {
    switch (art.kind) {
        case Kind::DialogFace:
            PaintFace(p, art);
            break;
        case Kind::Secondary:
            PaintSecondary(p, art);
            break;
        case Kind::CloseButton:
            PaintClose(p, art);
            break;
        case Kind::TextButton:
            PaintButton(p, art);
            break;
        case Kind::MainFace:
            PaintMainFace(p, art);
            break;
        case Kind::MenuFace:
            PaintMenuFace(p, art);
            break;
        case Kind::MenuItem:
            PaintMenuItem(p, art);
            break;
    }
}

}  // namespace

QPixmap SkinBitmap(int id, qreal dpr) {
    const QSize size = SkinBitmapSize(id);
    return PaintedPixmap(size, dpr, [&](QPainter& p) {
        const auto it = Table().find(id);
        if (it == Table().end()) {
            PaintPlaceholder(p, id, size);
        } else {
            PaintArt(p, it->second);
        }
    });
}

QPixmap PaintedPixmap(QSize size, qreal dpr, const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paint(p);
    return pixmap;
}


int MessageFaceHeight(int width, int minHeight, const QString& message) {
    // Laid out as PaintFace draws it: each paragraph wrapped at word
    // boundaries, or anywhere where a word is wider than the line.
    const qreal lineWidth = MessageRect(width, minHeight).width();
    qreal height = 0;
    for (const QString& paragraph : message.split('\n')) {
        QTextLayout layout(paragraph, TextFont(13));
        layout.setTextOption(MessageOption());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(lineWidth);
            height += line.height();
        }
        layout.endLayout();
    }
    return std::max(minHeight, static_cast<int>(std::ceil(height)) + kMessageTop + kButtonRow + 4);
}

QPixmap MessageFace(QSize size, const QString& title, const QString& message, bool warning,
                    qreal dpr) {
    return PaintedPixmap(size, dpr, [&](QPainter& p) {
        PaintFace(p, size.width(), size.height(), title, message, warning);
    });
}

QFont ControlCaptionFont() {
    return CaptionFont();
}

QRectF ControlCaptionRect(const QRect& rect, int captionRightInset) {
    return QRectF(rect).adjusted(4, 0, -4 - captionRightInset, 0);
}

void PaintControl(QPainter& p, const QRect& rect, ControlKind kind, ControlState state,
                  bool checked, const QString& caption, int captionRightInset) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    // Captions are drawn whole: smaller where the control is narrow.
    const QRectF captionBox = ControlCaptionRect(rect, captionRightInset);
    const QFont captionFont = FittedFont(CaptionFont(), caption, captionBox.width());
    const bool pressed = state == ControlState::Pressed || checked;
    QColor fill = state == ControlState::Hover ? colour::kControlHover : colour::kControl;
    if (pressed) fill = colour::kControlPressed;
    QColor text = state == ControlState::Disabled ? colour::kTextDisabled : colour::kText;
    switch (kind) {
        case ControlKind::Tab: {
            p.setPen(Qt::NoPen);
            p.setBrush(checked ? colour::kPanel
                               : (state == ControlState::Hover ? colour::kControlHover
                                                               : colour::kControl));
            p.drawRoundedRect(r.adjusted(0, 0, 0, 4), 4, 4);
            if (checked)
                p.fillRect(QRectF(r.left() + 8, r.bottom() - 2, r.width() - 16, 2),
                           colour::kAccent);
            p.setPen(checked ? colour::kText : colour::kTextSecondary);
            p.setFont(captionFont);
            p.drawText(captionBox, Qt::AlignCenter, caption);
            break;
        }
        case ControlKind::ProfileSlot:
            p.setPen(QPen(checked ? colour::kAccent : colour::kBorder, 1));
            p.setBrush(fill);
            p.drawRoundedRect(r, 3, 3);
            if (checked)
                p.fillRect(QRectF(r.left() + 1, r.top() + 1, 4, r.height() - 2), colour::kAccent);
            break;
        case ControlKind::Marker: {
            p.setPen(QPen(checked ? colour::kAccent : colour::kBorder, 1));
            p.setBrush(checked ? colour::kControlPressed : fill);
            p.drawRoundedRect(r, 3, 3);
            // A small screen: the desktop.
            const QRectF screen = r.adjusted(5, 5, -5, -8);
            p.setPen(QPen(checked ? colour::kAccent : colour::kTextSecondary, 1.2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(screen, 1.5, 1.5);
            p.drawLine(QPointF(r.center().x(), screen.bottom()),
                       QPointF(r.center().x(), screen.bottom() + 3));
            break;
        }
        case ControlKind::Close:
        case ControlKind::Minimise: {
            p.setPen(Qt::NoPen);
            p.setBrush(state == ControlState::Normal ? Qt::transparent : fill);
            p.drawRoundedRect(r, 3, 3);
            p.setPen(QPen(state == ControlState::Normal ? colour::kTextSecondary : colour::kText,
                          1.6, Qt::SolidLine, Qt::RoundCap));
            const QPointF c = r.center();
            if (kind == ControlKind::Close) {
                p.drawLine(c + QPointF(-4.5, -4.5), c + QPointF(4.5, 4.5));
                p.drawLine(c + QPointF(-4.5, 4.5), c + QPointF(4.5, -4.5));
            } else {
                p.drawLine(c + QPointF(-5, 4), c + QPointF(5, 4));
            }
            break;
        }
        case ControlKind::WarningPush:
            p.setPen(QPen(colour::kWarning, 1));
            p.setBrush(fill);
            p.drawRoundedRect(r, 3, 3);
            p.setPen(state == ControlState::Disabled ? colour::kTextDisabled : colour::kWarning);
            p.setFont(captionFont);
            p.drawText(captionBox, Qt::AlignCenter, caption);
            break;
        case ControlKind::Push:
            p.setPen(QPen(pressed ? colour::kAccent : colour::kBorder, 1));
            p.setBrush(fill);
            p.drawRoundedRect(r, 3, 3);
            p.setPen(text);
            p.setFont(captionFont);
            p.drawText(captionBox, Qt::AlignCenter, caption);
            break;
    }
    p.restore();
}

QPixmap AppIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QRadialGradient glow(QPointF(s / 2, s / 2), s / 2);
    glow.setColorAt(0.55, QColor(0x22, 0xc7, 0xe0, 150));
    glow.setColorAt(1.0, QColor(0x22, 0xc7, 0xe0, 0));
    p.fillRect(QRectF(0, 0, s, s), glow);
    const QRectF cap(s * 0.18, s * 0.16, s * 0.64, s * 0.64);
    p.setPen(QPen(colour::kAccent, std::max(1.0, s / 20)));
    p.setBrush(colour::kControl);
    p.drawRoundedRect(cap, s * 0.12, s * 0.12);
    p.setBrush(colour::kPanel);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(cap.adjusted(s * 0.08, s * 0.06, -s * 0.08, -s * 0.14), s * 0.08, s * 0.08);
    p.setPen(colour::kAccent);
    QFont f = TextFont(static_cast<int>(s * 0.3), true);
    p.setFont(f);
    p.drawText(cap.adjusted(0, 0, 0, -s * 0.08), Qt::AlignCenter, "V");
    return pixmap;
}

}  // namespace vyre::widgets
