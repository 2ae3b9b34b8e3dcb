// Parsing skin sources: palette substitution, colour expressions and image recipes.
#include "skin_source.h"

#include "skin_paint.h"
#include "skin_parts.h"

#include "skin_format.h"

#include <iconv.h>

#include <algorithm>
#include <cmath>

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace trigora::skintool {
namespace {

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) {
        return {};
    }
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> Words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string t; in >> t;) {
        w.push_back(t);
    }
    return w;
}

std::string ToGbk(const std::string& utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw SourceError("iconv cannot convert UTF-8 to GBK on this host");
    }
    std::string in = utf8;
    std::string out(in.size() * 2 + 4, '\0');
    char* ip = in.data();
    char* op = out.data();
    std::size_t il = in.size(), ol = out.size();
    const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) {
        throw SourceError("name \"" + utf8 + "\" has no GBK form");
    }
    out.resize(out.size() - ol);
    return out;
}

class Context {
  public:
    Context(const Sections& s, unsigned seed) : s_(s), seed_(seed) {
        if (auto it = s.find("palette"); it != s.end()) {
            palette_ = &it->second;
        }
    }

    // Replaces every @name by its palette value, recursively.
    std::string Expand(const std::string& value, const std::string& where, int depth = 0) const {
        if (depth > 16) {
            throw SourceError(where + ": palette references loop");
        }
        std::string out;
        for (std::size_t i = 0; i < value.size();) {
            if (value[i] != '@') {
                out += value[i++];
                continue;
            }
            std::size_t j = i + 1;
            while (j < value.size() && (std::isalnum(static_cast<unsigned char>(value[j])) ||
                                        value[j] == '.' || value[j] == '_' || value[j] == '-')) {
                ++j;
            }
            const std::string key = value.substr(i + 1, j - i - 1);
            if (palette_ == nullptr || !palette_->count(key)) {
                throw SourceError(where + ": unknown palette entry @" + key);
            }
            out += Expand(palette_->at(key), where + " (@" + key + ")", depth + 1);
            i = j;
        }
        return out;
    }

    Rgba Colour(const std::string& text, const std::string& where) const {
        std::size_t at = 0;
        Rgba c = ParseColour(text, at, where);
        if (at != text.size()) {
            throw SourceError(where + ": trailing text after colour in \"" + text + "\"");
        }
        return c;
    }

    // A number, or a sum of numbers written a+b+c (metrics add up to image sizes).
    double Number(const std::string& text, const std::string& where) const {
        if (const auto plus = text.find('+', 1); plus != std::string::npos) {
            return Number(text.substr(0, plus), where) + Number(text.substr(plus + 1), where);
        }
        try {
            std::size_t used = 0;
            const double v = std::stod(text, &used);
            if (used == text.size()) {
                return v;
            }
        } catch (const std::exception&) {
        }
        throw SourceError(where + ": \"" + text + "\" is not a number");
    }

    const Sections& s_;
    unsigned seed_;

  private:
    Rgba ParseColour(const std::string& t, std::size_t& at, const std::string& where) const {
        if (t.compare(at, 1, "#") == 0) {
            std::size_t n = 0;
            while (at + 1 + n < t.size() && std::isxdigit(static_cast<unsigned char>(t[at + 1 + n]))) {
                ++n;
            }
            if (n != 6) {
                throw SourceError(where + ": colour \"" + t + "\" is not #rrggbb");
            }
            const unsigned v = std::stoul(t.substr(at + 1, 6), nullptr, 16);
            at += 7;
            return FromRgb({static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                            static_cast<std::uint8_t>(v)});
        }
        if (t.compare(at, 4, "mix(") == 0) {
            at += 4;
            const Rgba a = ParseColour(t, at, where);
            Expect(t, at, ',', where);
            const Rgba b = ParseColour(t, at, where);
            Expect(t, at, ',', where);
            const std::size_t end = t.find(')', at);
            if (end == std::string::npos) {
                throw SourceError(where + ": unclosed mix( in \"" + t + "\"");
            }
            const double f = Number(t.substr(at, end - at), where);
            at = end + 1;
            return Mix(a, b, f);
        }
        throw SourceError(where + ": \"" + t + "\" is not a colour");
    }
    static void Expect(const std::string& t, std::size_t& at, char c, const std::string& where) {
        if (at >= t.size() || t[at] != c) {
            throw SourceError(where + ": expected '" + std::string(1, c) + "' in \"" + t + "\"");
        }
        ++at;
    }
    const std::map<std::string, std::string>* palette_ = nullptr;
};

// An image section's fields, its "like" chain laid under it.
std::map<std::string, std::string> ImageFields(const Context& cx, const std::string& key, int depth = 0) {
    const auto it = cx.s_.find("image " + key);
    if (it == cx.s_.end()) {
        throw SourceError("no recipe for image " + key);
    }
    std::map<std::string, std::string> fields;
    if (auto like = it->second.find("like"); like != it->second.end()) {
        if (depth > 8) {
            throw SourceError("image " + key + ": 'like' chain too long");
        }
        fields = ImageFields(cx, Trim(like->second), depth + 1);
    }
    for (const auto& [k, v] : it->second) {
        if (k != "like") {
            fields[k] = v;
        }
    }
    return fields;
}

