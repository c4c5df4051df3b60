#pragma once

#include "SheetData.h"
#include "SheetFile.h"

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// What the .xls reader's own process (gestione-leggixls) sends to the program on its standard
// output: a mark, then records of a tag, a length (four bytes, little-endian) and that many
// bytes. The sheets come in order, each followed by its cells in order of row and column:
//   'S' a sheet: its name
//   'N' a number: row (4 bytes), column (2 bytes), the value (8 bytes, IEEE, little-endian)
//   'T' a text: row, column, the text in UTF-8
//   'U' a value that could not be read: row, column
//   'P' how far the reading is: one byte, 0 to 100
//   'E' the reader's refusal, the last record: a reason (one byte), then its detail
//   'Z' all was read: the last record
// The program trusts none of it: every length, count and place is checked as it comes.
namespace pricelists::xlsstream {

// The first bytes of the output.
inline constexpr char kMark[] = "GXLS1\n";
inline constexpr qsizetype kMarkSize = sizeof kMark - 1;
// The longest record: a cell of the longest text a sheet may hold, in UTF-8, with room.
inline constexpr qsizetype kMaxRecord = 128 * 1024;
// The longest sheet name or detail of a refusal.
inline constexpr qsizetype kMaxName = 1024;
// The most sheets a workbook may bring.
inline constexpr int kMaxSheets = 1024;

// Why the reader refused the file.
enum class Refusal : char {
    // The library did not open it; the detail is its code, in digits.
    NotOpened = 'O',
    // The sheets could not be counted.
    NotCounted = 'C',
    // A sheet could not be read; the detail is its name.
    SheetUnread = 'F',
    // A sheet has more rows than allowed; the detail is its name.
    TooManyRows = 'R',
};

// The reader's side.
QByteArray sheet(const QByteArray& name);
QByteArray number(std::uint32_t row, std::uint16_t column, double value);
// The text is cut to fit a record, at a character's boundary.
QByteArray text(std::uint32_t row, std::uint16_t column, const char* utf8, std::size_t size);
QByteArray unreadable(std::uint32_t row, std::uint16_t column);
QByteArray progress(int percent);
QByteArray refusal(Refusal why, const QByteArray& detail);
QByteArray end();

// The program's side: takes the bytes as they come and builds the workbook.
class Decoder {
public:
    enum class State { Going, Ended, Bad, TooBig };

    // `path` names the file in the messages.
    Decoder(const QString& path, const ReadLimits& limits);

    // Once not Going, further bytes change nothing.
    State feed(const char* data, qsizetype size);
    State state() const { return m_state; }
    // How far the reader says it is, 0 to 100.
    int percent() const { return m_percent; }
    // The workbook once ended; else the reader's refusal, or the message for a file whose
    // reading gave what it should not or stopped short.
    Result<Workbook> finish();

private:
    bool take(char tag, const char* p, qsizetype n);
    bool cell(char tag, const char* p, qsizetype n);
    bool refused(const char* p, qsizetype n);

    QString m_path;
    ReadLimits m_limits;
    State m_state = State::Going;
    QByteArray m_buffer;
    qsizetype m_at = 0;
    bool m_marked = false;
    qint64 m_bytes = 0;
    int m_percent = 0;
    Workbook m_book;
    // The place of the last cell of the current sheet, as row * columns + column; -1 for none.
    std::int64_t m_lastPlace = -1;
    std::optional<Error> m_refusal;
};

} // namespace pricelists::xlsstream
