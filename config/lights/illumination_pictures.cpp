#include "config/lights/illumination_pictures.h"

#include <QBuffer>
#include <QEventLoop>
#include <QMenu>
#include <QPainter>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <string>

namespace vyre {
namespace {

using namespace lights;

// ---- animated PNG ------------------------------------------------------------------------------

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0xFFFFFFFFu) {
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

// PNG numbers are big-endian.
std::uint32_t LoadBe32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void PutBe32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

void Chunk(std::string& out, const char type[4], const std::string& data) {
    PutBe32(out, static_cast<std::uint32_t>(data.size()));
    std::string body(type, 4);
    body += data;
    out += body;
    const auto* b = reinterpret_cast<const std::uint8_t*>(body.data());
    PutBe32(out, Crc32(b, body.size()) ^ 0xFFFFFFFFu);
}

struct PngChunk {
    std::string type;
    std::string data;
};

// The chunks of a PNG file; empty when it is not one.
std::vector<PngChunk> Chunks(const QByteArray& png) {
    std::vector<PngChunk> chunks;
    const auto* p = reinterpret_cast<const std::uint8_t*>(png.constData());
    const std::size_t n = static_cast<std::size_t>(png.size());
    std::size_t at = 8;
    while (at + 12 <= n) {
        const std::uint32_t length = LoadBe32(p + at);
        if (length > n - at - 12) return {};
        chunks.push_back({std::string(png.constData() + at + 4, 4),
                          std::string(png.constData() + at + 8, length)});
        at += 12 + length;
    }
    return chunks;
}

// ---- the demonstration ------------------------------------------------------------------------

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Save(const QImage& image, const std::filesystem::path& file) {
    image.save(QString::fromStdString(file.string()));
    std::printf("wrote %s\n", file.c_str());
}

// The window with a menu of the page drawn open below its box.
QImage WithMenu(QWidget& window, widgets::CSkinMenuButton& box) {
    QImage shot = window.grab().toImage();
    QMenu& menu = box.menu();
    const QPoint at = box.mapTo(&window, QPoint(0, box.height()));
    menu.popup(box.mapToGlobal(QPoint(0, box.height())));
    const QImage open = menu.grab().toImage();
    menu.hide();
    QPainter p(&shot);
    p.drawImage(at, open);
    return shot;
}

// Lights for the pictures: the main block steady, a row blinking at speeds
// 1 to 5, another breathing at speeds 1 to 5.
void Demonstrate(CKeyIlluminationDlg& page) {
    IlluminationModel& m = page.model();
    m.SetGroup(kGroupMainBlock, true);
    const int blinking[5] = {37, 49, 38, 50, 51};   // Q W E R T
    const int breathing[5] = {61, 73, 62, 74, 63};  // A S D F G
    for (int n = 1; n <= kSpeedItems; ++n) {
        m.SelectKey(blinking[n - 1]);
        m.SetBlinking(true);
        m.ChooseBlinkingSpeed(SpeedItemId(n));
        m.SelectKey(breathing[n - 1]);
        m.SetBreathing(true);
        m.ChooseBreathingSpeed(SpeedItemId(n));
    }
    m.SelectKey(kThumbKey2);
    m.SetKeyActivate(true);
    m.SelectKey(blinking[1]);
    page.Refresh();
}

}  // namespace

bool WriteAnimatedPng(const std::vector<QImage>& frames, int frameMs,
                      const std::filesystem::path& file) {
    if (frames.empty()) return false;
    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::uint32_t sequence = 0;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (frames[f].size() != frames[0].size() || !frames[f].save(&buffer, "PNG")) return false;
        const auto chunks = Chunks(png);
        if (chunks.empty() || chunks[0].type != "IHDR") return false;
        if (f == 0) {
            Chunk(out, "IHDR", chunks[0].data);
            std::string actl;
            PutBe32(actl, static_cast<std::uint32_t>(frames.size()));
            PutBe32(actl, 0);  // loops for ever
            Chunk(out, "acTL", actl);
        }
        std::string fctl;
        PutBe32(fctl, sequence++);
        PutBe32(fctl, static_cast<std::uint32_t>(frames[f].width()));
        PutBe32(fctl, static_cast<std::uint32_t>(frames[f].height()));
        PutBe32(fctl, 0);
        PutBe32(fctl, 0);
        fctl.push_back(static_cast<char>(frameMs >> 8));
        fctl.push_back(static_cast<char>(frameMs));
        fctl.push_back(static_cast<char>(1000 >> 8));
        fctl.push_back(static_cast<char>(1000 & 0xFF));
        fctl.push_back(0);  // no disposal
        fctl.push_back(0);  // replaces the canvas
        Chunk(out, "fcTL", fctl);
        for (const PngChunk& c : chunks) {
            if (c.type != "IDAT") continue;
            if (f == 0) {
                Chunk(out, "IDAT", c.data);
            } else {
                std::string fdat;
                PutBe32(fdat, sequence++);
                Chunk(out, "fdAT", fdat + c.data);
            }
        }
    }
    Chunk(out, "IEND", {});
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(stream);
}

void SaveIlluminationPictures(QWidget& window, CKeyIlluminationDlg& page,
                              const std::function<void()>& showPage,
                              const std::filesystem::path& folder) {
    showPage();
    IlluminationModel& m = page.model();
    for (int variant : {0, 12}) {
        page.SetLayoutVariant(variant);
        const std::string v = "-variant-" + std::to_string(variant) + ".png";
        m.SetMode(1);
        m.ChooseLayer(kLayerItemNormal + 3);
        Demonstrate(page);
        Wait(50);
        Save(window.grab().toImage(), folder / ("config-illumination-manual" + v));
        Save(WithMenu(window, page.layerBox()), folder / ("config-illumination-layer-menu-11" + v));
        if (variant == 0) {
            Save(WithMenu(window, page.blinkingSpeedBox()),
                 folder / "config-illumination-blinking-speed-menu.png");
            Save(WithMenu(window, page.breathingSpeedBox()),
                 folder / "config-illumination-breathing-speed-menu.png");
            Save(WithMenu(window, page.delayBox()), folder / "config-illumination-delay-menu.png");
            Save(WithMenu(window, page.fadeBox()), folder / "config-illumination-fade-menu.png");
            // A few frames of the blinking and breathing keys, 150 ms apart.
            std::vector<QImage> frames;
            for (int f = 0; f < 14; ++f) {
                frames.push_back(page.grab().toImage());
                Wait(150);
            }
            const auto file = folder / "config-illumination-animation.png";
            if (WriteAnimatedPng(frames, 150, file)) std::printf("wrote %s\n", file.c_str());
        }
        m.SetMode(0);
        Demonstrate(page);
        Wait(50);
        Save(window.grab().toImage(), folder / ("config-illumination-automatic" + v));
        Save(WithMenu(window, page.layerBox()), folder / ("config-illumination-layer-menu-3" + v));
        m.SetRippleFx(true);
        page.Refresh();
        Save(window.grab().toImage(), folder / ("config-illumination-ripple" + v));
        m.SetRippleFx(false);
    }
}

}  // namespace vyre
