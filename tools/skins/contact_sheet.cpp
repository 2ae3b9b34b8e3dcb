// Host tool: a contact sheet of stored skins, each read with our own reader and shown as a mock
// window (caption and buttons, menu, face, group box, edit, combo, check boxes, slider, buttons,
// pop-up menu, status bar). Texts are laid on by ImageMagick's convert, which knows CJK fonts.
//   skin_contact_sheet OUT.png SKIN.she...
#include "skin_reader.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace trigora::skin;

constexpr int kWinW = 380;
constexpr int kWinH = 270;
constexpr int kTileW = kWinW + 20;
constexpr int kTileH = kWinH + 80;
constexpr int kColumns = 5;

struct Label {
    int x, y; // baseline left
    Rgb colour;
    std::string text; // UTF-8
    int size = 12;
};

struct Canvas {
    int w, h;
    std::vector<Rgb> px;
    std::vector<Label> labels;
    Canvas(int w_, int h_, Rgb bg) : w(w_), h(h_), px(std::size_t(w_) * h_, bg) {}

    void Blend(int x, int y, Pixel p) {
        if (x < 0 || y < 0 || x >= w || y >= h) {
            return;
        }
        const unsigned a = PixelA(p);
        Rgb& d = px[std::size_t(y) * w + x];
        auto mix = [a](std::uint8_t dst, std::uint8_t src) {
            return static_cast<std::uint8_t>((src * a + dst * (255 - a) + 127) / 255);
        };
        d = {mix(d.r, PixelR(p)), mix(d.g, PixelG(p)), mix(d.b, PixelB(p))};
    }
    void Fill(int x, int y, int fw, int fh, Rgb c) {
        for (int j = y; j < y + fh; ++j) {
            for (int i = x; i < x + fw; ++i) {
                Blend(i, j, MakePixel(c.r, c.g, c.b));
            }
        }
    }
    void Frame(int x, int y, int fw, int fh, Rgb c) {
        Fill(x, y, fw, 1, c);
        Fill(x, y + fh - 1, fw, 1, c);
        Fill(x, y, 1, fh, c);
        Fill(x + fw - 1, y, 1, fh, c);
    }
    // The nine-grid stretch the painter does: corners kept, edges and centre stretched.
    void Nine(const Image& img, int x, int y, int dw, int dh) {
        if (img.Empty() || dw <= 0 || dh <= 0) {
            return;
        }
        auto map = [](int d, int dsize, int ssize, int m0, int m1) {
            if (d < m0) {
                return std::min(d, ssize - 1);
            }
            if (d >= dsize - m1) {
                return std::max(0, ssize - (dsize - d));
            }
            const int mid = ssize - m0 - m1;
            const int dmid = dsize - m0 - m1;
            if (mid <= 0 || dmid <= 0) {
                return std::clamp(m0, 0, ssize - 1);
            }
            return m0 + (d - m0) * mid / dmid;
        };
        for (int j = 0; j < dh; ++j) {
            const int sy = map(j, dh, int(img.height), img.margins.top, img.margins.bottom);
            for (int i = 0; i < dw; ++i) {
                const int sx = map(i, dw, int(img.width), img.margins.left, img.margins.right);
                Blend(x + i, y + j, img.At(unsigned(sx), unsigned(sy)));
            }
        }
    }
    void Draw(const Image& img, int x, int y) { Nine(img, x, y, int(img.width), int(img.height)); }
    void Text(int x, int y, Rgb c, std::string t, int size = 12) {
        labels.push_back({x, y, c, std::move(t), size});
    }
    // Narrow literals are GBK in this program; the sheet's texts are written as UTF-8 literals.
    void Text(int x, int y, Rgb c, const char8_t* t, int size = 12) {
        Text(x, y, c, std::string(reinterpret_cast<const char*>(t)), size);
    }
};

std::string GbkToUtf8(const std::string& gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return "?";
    }
    std::string in = gbk, out(gbk.size() * 3 + 4, '\0');
    char* ip = in.data();
    char* op = out.data();
    std::size_t il = in.size(), ol = out.size();
    const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) {
        return "?";
    }
    out.resize(out.size() - ol);
    return out;
}

void Button(Canvas& c, const Skin& s, ButtonState st, int x, int y, int w, int h, const char8_t* text) {
    c.Nine(Pick(s.button.face, st), x, y, w, h);
    const Rgb t = st == ButtonState::Disabled ? s.button.disabledText : s.button.text;
    c.Text(x + w / 2 - 12, y + h / 2 + 5, t, text);
}

