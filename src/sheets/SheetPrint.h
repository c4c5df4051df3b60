#pragma once

#include "base/Result.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLineF>
#include <QList>
#include <QRawFont>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include <vector>

class QPagedPaintDevice;
class QPainter;

// A sheet of the workbook model on paper, drawn by the program itself: the same cells, formats,
// widths, merges and page setup the .xlsx is written from, on A4 landscape, scaled to one page
// wide, the title rows on every page and "Pagina n di m" in the footer. One painter draws the
// print preview, the printer's pages and the PDF file.
namespace sheets {

class Sheet;
struct Format;

// A page drawn before the sheet's pages (a chart): the painter works in points on the whole
// A4 landscape paper, whose rectangle is given; a font is given its size in points with
// pointFont(), since the device's resolution is not the painter's. It is page 1 of the footers.
using CoverPage = std::function<void(QPainter& painter, const QRectF& paper)>;

// The font at `points` points on the painter of a cover page.
QFont pointFont(QFont font, double points, const QPainter& painter);

class SheetPrint {
public:
    explicit SheetPrint(const Sheet& sheet);

    int pageCount() const { return int(m_pages.size()); }
    // Draws the pages from..to (counted from 1; to 0: to the last) on the device (a PDF writer
    // or a printer), one page of paper each; the device is set to A4 landscape first.
    Status print(QPagedPaintDevice& device, int from = 1, int to = 0) const;
    // The cover page first, then every page of the sheet.
    Status print(QPagedPaintDevice& device, const CoverPage& cover) const;

private:
    struct Page {
        int firstRow; // the body rows of the page, after the title rows
        int lastRow;
    };
    struct Font;
    Status printPages(QPagedPaintDevice& device, int from, int to, const CoverPage* cover) const;
    // Glyphs of one font at their places: one line of text from its start, or the lines of a
    // page where they go on the page.
    struct Glyphs {
        const Font* font = nullptr;
        QList<quint32> glyphs;
        QList<QPointF> positions;
        double width = 0; // of one line
    };
    // What the cells of a page leave to draw at its end: their borders, and their lines of
    // text in one run of glyphs for each font.
    struct Ink {
        QList<QLineF> borders;
        std::vector<Glyphs> text;
        void add(const Glyphs& line, QPointF origin);
    };
    // The text as one line of the font's glyphs; none when the font lacks one of its
    // characters or the text needs shaping.
    static std::optional<Glyphs> lineOf(const Font& font, const QString& text);
    // Where the line starts on its baseline, placed in the box as the painter places a line.
    static QPointF originOf(const Font& font, const Glyphs& line, const QRectF& box, int flags);
    static void drawGlyphs(QPainter& p, const Glyphs& glyphs, QPointF origin = {});
    void drawPage(QPainter& p, int index, double fontScale) const;
    // "Pagina n di m" at the foot of the paper, when the sheet has a footer.
    void drawFooter(QPainter& p, int number, int pages, double fontScale) const;
    void drawCell(QPainter& p, int row, int col, double x, double y, double fontScale,
                  Ink& ink) const;
    const Font& fontFor(unsigned id, const Format& f, double fontScale, QPaintDevice* device) const;

    const Sheet& m_sheet;
    int m_lastRow = -1;
    int m_firstCol = 0;
    int m_lastCol = -1;
    // Column widths and row heights in points, as the application shows them.
    std::vector<double> m_colX; // left edge of each printed column; one more for the right
    std::vector<double> m_rowH;
    std::vector<int> m_titleRows;
    double m_scale = 1;
    std::vector<Page> m_pages;
    // The font of each format of the sheet and its metrics, made on first use.
    struct Font {
        Font(const QFont& f, QPaintDevice* device)
            : font(f, device), metrics(font, device), raw(QRawFont::fromFont(font)) {}
        QFont font;
        QFontMetricsF metrics;
        QRawFont raw;
    };
    // Each in a place of its own: the glyphs of a page point to their font.
    mutable std::vector<std::unique_ptr<Font>> m_fonts;
};

// Writes the sheet as a PDF file at path (A4, fonts embedded, the text selectable), replacing
// an earlier file there only once the new one is whole; the document's title is title.
Status writePdf(const Sheet& sheet, const QString& path, const QString& title);
// The same with a cover page before the sheet's pages.
Status writePdf(const Sheet& sheet, const QString& path, const QString& title,
                const CoverPage& cover);

} // namespace sheets
