#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// The floor of a workbook: the very libxlsxwriter calls that our writer makes, recorded once
// while it runs and then replayed bare, so that the baseline writes identical cells and formats
// and does nothing else. The benchmark is linked with --wrap for each call, so every call our
// writer makes passes through a recorder that is a plain forward while nothing records.
namespace bench::tape {

enum class Kind : std::uint8_t {
    NewWorkbook, // a = constant memory
    AddFormat,   // fmt = its index
    FontName,
    FontSize,
    Bold,
    NumFormat,
    NumFormatIndex,
    Align,
    Wrap,
    Shrink,
    Left,
    Top,
    Right,
    Bottom,
    AddWorksheet, // s = name
    SetColumn,    // a, b = columns, x = width
    SetRow,       // a = row, x = height
    Blank,
    Number,
    String,     // a = row, b = column, x = number, s = text
    Merge,      // a, b, c, d = range, s = text
    PrintArea,  // a, b, c, d
    Margins,    // x, y, z, w
    Gridlines,  // a = option
    RepeatRows, // a, b
    Selection,  // a, b, c, d
    Activate,
    Formula, // a = row, b = column, x = result, s = formula
    Paper,   // a = paper code
    Landscape,
    FitToPages, // a = wide, b = tall
    Footer,     // s = footer
    Close,
};

struct Op {
    Kind kind;
    int sheet = -1; // index of the worksheet, or of the format for the format calls
    int fmt = -1;   // index of the format used, -1 for none
    std::uint32_t a = 0, b = 0, c = 0, d = 0;
    double x = 0, y = 0, z = 0, w = 0;
    std::string s;
};

struct Tape {
    std::vector<Op> ops;
    int formats = 0;
    int sheets = 0;
};

// Records the calls of one workbook (the last one closed while recording).
void startRecording();
Tape stopRecording();

// Writes the workbook of the tape into path with the bare calls; false on a failure.
bool replay(const Tape& tape, const QString& path);

// The tape as JSON, for the replay by openpyxl.
QByteArray toJson(const Tape& tape);

} // namespace bench::tape
