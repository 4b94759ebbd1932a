// Every character of every quick help file has a glyph in the font of the
// quick help line, with the fallbacks Qt takes for it, so that no language
// shows empty boxes.

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QGlyphRun>
#include <QStringList>
#include <QTextLayout>

#include "config/frame/language.h"
#include "tests/support/qt_app.h"
#include "widgets/skin_art.h"

namespace vyre {
namespace {

// True when laying out `text` in `font` takes no glyph 0 (the missing glyph).
bool AllGlyphsFound(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        for (quint32 glyph : run.glyphIndexes()) {
            if (glyph == 0) return false;
        }
    }
    return true;
}

TEST(QuickHelpGlyphs, EveryCharacterOfEveryLanguageHasAGlyph) {
    testing::App();
    // The line's largest and smallest size (a long line shrinks to fit).
    for (int size : {12, 9}) {
        const QFont font = widgets::TextFont(size);
        for (int language = 0; language < kLanguageCount; ++language) {
            const auto lines = ReadHelpTexts(language);
            ASSERT_TRUE(lines) << Languages()[language].helpFile;
            int checked = 0;
            for (std::size_t n = 0; n < lines->size(); ++n) {
                const QString text = QString::fromStdU16String((*lines)[n]);
                if (text.trimmed().isEmpty()) continue;
                ++checked;
                if (AllGlyphsFound(text, font)) continue;
                QStringList missing;
                for (const char32_t c : text.toUcs4()) {
                    const QString one = QString::fromUcs4(&c, 1);
                    if (!AllGlyphsFound(one, font))
                        missing << QString("U+%1").arg(static_cast<uint>(c), 4, 16, QChar('0'));
                }
                ADD_FAILURE() << Languages()[language].helpFile << " line " << n + 1 << " at "
                              << size << " px has no glyph for "
                              << missing.join(' ').toStdString();
            }
            EXPECT_GE(checked, 40) << Languages()[language].helpFile;
        }
    }
}

}  // namespace
}  // namespace vyre
