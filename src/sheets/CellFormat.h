#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// What a cell looks like: font, number format, alignment and the thin lines on its edges.
// Formats are kept once per workbook in a FormatTable and cells refer to them by index, so that a
// sheet of thousands of cells holds a handful of formats and the writer makes each only once.
namespace sheets {

enum class HAlign : std::uint8_t { General, Left, Center, Right, Justify };
enum class VAlign : std::uint8_t { Bottom, Center, Top, Justify, Distributed };

// Edges of a cell that carry a thin continuous line in the automatic colour.
namespace edge {
inline constexpr std::uint8_t Left = 1;
inline constexpr std::uint8_t Top = 2;
inline constexpr std::uint8_t Right = 4;
inline constexpr std::uint8_t Bottom = 8;
inline constexpr std::uint8_t All = Left | Top | Right | Bottom;
} // namespace edge

// The number format that shows a date in the spreadsheet application's own short date form (the
// form it gives a date typed into a cell without a format of its own).
inline const std::string kShortDate = "[data breve]";

struct Format {
    // Empty: the workbook's default font.
    std::string fontName;
    double fontSize = 11;
    bool bold = false;
    // Empty: "General".
    std::string numberFormat;
    HAlign hAlign = HAlign::General;
    VAlign vAlign = VAlign::Bottom;
    bool wrap = false;
    bool shrink = false;
    std::uint8_t borders = 0;

    bool operator==(const Format&) const = default;
};

// A change to some properties of a format; what it leaves unset stays as it was.
struct Patch {
    std::optional<std::string> fontName;
    std::optional<double> fontSize;
    std::optional<bool> bold;
    std::optional<std::string> numberFormat;
    std::optional<HAlign> hAlign;
    std::optional<VAlign> vAlign;
    std::optional<bool> wrap;
    std::optional<bool> shrink;
    std::uint8_t addBorders = 0;
    std::uint8_t removeBorders = 0;

    Format apply(Format f) const;

    static Patch font(std::string name, double size);
    static Patch size(double size);
    static Patch makeBold();
    static Patch numFmt(std::string format);
    static Patch align(HAlign h, VAlign v);
    static Patch borders(std::uint8_t edges);
};

using FormatId = std::uint16_t;

class FormatTable {
public:
    FormatTable();
    // Index 0 is the workbook's default format.
    static constexpr FormatId kDefault = 0;

    FormatId intern(const Format& f);
    const Format& at(FormatId id) const { return m_formats[id]; }
    size_t size() const { return m_formats.size(); }

    // The format of id changed by the patch. Sheet operations pass the same patch over many cells;
    // the cache keeps the result per id so each distinct format is built once.
    class Applier {
    public:
        Applier(FormatTable& table, const Patch& patch) : m_table(table), m_patch(patch) {}
        FormatId operator()(FormatId id);

    private:
        FormatTable& m_table;
        const Patch& m_patch;
        std::vector<int> m_cache;
    };

private:
    struct Hash {
        size_t operator()(const Format& f) const;
    };
    std::vector<Format> m_formats;
    std::unordered_map<Format, FormatId, Hash> m_index;
};

} // namespace sheets
