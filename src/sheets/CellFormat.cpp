#include "CellFormat.h"

#include <cstdlib>
#include <functional>

namespace sheets {

Format Patch::apply(Format f) const {
    if (fontName)
        f.fontName = *fontName;
    if (fontSize)
        f.fontSize = *fontSize;
    if (bold)
        f.bold = *bold;
    if (numberFormat)
        f.numberFormat = *numberFormat;
    if (hAlign)
        f.hAlign = *hAlign;
    if (vAlign)
        f.vAlign = *vAlign;
    if (wrap)
        f.wrap = *wrap;
    if (shrink)
        f.shrink = *shrink;
    f.borders = std::uint8_t((f.borders & ~removeBorders) | addBorders);
    return f;
}

Patch Patch::font(std::string name, double size) {
    Patch p;
    p.fontName = std::move(name);
    p.fontSize = size;
    return p;
}

Patch Patch::size(double size) {
    Patch p;
    p.fontSize = size;
    return p;
}

Patch Patch::makeBold() {
    Patch p;
    p.bold = true;
    return p;
}

Patch Patch::numFmt(std::string format) {
    Patch p;
    p.numberFormat = std::move(format);
    return p;
}

Patch Patch::align(HAlign h, VAlign v) {
    Patch p;
    p.hAlign = h;
    p.vAlign = v;
    return p;
}

Patch Patch::borders(std::uint8_t edges) {
    Patch p;
    p.addBorders = edges;
    return p;
}

FormatTable::FormatTable() {
    intern(Format{});
}

FormatId FormatTable::intern(const Format& f) {
    auto it = m_index.find(f);
    if (it != m_index.end())
        return it->second;
    // A sheet of the program uses a few dozen formats; 65535 would be a runaway loop.
    if (m_formats.size() >= 0xFFFF)
        std::abort();
    const auto id = FormatId(m_formats.size());
    m_formats.push_back(f);
    m_index.emplace(f, id);
    return id;
}

FormatId FormatTable::Applier::operator()(FormatId id) {
    if (id >= m_cache.size())
        m_cache.resize(size_t(id) + 1, -1);
    if (m_cache[id] < 0)
        m_cache[id] = m_table.intern(m_patch.apply(m_table.at(id)));
    return FormatId(m_cache[id]);
}

size_t FormatTable::Hash::operator()(const Format& f) const {
    size_t h = std::hash<std::string>()(f.fontName);
    auto mix = [&h](size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(std::hash<double>()(f.fontSize));
    mix(std::hash<std::string>()(f.numberFormat));
    mix(size_t(f.bold) | size_t(f.hAlign) << 1 | size_t(f.vAlign) << 4 | size_t(f.wrap) << 7 |
        size_t(f.shrink) << 8 | size_t(f.borders) << 9);
    return h;
}

} // namespace sheets
