#include "SheetPrint.h"

#include "ColumnFit.h"
#include "NumberFormat.h"
#include "Workbook.h"
#include "WorkbookFiles.h"
#include "files/FolderNames.h"
#include "text/ItalianText.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextOption>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace sheets {
namespace {

// A4 landscape, in points.
constexpr double kPaperW = 841.89;
constexpr double kPaperH = 595.28;
// The least margin a printer can print in, and the top and bottom of the page.
constexpr double kMinSide = 14.17; // 5 mm
constexpr double kTop = 36;
constexpr double kBottom = 42;
constexpr double kFooterBase = 22; // from the bottom edge to the footer's baseline
// The room the application leaves between a cell's edges and its text.
constexpr double kPadX = 2;
constexpr double kPadY = 1;
// Points a column of that width takes, at 96 dpi.
double columnPt(std::optional<double> chars) {
    return fit::columnPx(chars) * 0.75;
}

// The height the application gives a row: its own, or the tallest of its cells' texts.
double rowPt(const Sheet& s, int r) {
    if (auto h = s.rowHeight(r))
        return *h;
    return std::max(fit::kDefaultRowHeight, fit::rowTextHeightPt(s, r));
}

QString shownText(const Value& v, const Format& f) {
    switch (v.kind) {
    case Value::Kind::Empty:
        return QString();
    case Value::Kind::Text:
        return QString::fromUtf8(v.text.data(), qsizetype(v.text.size()));
    case Value::Kind::Number:
    case Value::Kind::Formula:
        return formatNumber(v.number, f.numberFormat);
    case Value::Kind::Date:
        return itext::formatDate(dateOfSerial(v.number));
    }
    return QString();
}

QFont fontOf(const Format& f, double fontScale, double shrink = 1) {
    QFont font;
    // Arial is Liberation Sans on the desktops the program runs on; the workbook's default
    // font (Calibri) is Carlito where it is installed.
    if (f.fontName.empty())
        font.setFamilies({QStringLiteral("Carlito"), QStringLiteral("Liberation Sans")});
    else
        font.setFamilies({QString::fromStdString(f.fontName), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(f.fontSize * fontScale * shrink);
    font.setBold(f.bold);
    // Paper and PDF take the outlines as they are: the font's hinting program would only run
    // for nothing each time a glyph's outline is read.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The alignment of the text in its cell, as the application aligns it.
int alignmentOf(const Format& f, bool isText) {
    int flags = 0;
    switch (f.hAlign) {
    case HAlign::General:
        flags |= isText ? Qt::AlignLeft : Qt::AlignRight;
        break;
    case HAlign::Left:
    case HAlign::Justify:
        flags |= Qt::AlignLeft;
        break;
    case HAlign::Center:
        flags |= Qt::AlignHCenter;
        break;
    case HAlign::Right:
        flags |= Qt::AlignRight;
        break;
    }
    switch (f.vAlign) {
    case VAlign::Bottom:
        flags |= Qt::AlignBottom;
        break;
    case VAlign::Center:
        flags |= Qt::AlignVCenter;
        break;
    default:
        flags |= Qt::AlignTop;
        break;
    }
    return flags;
}

} // namespace

QFont pointFont(QFont font, double points, const QPainter& painter) {
    // The painter is scaled from the device's dots to points; a size in points would be taken
    // in the device's dots first, and so come out as many times too large.
    const int dpi = painter.device() ? painter.device()->logicalDpiY() : 72;
    font.setPointSizeF(points * 72.0 / std::max(1, dpi));
    return font;
}

SheetPrint::SheetPrint(const Sheet& sheet) : m_sheet(sheet) {
    const PageSetup& page = sheet.page();
    const Range area = page.printArea.value_or(Range{0, 0, kMaxRows - 1, 8});
    m_firstCol = area.firstCol;
    m_lastCol = area.lastCol;
    m_lastRow = std::min(area.lastRow, sheet.rowCount() - 1);

    double x = 0;
    for (int c = m_firstCol; c <= m_lastCol; ++c) {
        m_colX.push_back(x);
        x += columnPt(sheet.columnWidth(c));
    }
    m_colX.push_back(x);
    for (int r = 0; r <= m_lastRow; ++r)
        m_rowH.push_back(rowPt(sheet, r));
    if (page.titleRows)
        for (int r = page.titleRows->first; r <= std::min(page.titleRows->second, m_lastRow); ++r)
            m_titleRows.push_back(r);

    const double left = std::max(page.leftMargin.value_or(kMinSide), kMinSide);
    const double right = std::max(page.rightMargin.value_or(kMinSide), kMinSide);
    const double width = kPaperW - left - right;
    m_scale = page.fitToWidth && x > width ? width / x : 1;
    const double height = (kPaperH - kTop - kBottom) / m_scale;

    double titles = 0;
    for (int r : m_titleRows)
        titles += m_rowH[size_t(r)];
    int r = 0;
    while (r <= m_lastRow) {
        const bool first = m_pages.empty();
        double used = first ? 0 : titles;
        Page p{r, r};
        used += m_rowH[size_t(r)];
        while (p.lastRow + 1 <= m_lastRow && used + m_rowH[size_t(p.lastRow + 1)] <= height) {
            ++p.lastRow;
            used += m_rowH[size_t(p.lastRow)];
        }
        m_pages.push_back(p);
        r = p.lastRow + 1;
    }
    if (m_pages.empty())
        m_pages.push_back(Page{0, -1});
}

Status SheetPrint::print(QPagedPaintDevice& device, int from, int to) const {
    return printPages(device, from, to, nullptr);
}

Status SheetPrint::print(QPagedPaintDevice& device, const CoverPage& cover) const {
    return printPages(device, 1, 0, cover ? &cover : nullptr);
}

Status SheetPrint::printPages(QPagedPaintDevice& device, int from, int to,
                              const CoverPage* cover) const {
    const int first = std::clamp(from, 1, pageCount()) - 1;
    const int last = to <= 0 ? pageCount() - 1 : std::clamp(to, first + 1, pageCount()) - 1;
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageOrientation(QPageLayout::Landscape);
    device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    // Fonts are made for the device they draw on.
    m_fonts.clear();
    QPainter p;
    if (!p.begin(&device))
        return makeError(QStringLiteral("Impossibile preparare le pagine del foglio."));
    const int dpi = device.logicalDpiX();
    // The painter starts at the corner of the printable area; the pages are drawn in points
    // from the corner of the paper.
    const QRect paint = device.pageLayout().paintRectPixels(dpi);
    const double fontScale = 72.0 / device.logicalDpiY();
    auto toPoints = [&]() {
        p.resetTransform();
        p.translate(-paint.left(), -paint.top());
        p.scale(dpi / 72.0, dpi / 72.0);
    };
    // The cover is the first page of the document, and counted so in the footers.
    const int before = cover ? 1 : 0;
    const int pages = pageCount() + before;
    if (cover) {
        toPoints();
        p.save();
        (*cover)(p, device.pageLayout().fullRect(QPageLayout::Point));
        p.restore();
        drawFooter(p, 1, pages, fontScale);
    }
    for (int i = first; i <= last; ++i) {
        if ((i > first || cover) && !device.newPage()) {
            p.end();
            return makeError(QStringLiteral("Impossibile aggiungere una pagina al foglio."));
        }
        toPoints();
        drawPage(p, i, fontScale);
        drawFooter(p, i + 1 + before, pages, fontScale);
    }
    p.end();
    return {};
}

void SheetPrint::drawPage(QPainter& p, int index, double fontScale) const {
    const PageSetup& setup = m_sheet.page();
    const Page& page = m_pages[size_t(index)];
    const double left = std::max(setup.leftMargin.value_or(kMinSide), kMinSide);

    // The rows of the page, top to bottom, with their tops in the sheet's points.
    std::vector<std::pair<int, double>> rows;
    double y = 0;
    if (index > 0)
        for (int r : m_titleRows) {
            rows.emplace_back(r, y);
            y += m_rowH[size_t(r)];
        }
    for (int r = page.firstRow; r <= page.lastRow; ++r) {
        rows.emplace_back(r, y);
        y += m_rowH[size_t(r)];
    }

    p.save();
    p.translate(left, kTop);
    p.scale(m_scale, m_scale);
    const double width = m_colX.back();
    if (setup.printGridlines) {
        QPen grid(QColor(0xb0, 0xb0, 0xb0));
        grid.setWidthF(0.4 / m_scale);
        p.setPen(grid);
        QList<QLineF> lines;
        lines.reserve(qsizetype(rows.size() + m_colX.size() + 1));
        for (const auto& [r, top] : rows)
            lines.append(QLineF(0, top, width, top));
        lines.append(QLineF(0, y, width, y));
        for (double x : m_colX)
            lines.append(QLineF(x, 0, x, y));
        p.drawLines(lines);
    }
    // The cells' borders and most of their text go on the page after the cells.
    p.setPen(Qt::black);
    Ink ink;
    for (const auto& [r, top] : rows)
        for (int c = m_firstCol; c <= m_lastCol; ++c)
            drawCell(p, r, c, m_colX[size_t(c - m_firstCol)], top, fontScale, ink);
    for (const Glyphs& g : ink.text)
        drawGlyphs(p, g);
    if (!ink.borders.isEmpty()) {
        QPen pen(Qt::black);
        pen.setWidthF(0.6);
        p.setPen(pen);
        p.drawLines(ink.borders);
    }
    p.restore();
}

void SheetPrint::drawFooter(QPainter& p, int number, int pages, double fontScale) const {
    if (m_sheet.page().footer.empty())
        return;
    Format small;
    small.fontName = "Arial";
    small.fontSize = 9;
    p.setFont(fontOf(small, fontScale));
    p.setPen(Qt::black);
    const QString text = QStringLiteral("Pagina %1 di %2").arg(number).arg(pages);
    p.drawText(QRectF(0, kPaperH - kFooterBase - 12, kPaperW, 14),
               Qt::AlignHCenter | Qt::AlignBottom, text);
}

void SheetPrint::drawCell(QPainter& p, int r, int c, double x, double y, double fontScale,
                          Ink& ink) const {
    const Cell* cell = m_sheet.cell(r, c);
    const Format& f = m_sheet.format(r, c);
    const int col = c - m_firstCol;
    QRectF rect(x, y, m_colX[size_t(col + 1)] - x, m_rowH[size_t(r)]);

    const Range* merge = m_sheet.mergeAt(r, c);
    if (merge) {
        if (merge->firstRow != r || merge->firstCol != c)
            return;
        // The merged cell hides the lines inside it.
        double right = m_colX[size_t(std::min(merge->lastCol, m_lastCol) - m_firstCol + 1)];
        double h = 0;
        for (int mr = merge->firstRow; mr <= std::min(merge->lastRow, m_lastRow); ++mr)
            h += m_rowH[size_t(mr)];
        rect = QRectF(x, y, right - x, h);
        p.fillRect(rect.adjusted(0.3, 0.3, -0.3, -0.3), Qt::white);
        // The outline of a merged cell is the edges of its cells.
        for (int mc = merge->firstCol; mc <= std::min(merge->lastCol, m_lastCol); ++mc) {
            const auto b = m_sheet.format(r, mc).borders;
            const double x0 = m_colX[size_t(mc - m_firstCol)];
            const double x1 = m_colX[size_t(mc - m_firstCol + 1)];
            if (b & edge::Top)
                ink.borders.append(QLineF(x0, rect.top(), x1, rect.top()));
            if (b & edge::Bottom)
                ink.borders.append(QLineF(x0, rect.bottom(), x1, rect.bottom()));
            if ((b & edge::Left) && mc == merge->firstCol)
                ink.borders.append(QLineF(rect.topLeft(), rect.bottomLeft()));
            if ((b & edge::Right) && mc == merge->lastCol)
                ink.borders.append(QLineF(rect.topRight(), rect.bottomRight()));
        }
    } else if (f.borders) {
        if (f.borders & edge::Top)
            ink.borders.append(QLineF(rect.topLeft(), rect.topRight()));
        if (f.borders & edge::Bottom)
            ink.borders.append(QLineF(rect.bottomLeft(), rect.bottomRight()));
        if (f.borders & edge::Left)
            ink.borders.append(QLineF(rect.topLeft(), rect.bottomLeft()));
        if (f.borders & edge::Right)
            ink.borders.append(QLineF(rect.topRight(), rect.bottomRight()));
    }
    if (!cell || cell->value.empty())
        return;

    const Value& v = cell->value;
    const bool isText = v.kind == Value::Kind::Text;
    QString text = shownText(v, f);
    const bool wrap = f.wrap && isText;
    if (!wrap)
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const int flags = alignmentOf(f, isText);

    QRectF box = rect.adjusted(kPadX, kPadY, -kPadX, -kPadY);
    const Font& font = fontFor(cell->format, f, fontScale, p.device());
    // A line of text goes to the page as the font's glyphs, placed here: the font's pixels on
    // the device are the sheet's points.
    const std::optional<Glyphs> line = wrap ? std::nullopt : lineOf(font, text);
    const double needed = wrap ? 0 : line ? line->width : font.metrics.horizontalAdvance(text);
    const bool shrink = f.shrink && !wrap && needed > box.width() && needed > 0;
    if (!shrink && isText && !wrap && !merge && (flags & Qt::AlignLeft) && needed > box.width()) {
        // Text runs on over the empty cells to its right, as the application shows it.
        for (int next = c + 1; next <= m_lastCol && needed > box.width(); ++next) {
            const Cell* n = m_sheet.cell(r, next);
            if ((n && !n->value.empty()) || m_sheet.mergeAt(r, next))
                break;
            box.setRight(m_colX[size_t(next - m_firstCol + 1)] - kPadX);
        }
    }
    // Only a wrapped text, or one wider than its room, needs the cell's edges as a clip.
    const bool clip = wrap || needed > box.width();
    if (line && !shrink && !clip) {
        ink.add(*line, originOf(font, *line, box, flags));
        return;
    }
    if (clip)
        p.setClipRect(box.adjusted(-kPadX, -kPadY, kPadX, kPadY));
    if (wrap) {
        // A wrapped text breaks between its words, and inside a word wider than the cell, as
        // the spreadsheet breaks it; what is taller than the cell is cut at its edges.
        QTextOption option{Qt::Alignment(flags)};
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        p.setFont(font.font);
        p.drawText(box, text, option);
    } else if (line && !shrink) {
        drawGlyphs(p, *line, originOf(font, *line, box, flags));
    } else {
        p.setFont(shrink ? fontOf(f, fontScale, std::max(0.3, box.width() / needed)) : font.font);
        p.drawText(box, flags, text);
    }
    if (clip)
        p.setClipping(false);
}

void SheetPrint::Ink::add(const Glyphs& line, QPointF origin) {
    auto run = std::find_if(text.begin(), text.end(),
                            [&](const Glyphs& g) { return g.font == line.font; });
    if (run == text.end())
        run = text.insert(text.end(), Glyphs{line.font, {}, {}, 0});
    run->glyphs.append(line.glyphs);
    for (const QPointF& at : line.positions)
        run->positions.append(origin + at);
}

std::optional<SheetPrint::Glyphs> SheetPrint::lineOf(const Font& font, const QString& text) {
    if (!font.raw.isValid())
        return std::nullopt;
    // One glyph a character, side by side: marks that sit on a letter and characters of two
    // halves take the painter's shaping.
    for (QChar c : text)
        if (c.isSurrogate() || c.isMark())
            return std::nullopt;
    Glyphs line{&font, font.raw.glyphIndexesForString(text), {}, 0};
    if (line.glyphs.isEmpty() || line.glyphs.contains(0u))
        return std::nullopt; // a character the font lacks: the painter finds another font for it
    const QList<QPointF> advances = font.raw.advancesForGlyphIndexes(
        line.glyphs, QRawFont::UseDesignMetrics | QRawFont::KernedAdvances);
    line.positions.reserve(advances.size());
    for (const QPointF& advance : advances) {
        line.positions.append(QPointF(line.width, 0));
        line.width += advance.x();
    }
    return line;
}

QPointF SheetPrint::originOf(const Font& font, const Glyphs& line, const QRectF& box, int flags) {
    double x = box.left();
    if (flags & Qt::AlignRight)
        x = box.right() - line.width;
    else if (flags & Qt::AlignHCenter)
        x = box.left() + (box.width() - line.width) / 2;
    const double height = font.metrics.ascent() + font.metrics.descent();
    double top = box.top();
    if (flags & Qt::AlignBottom)
        top = box.bottom() - height;
    else if (flags & Qt::AlignVCenter)
        top = box.top() + (box.height() - height) / 2;
    return QPointF(x, top + font.metrics.ascent());
}

void SheetPrint::drawGlyphs(QPainter& p, const Glyphs& g, QPointF origin) {
    QGlyphRun run;
    run.setRawFont(g.font->raw);
    run.setGlyphIndexes(g.glyphs);
    run.setPositions(g.positions);
    p.drawGlyphRun(origin, run);
}

const SheetPrint::Font& SheetPrint::fontFor(unsigned id, const Format& f, double fontScale,
                                            QPaintDevice* device) const {
    if (m_fonts.size() <= id)
        m_fonts.resize(size_t(id) + 1);
    if (!m_fonts[id])
        m_fonts[id] = std::make_unique<Font>(fontOf(f, fontScale), device);
    return *m_fonts[id];
}

Status writePdf(const Sheet& sheet, const QString& path, const QString& title) {
    return writePdf(sheet, path, title, CoverPage());
}

Status writePdf(const Sheet& sheet, const QString& path, const QString& title,
                const CoverPage& cover) {
    const QString what = QStringLiteral("Impossibile scrivere il PDF");
    return replaceFile(path, what, [&](const QString& tempPath) -> Status {
        QFile file(tempPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return makeError(
                QStringLiteral("%1 \"%2\": %3.")
                    .arg(what, folders::shownNative(path), describeSystemError(EACCES)),
                EACCES);
        {
            QPdfWriter pdf(&file);
            pdf.setTitle(title);
            pdf.setCreator(QStringLiteral("Gestione Ordini"));
            if (Status s = SheetPrint(sheet).print(pdf, cover); !s)
                return s;
        }
        if (!file.flush() || file.error() != QFileDevice::NoError || file.size() == 0) {
            // The writes failed somewhere in the pages: most often the disk filled up.
            const int err = diskNearlyFull(path) ? ENOSPC : EIO;
            return makeError(QStringLiteral("%1 \"%2\": %3.")
                                 .arg(what, folders::shownNative(path), describeSystemError(err)),
                             err);
        }
        return {};
    });
}

} // namespace sheets
