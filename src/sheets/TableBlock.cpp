#include "TableBlock.h"

#include "ColumnFit.h"

#include <algorithm>
#include <cstring>

namespace sheets {
namespace {

constexpr size_t kChunkBytes = size_t(1) << 20;

enum Tag : char { TagEmpty, TagNumber, TagText, TagDate };

} // namespace

TableBlock::TableBlock(int columns, const Format& format)
    : m_columns(std::max(columns, 1)), m_format(format), m_widest(size_t(m_columns), 0.0) {}

char* TableBlock::reserve(size_t bytes) {
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().size < bytes) {
        Chunk c;
        c.capacity = std::max(kChunkBytes, bytes);
        c.data.reset(new char[c.capacity]);
        m_chunks.push_back(std::move(c));
    }
    Chunk& c = m_chunks.back();
    char* p = c.data.get() + c.size;
    c.size += bytes;
    return p;
}

void TableBlock::noteWidth(double px) {
    double& w = m_widest[size_t(m_cells % m_columns)];
    w = std::max(w, px);
}

void TableBlock::addEmpty() {
    *reserve(1) = TagEmpty;
    ++m_cells;
}

void TableBlock::addNumber(double v) {
    char* p = reserve(1 + sizeof v);
    *p = TagNumber;
    std::memcpy(p + 1, &v, sizeof v);
    noteWidth(fit::textWidthPx(fit::numberText(v, m_format.numberFormat), m_format));
    ++m_cells;
}

void TableBlock::addDate(double serial) {
    char* p = reserve(1 + sizeof serial);
    *p = TagDate;
    std::memcpy(p + 1, &serial, sizeof serial);
    noteWidth(fit::cellWidthPx(Value{Value::Kind::Date, serial, {}}, m_format));
    ++m_cells;
}

void TableBlock::addText(std::string_view utf8) {
    const auto len = std::uint32_t(utf8.size());
    char* p = reserve(1 + sizeof len + len);
    *p = TagText;
    std::memcpy(p + 1, &len, sizeof len);
    if (len)
        std::memcpy(p + 1 + sizeof len, utf8.data(), len);
    noteWidth(fit::textWidthPx(utf8, m_format));
    ++m_cells;
}

bool TableBlock::Reader::next(Value::Kind& kind, double& number, std::string_view& text) {
    while (m_chunk < m_block.m_chunks.size() && m_pos >= m_block.m_chunks[m_chunk].size) {
        ++m_chunk;
        m_pos = 0;
    }
    if (m_chunk >= m_block.m_chunks.size())
        return false;
    const char* p = m_block.m_chunks[m_chunk].data.get() + m_pos;
    switch (p[0]) {
    case TagEmpty:
        kind = Value::Kind::Empty;
        m_pos += 1;
        break;
    case TagNumber:
    case TagDate:
        kind = p[0] == TagNumber ? Value::Kind::Number : Value::Kind::Date;
        std::memcpy(&number, p + 1, sizeof number);
        m_pos += 1 + sizeof number;
        break;
    default: {
        std::uint32_t len;
        std::memcpy(&len, p + 1, sizeof len);
        kind = Value::Kind::Text;
        text = std::string_view(p + 1 + sizeof len, len);
        m_pos += 1 + sizeof len + len;
        break;
    }
    }
    return true;
}

} // namespace sheets
