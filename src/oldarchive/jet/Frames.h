#pragma once

#include "Archive.h"

#include <QByteArray>

#include <optional>

// What the archive reader's own process sends to the program: a stream of frames, each a tag,
// a length and its bytes. The program trusts none of it: every frame is checked as it is read.
namespace jet::frames {

enum class Tag : char {
    // A table's name.
    Table = 'T',
    // A column of the table asked for.
    Column = 'C',
    // A row of the table asked for.
    Row = 'R',
    // The reader's own refusal, in words for the user; the last frame.
    Failure = 'E',
    // All was read; the last frame.
    End = 'Z',
};

// The longest frame: a row of the most memo columns a table may have, each of the longest text.
constexpr qsizetype kMaxPayload = 64 * 1024 * 1024;

QByteArray frame(Tag tag, const QByteArray& payload = {});
QByteArray ofText(const QString& text);
QByteArray ofColumn(const Column& column);
QByteArray ofRow(const Row& row);

std::optional<QString> textOf(const QByteArray& payload);
std::optional<Column> columnOf(const QByteArray& payload);
std::optional<Row> rowOf(const QByteArray& payload);

struct Frame {
    Tag tag = Tag::End;
    QByteArray payload;
};

// Gathers the bytes as they come and gives the whole frames among them.
class Reader {
public:
    enum class Next { Frame, NeedMore, Bad };
    void feed(const char* data, qsizetype size) { m_buffer.append(data, size); }
    Next next(Frame& out);
    bool empty() const { return m_buffer.size() == m_at; }

private:
    QByteArray m_buffer;
    qsizetype m_at = 0;
};

} // namespace jet::frames