Recipe BuildRecipe(const Context& cx, const std::string& key) {
    Recipe r;
    r.seed = cx.seed_ * 131u + static_cast<unsigned>(std::hash<std::string>{}(key)&0xFFFF);
    for (const auto& [field, raw] : ImageFields(cx, key)) {
        const std::string where = "image " + key + ", " + field;
        const std::vector<std::string> w = Words(cx.Expand(raw, where));
        auto num = [&](std::size_t i, double dflt = -1) {
            if (i >= w.size()) {
                if (dflt < 0) {
                    throw SourceError(where + ": too few values");
                }
                return dflt;
            }
            return cx.Number(w[i], where);
        };
        auto colour = [&](std::size_t i) {
            if (i >= w.size()) {
                throw SourceError(where + ": colour missing");
            }
            return cx.Colour(w[i], where);
        };
        auto withAlpha = [&](std::size_t i) {
            Rgba c = colour(i);
            c.a = num(i + 1, 1.0);
            return c;
        };
        if (field == "size") {
            r.width = static_cast<unsigned>(num(0));
            r.height = static_cast<unsigned>(num(1));
        } else if (field == "margins") {
            r.margins = {static_cast<std::uint16_t>(num(0)), static_cast<std::uint16_t>(num(1)),
                         static_cast<std::uint16_t>(num(2)), static_cast<std::uint16_t>(num(3))};
        } else if (field == "shape") {
            const std::string k = w.empty() ? "" : w[0];
            if (k == "rect") {
                r.shape = Shape::Rect;
            } else if (k == "ellipse") {
                r.shape = Shape::Ellipse;
            } else if (k == "none") {
                r.shape = Shape::None;
            } else if (k == "rounded") {
                r.shape = Shape::Rounded;
                r.radius = num(1);
                const std::string c = w.size() > 2 ? w[2] : "all";
                static const std::map<std::string, Corners> corners = {{"all", Corners::All},
                                                                       {"top", Corners::Top},
                                                                       {"bottom", Corners::Bottom},
                                                                       {"left", Corners::Left},
                                                                       {"right", Corners::Right}};
                if (!corners.count(c)) {
                    throw SourceError(where + ": corners must be all, top, bottom, left or right");
                }
                r.corners = corners.at(c);
            } else {
                throw SourceError(where + ": shape must be rect, rounded, ellipse or none");
            }
        } else if (field == "fill") {
            r.fill.clear();
            for (std::size_t i = 0; i < w.size(); ++i) {
                r.fill.push_back(colour(i));
            }
        } else if (field == "fill.direction") {
            r.horizontal = !w.empty() && w[0] == "horizontal";
        } else if (field == "pattern") {
            static const std::map<std::string, Pattern> kinds = {
                {"none", Pattern::None},          {"noise", Pattern::Noise},
                {"brushed", Pattern::Brushed},    {"stripes", Pattern::Stripes},
                {"checker", Pattern::Checker},    {"blocks", Pattern::Blocks},
                {"scanlines", Pattern::Scanlines}};
            if (w.empty() || !kinds.count(w[0])) {
                throw SourceError(where + ": unknown pattern");
            }
            r.pattern = kinds.at(w[0]);
            if (r.pattern != Pattern::None) {
                r.patternColour = withAlpha(1);
                r.patternScale = num(3, 4);
            }
        } else if (field == "gloss") {
            r.gloss = num(0);
            r.glossSplit = num(1, 0);
        } else if (field == "highlight") {
            r.highlight = withAlpha(0);
        } else if (field == "border") {
            r.border = withAlpha(0);
            r.borderWidth = num(2, 1);
        } else if (field == "glyph") {
            static const std::map<std::string, Glyph> kinds = {{"none", Glyph::None},
                                                               {"close", Glyph::Close},
                                                               {"minimize", Glyph::Minimize},
                                                               {"maximize", Glyph::Maximize},
                                                               {"restore", Glyph::Restore},
                                                               {"check", Glyph::Check},
                                                               {"arrowdown", Glyph::ArrowDown},
                                                               {"grip", Glyph::Grip},
                                                               {"dot", Glyph::Dot},
                                                               {"plus", Glyph::Plus}};
            if (w.empty() || !kinds.count(w[0])) {
                throw SourceError(where + ": unknown glyph");
            }
            r.glyph = kinds.at(w[0]);
            if (r.glyph != Glyph::None) {
                r.glyphColour = colour(1);
                r.glyphSize = num(2);
                r.glyphThickness = num(3, 1.5);
            }
        } else if (field == "glyph.shadow") {
            r.glyphShadow = withAlpha(0);
        } else if (field == "seed") {
            r.seed = static_cast<unsigned>(num(0));
        } else {
            throw SourceError(where + ": unknown field");
        }
    }
    if (r.width < 1 || r.height < 1 || r.width > skin::kMaxImageSide || r.height > skin::kMaxImageSide) {
        throw SourceError("image " + key + ": size outside 1.." + std::to_string(skin::kMaxImageSide));
    }
    if (r.margins.left + r.margins.right > r.width || r.margins.top + r.margins.bottom > r.height) {
        throw SourceError("image " + key + ": margins larger than the image");
    }
    return r;
}