void MockWindow(Canvas& c, const Skin& s, int ox, int oy) {
    const Metrics& m = s.metrics;
    const int fw = m.frameWidth;
    const int top = fw + m.captionHeight;
    c.Nine(s.frame.active, ox, oy, kWinW, kWinH);
    c.Fill(ox + fw, oy + top, kWinW - 2 * fw, kWinH - top - fw, s.face);
    c.Nine(s.captionActive.bar, ox, oy, kWinW, top);
    c.Text(ox + fw + 8, oy + fw + m.captionHeight / 2 + 5, s.captionActive.text,
           "Trigora1.0  " + GbkToUtf8(s.name), 13);

    // caption buttons, right to left: close, maximise, minimise
    int bx = ox + kWinW - fw - m.captionButtonGap - m.captionButtonWidth;
    const int by = oy + fw + (m.captionHeight - m.captionButtonHeight) / 2;
    c.Draw(s.CaptionButton(CaptionButtonKind::Close, PartState::Hot), bx, by);
    bx -= m.captionButtonWidth + m.captionButtonGap;
    c.Draw(s.CaptionButton(CaptionButtonKind::Maximize, PartState::Normal), bx, by);
    bx -= m.captionButtonWidth + m.captionButtonGap;
    c.Draw(s.CaptionButton(CaptionButtonKind::Minimize, PartState::Normal), bx, by);

    // menu bar, its second item open
    const int my = oy + top;
    c.Fill(ox + fw, my, kWinW - 2 * fw, m.menuBarHeight, s.menu.background);
    const char8_t* items[] = {u8"文件", u8"皮肤", u8"帮助"};
    for (int i = 0; i < 3; ++i) {
        const int ix = ox + fw + 6 + i * 44;
        if (i == 1) {
            c.Fill(ix - 4, my + 1, 38, m.menuBarHeight - 2, s.menu.selectedBackground);
        }
        c.Text(ix, my + m.menuBarHeight / 2 + 5, i == 1 ? s.menu.selectedText : s.menu.text, items[i]);
    }

    // group box with an edit box, a combo box and two check boxes
    const int cy = my + m.menuBarHeight + 10;
    const int gx = ox + fw + 10;
    const int gw = 200;
    const int gh = 118;
    c.Frame(gx, cy + 6, gw, gh, s.groupBox.frame);
    c.Fill(gx + 8, cy, 34, 12, s.face);
    c.Text(gx + 10, cy + 11, s.groupBox.title, u8"角度");
    c.Fill(gx + 10, cy + 20, 180, 22, s.edit.background);
    c.Frame(gx + 10, cy + 20, 180, 22, s.edit.border);
    c.Fill(gx + 14, cy + 24, 30, 14, s.edit.selectionBackground);
    c.Text(gx + 15, cy + 36, s.edit.selectionText, "30.5");
    c.Text(gx + 48, cy + 36, s.edit.text, u8"° = 0.532 rad");
    c.Fill(gx + 10, cy + 48, 180, 22, s.combo.face);
    c.Frame(gx + 10, cy + 48, 180, 22, s.combo.border);
    c.Text(gx + 15, cy + 64, s.combo.text, "Vista");
    const Image& arrow = Pick(s.combo.arrow, PartState::Normal);
    c.Nine(arrow, gx + 190 - 1 - int(arrow.width), cy + 49, int(arrow.width), 20);
    c.Draw(s.checkBox.checked[0], gx + 10, cy + 80);
    c.Text(gx + 28, cy + 92, s.checkBox.text, u8"窗体阴影");
    c.Draw(s.checkBox.unchecked[1], gx + 100, cy + 80);
    c.Text(gx + 118, cy + 92, s.checkBox.text, "Aero");
    c.Text(gx + 10, cy + 112, s.disabledText, u8"不可用的标签");

    // slider with ticks
    const int sy = cy + gh + 18;
    c.Nine(s.slider.channel, gx + 6, sy + 8, 188, int(s.slider.channel.height));
    for (int t = 0; t <= 10; ++t) {
        c.Fill(gx + 12 + t * 176 / 10, sy + 24, 1, 4, s.slider.tick);
    }
    const Image& thumb = Pick(s.slider.thumb, PartState::Normal);
    c.Draw(thumb, gx + 70, sy + 10 - int(thumb.height) / 2 + int(s.slider.channel.height) / 2);
    const Image& thumbHot = Pick(s.slider.thumb, PartState::Hot);
    c.Draw(thumbHot, gx + 150, sy + 10 - int(thumbHot.height) / 2 + int(s.slider.channel.height) / 2);

    // the five button faces
    const int rowY = oy + kWinH - fw - 22 - 32;
    const char8_t* texts[] = {u8"清除", u8"说明", u8"按下", u8"禁用", u8"确定"};
    const ButtonState states[] = {ButtonState::Normal, ButtonState::Hot, ButtonState::Pressed,
                                  ButtonState::Disabled, ButtonState::Default};
    for (int i = 0; i < 5; ++i) {
        Button(c, s, states[i], ox + fw + 10 + i * 62, rowY, 56, 26, texts[i]);
    }

    // pop-up menu: normal, selected, separator, disabled, checked
    const int px = ox + fw + gw + 24;
    const int py = cy;
    const int pw = kWinW - fw - 8 - (px - ox);
    const int ih = m.menuItemHeight;
    const int ph = 4 * ih + 9 + 4;
    c.Fill(px, py, pw, ph, s.menu.background);
    c.Frame(px, py, pw, ph, s.menu.border);
    int iy = py + 2;
    c.Text(px + 22, iy + ih / 2 + 5, s.menu.text, u8"显示主窗口");
    iy += ih;
    c.Fill(px + 2, iy, pw - 4, ih, s.menu.selectedBackground);
    c.Text(px + 22, iy + ih / 2 + 5, s.menu.selectedText, u8"皮肤");
    iy += ih;
    c.Fill(px + 6, iy + 4, pw - 12, 1, s.menu.separator);
    iy += 9;
    c.Text(px + 22, iy + ih / 2 + 5, s.menu.disabledText, u8"不可用");
    iy += ih;
    c.Draw(s.menu.checkMark, px + 3, iy + (ih - int(s.menu.checkMark.height)) / 2);
    c.Text(px + 22, iy + ih / 2 + 5, s.menu.text, u8"退出");

    // status bar
    const int sbh = 22;
    const int sby = oy + kWinH - fw - sbh;
    c.Fill(ox + fw, sby, kWinW - 2 * fw, sbh, s.statusBar.face);
    c.Fill(ox + fw, sby, kWinW - 2 * fw, 1, s.statusBar.separator);
    c.Fill(ox + fw + 200, sby + 3, 1, sbh - 6, s.statusBar.separator);
    c.Text(ox + fw + 6, sby + 16, s.statusBar.text, u8"皮肤设置>参数调整");

    // the inactive caption below the window
    c.Nine(s.frame.inactive, ox, oy + kWinH + 8, kWinW, top + fw + 4);
    c.Nine(s.captionInactive.bar, ox, oy + kWinH + 8, kWinW, top);
    c.Text(ox + fw + 8, oy + kWinH + 8 + fw + m.captionHeight / 2 + 5, s.captionInactive.text, "Inactive");
    c.Draw(s.CaptionButton(CaptionButtonKind::Close, PartState::Normal),
           ox + kWinW - fw - m.captionButtonGap - m.captionButtonWidth, oy + kWinH + 8 + by - oy);
    c.Draw(s.CaptionButton(CaptionButtonKind::Restore, PartState::Pressed),
           ox + kWinW - fw - 2 * (m.captionButtonGap + m.captionButtonWidth), oy + kWinH + 8 + by - oy);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: skin_contact_sheet OUT.png SKIN.she...\n";
        return 2;
    }
    const int count = argc - 2;
    const int rows = (count + kColumns - 1) / kColumns;
    Canvas c(kColumns * kTileW, rows * kTileH, {96, 96, 104});
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        std::ifstream in(argv[i + 2], std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        const SkinResult r = ReadSkinFile(bytes);
        const int ox = (i % kColumns) * kTileW + 10;
        const int oy = (i / kColumns) * kTileH + 24;
        if (!r.skin) {
            std::cerr << argv[i + 2] << ": " << r.error << "\n";
            c.Text(ox, oy + 40, {255, 80, 80}, r.error);
            ++failed;
            continue;
        }
        char num[16];
        std::snprintf(num, sizeof num, "%02d ", i);
        c.Text(ox, oy - 8, {255, 255, 255}, num + GbkToUtf8(r.skin->name), 14);
        MockWindow(c, *r.skin, ox, oy);
    }

    const std::string out = argv[1];
    const std::string ppm = out + ".ppm";
    {
        std::ofstream f(ppm, std::ios::binary);
        f << "P6\n" << c.w << " " << c.h << "\n255\n";
        for (const Rgb& p : c.px) {
            f.put(static_cast<char>(p.r)).put(static_cast<char>(p.g)).put(static_cast<char>(p.b));
        }
    }
    // ImageMagick draws the texts (its policy here refuses MVG files, so they go on the command line).
    std::string cmd = "convert '" + ppm + "' -font /usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
    for (const Label& l : c.labels) {
        char colour[16];
        std::snprintf(colour, sizeof colour, "#%02x%02x%02x", l.colour.r, l.colour.g, l.colour.b);
        cmd += " -pointsize " + std::to_string(l.size) + " -fill '" + colour + "' -draw \"text " +
               std::to_string(l.x) + "," + std::to_string(l.y) + " '" + l.text + "'\"";
    }
    cmd += " '" + out + "'";
    if (std::system(cmd.c_str()) != 0) {
        std::cerr << "convert failed; the sheet without texts is " << ppm << "\n";
        return 1;
    }
    std::remove(ppm.c_str());
    return failed == 0 ? 0 : 1;
}
