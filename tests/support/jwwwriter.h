#pragma once
// Writes small Jw_cad drawings (.jww) for tests: the whole header as the CAD program
// lays it out, then the entity list and the block definitions as one object stream with
// its running index. Entities are given in paper millimetres; angles of arcs in radians,
// of texts in degrees.
#include <cstdint>
#include <string>
#include <vector>

struct WriterPen {
    std::uint8_t style = 1;
    std::uint16_t colour = 2;
    std::uint16_t width = 0;
    std::uint16_t layer = 0;
    std::uint16_t group = 0;
};

class JwwWriter {
public:
    // unicode: every string in the newer UTF-16 form, as the CAD program's Unicode builds write.
    explicit JwwWriter(std::uint32_t version = 600, bool unicode = false);

    void SetMemo(const std::string& memo) { memo_ = memo; }
    void SetPaper(std::uint32_t code) { paper_ = code; }
    void SetLayerState(int group, int layer, std::uint32_t state) { layerStates_[group][layer] = state; }
    void SetGroupState(int group, std::uint32_t state) { groupStates_[group] = state; }

    // Entities go to the open block definition, or to the main list when none is open.
    JwwWriter& Line(double x1, double y1, double x2, double y2, WriterPen pen = {});
    JwwWriter& Arc(double cx, double cy, double r, double start, double sweep, double tilt, double flatness, bool closed,
                   WriterPen pen = {});
    JwwWriter& Point(double x, double y, bool temporary = false, WriterPen pen = {});
    // content and font in CP932 (or ASCII); size y is the height, size x the width of a
    // full-width character.
    JwwWriter& Text(double x1, double y1, double x2, double y2, double sizeX, double sizeY, double angle,
                    const std::string& content, WriterPen pen = {}, const std::string& font = "MS Gothic");
    // Four corners in file order; colour 10 on the pen writes rgb (0x00BBGGRR) after them.
    JwwWriter& Solid(const double corners[8], WriterPen pen = {}, std::uint32_t rgb = 0);
    JwwWriter& Insert(double x, double y, double scaleX, double scaleY, double rotation, std::uint32_t definition,
                      WriterPen pen = {});
    JwwWriter& Dimension(double x1, double y1, double x2, double y2, const std::string& figure, WriterPen pen = {});
    // Null items and a class name the readers do not know, for damaged streams.
    JwwWriter& Null();
    JwwWriter& Unknown();

    void BeginBlock(std::uint32_t number, const std::string& name);
    void EndBlock();

    std::string Bytes() const;
    // Byte offset of the entity list's count in Bytes().
    std::size_t ListOffset() const;

private:
    struct Item {
        std::string className;   // empty: a null item
        std::string fields;
    };
    struct Block {
        std::uint32_t number;
        std::string name;
        std::vector<Item> items;
    };

    std::string Base(const WriterPen& pen) const;
    std::string Str(const std::string& s) const;
    std::string LineFields(double x1, double y1, double x2, double y2, const WriterPen& pen) const;
    std::string TextFields(double x1, double y1, double x2, double y2, double sizeX, double sizeY, double angle,
                           const std::string& content, const WriterPen& pen, const std::string& font) const;
    std::string PointFields(double x, double y, bool temporary, const WriterPen& pen) const;
    JwwWriter& Add(const char* className, std::string fields);
    std::string Header() const;

    std::uint32_t version_;
    bool unicode_;
    std::string memo_;
    std::uint32_t paper_ = 3;
    std::uint32_t groupStates_[16];
    std::uint32_t layerStates_[16][16];
    std::vector<Item> main_;
    std::vector<Block> blocks_;
    bool inBlock_ = false;
};