const std::map<std::string, std::string>& Section(const Sections& s, const std::string& name) {
    static const std::map<std::string, std::string> none;
    auto it = s.find(name);
    return it == s.end() ? none : it->second;
}

} // namespace

Sections ReadSections(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw SourceError("cannot read " + path);
    }
    Sections s;
    std::string section;
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        // A comment is a line starting with '#', or "# " after a value; colours are "#rrggbb".
        if (const auto hash = line.find("# "); hash != std::string::npos) {
            line.erase(hash);
        }
        if (!Trim(line).empty() && Trim(line)[0] == '#') {
            line.clear();
        }
        line = Trim(line);
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                throw SourceError(path + ":" + std::to_string(n) + ": unclosed section");
            }
            section = Trim(line.substr(1, line.size() - 2));
            s[section];
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            throw SourceError(path + ":" + std::to_string(n) + ": expected key = value");
        }
        s[section][Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
    }
    return s;
}

void Overlay(Sections& base, const Sections& top) {
    for (const auto& [name, keys] : top) {
        for (const auto& [k, v] : keys) {
            base[name][k] = v;
        }
    }
}

SkinSource BuildSkin(const Sections& merged, unsigned seed) {
    Context cx(merged, seed);
    SkinSource out;
    const auto& top = Section(merged, "");
    auto need = [&](const char* key) {
        auto it = top.find(key);
        if (it == top.end()) {
            throw SourceError(std::string("missing '") + key + "'");
        }
        return it->second;
    };
    out.displayName = need("name");
    out.skin.name = ToGbk(out.displayName);
    out.storedSize = static_cast<std::uint32_t>(cx.Number(need("stored"), "stored"));
    out.expandedSize = static_cast<std::uint32_t>(cx.Number(need("expanded"), "expanded"));

    const auto& metrics = Section(merged, "metrics");
    for (const skin::MetricSlot& m : skin::MetricSlots()) {
        const std::string where = "metric " + std::string(m.key);
        auto it = metrics.find(std::string(m.key));
        if (it == metrics.end()) {
            throw SourceError(where + " is not given");
        }
        const double v = cx.Number(Trim(cx.Expand(it->second, where)), where);
        if (v < m.min || v > m.max) {
            throw SourceError(where + " is outside " + std::to_string(m.min) + ".." + std::to_string(m.max));
        }
        m.get(out.skin) = static_cast<std::uint16_t>(v);
    }
    const auto& colours = Section(merged, "colours");
    for (const skin::ColourSlot& c : skin::ColourSlots()) {
        const std::string where = "colour " + std::string(c.key);
        auto it = colours.find(std::string(c.key));
        if (it == colours.end()) {
            throw SourceError(where + " is not given");
        }
        const Rgba v = cx.Colour(Trim(cx.Expand(it->second, where)), where);
        auto byte = [](double d) {
            return static_cast<std::uint8_t>(std::lround(std::clamp(d, 0.0, 1.0) * 255));
        };
        c.get(out.skin) = {byte(v.r), byte(v.g), byte(v.b)};
    }
    for (const skin::ImageSlot& slot : skin::ImageSlots()) {
        slot.get(out.skin) = Paint(BuildRecipe(cx, std::string(slot.key)));
    }
    // Keys nobody reads are typing mistakes.
    std::set<std::string> known;
    for (const skin::MetricSlot& m : skin::MetricSlots()) {
        known.insert(std::string(m.key));
    }
    for (const auto& [k, v] : metrics) {
        if (!known.count(k)) {
            throw SourceError("unknown metric " + k);
        }
    }
    known.clear();
    for (const skin::ColourSlot& c : skin::ColourSlots()) {
        known.insert(std::string(c.key));
    }
    for (const auto& [k, v] : colours) {
        if (!known.count(k)) {
            throw SourceError("unknown colour " + k);
        }
    }
    for (const auto& [name, keys] : merged) {
        if (name.rfind("image ", 0) == 0 && !skin::FindImageSlot(name.substr(6))) {
            throw SourceError("unknown image " + name.substr(6));
        }
        if (name != "" && name != "palette" && name != "metrics" && name != "colours" &&
            name.rfind("image ", 0) != 0) {
            throw SourceError("unknown section [" + name + "]");
        }
    }
    return out;
}

} // namespace trigora::skintool
