#pragma once
// Old-format drawings (.jwc) made from known content, for the tests and the fuzz seeds.
#include <bit>
#include <cstdio>
#include <initializer_list>
#include <cstdint>
#include <string>
#include <vector>

class JwcWriter {
public:
    // realScales: the header form whose layer-group scales are reals.
    explicit JwcWriter(bool realScales = false) : real_(realScales) {}

    JwcWriter& Memo(std::string a, std::string b) { memo1_ = std::move(a), memo2_ = std::move(b); return *this; }
    // Layer group g: its state and the mask of its shown layers.
    JwcWriter& Group(int g, int state, unsigned shown) { states_[g] = state, masks_[g] = shown; return *this; }
    JwcWriter& Layer(int group, int layer) { layer_ = group * 16 + layer; return *this; }
    JwcWriter& Point(float x, float y, bool temporary = false)
    {
        ++points_;
        Pen(points_data_);
        Floats(points_data_, {x, y});
        points_data_ += char(temporary ? 1 : 0);
        return *this;
    }
    JwcWriter& Line(float x1, float y1, float x2, float y2)
    {
        ++lines_;
        Pen(lines_data_);
        Floats(lines_data_, {x1, y1, x2, y2});
        return *this;
    }
    // Angles in degrees.
    JwcWriter& Arc(float cx, float cy, float r, float start, float sweep, float flatness = 1, float tilt = 0)
    {
        ++arcs_;
        Pen(arcs_data_);
        Floats(arcs_data_, {cx, cy, r, start, sweep, flatness, tilt});
        return *this;
    }
    // content in Shift-JIS.
    JwcWriter& Text(float x, float y, float size, const std::string& content, float angle = 0, float spacing = 0)
    {
        ++texts_;
        Pen(texts_data_);
        Floats(texts_data_, {x, y, size, size, spacing, angle});
        texts_data_ += char(content.size());
        texts_data_ += content;
        return *this;
    }

    std::string Bytes() const
    {
        std::string r1 = "jw_cad(c)data.......";
        r1 += real_ ? "a.f.m" : "a...m";
        r1.resize(40, '.');
        r1 += Field(memo1_) + Field(memo2_) + "2";
        std::string r2, r3;
        for (int g = 0; g < 16; ++g) {
            r2 += (real_ ? std::to_string(100.0 + g * 0.5) : std::to_string(100 + g)) + ' ';
            char mask[8];
            std::snprintf(mask, sizeof mask, "%d:%04X ", states_[g], masks_[g] & 0xFFFF);
            r3 += mask;
        }
        const std::string r4 = std::to_string(points_) + ' ' + std::to_string(lines_) + ' ' + std::to_string(arcs_) + ' ' +
                               std::to_string(texts_);
        std::string out;
        for (std::string r : {r1, r2, r3, r4}) {
            r.resize(200, ' ');
            out += r;
        }
        return out + points_data_ + lines_data_ + arcs_data_ + texts_data_;
    }

private:
    static std::string Field(const std::string& s) { std::string f = s; f.resize(32, '\0'); return f; }
    void Pen(std::string& to) const { to += char(layer_), to += char(1), to += char(1); }
    static void Floats(std::string& to, std::initializer_list<float> values)
    {
        for (float v : values) {
            const std::uint32_t u = std::bit_cast<std::uint32_t>(v);
            for (int i = 0; i < 4; ++i) to += char(u >> (8 * i) & 0xFF);
        }
    }

    bool real_;
    std::string memo1_, memo2_;
    int states_[16] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
    unsigned masks_[16] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                           0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    int layer_ = 0;
    long points_ = 0, lines_ = 0, arcs_ = 0, texts_ = 0;
    std::string points_data_, lines_data_, arcs_data_, texts_data_;
};
