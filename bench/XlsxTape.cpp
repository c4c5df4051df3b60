#include "XlsxTape.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <xlsxwriter.h>

#include <unordered_map>

// The real calls, under the names the linker's --wrap gives them.
extern "C" {
lxw_workbook* __real_workbook_new_opt(const char*, lxw_workbook_options*);
lxw_format* __real_workbook_add_format(lxw_workbook*);
lxw_worksheet* __real_workbook_add_worksheet(lxw_workbook*, const char*);
lxw_error __real_workbook_close(lxw_workbook*);
void __real_format_set_font_name(lxw_format*, const char*);
void __real_format_set_font_size(lxw_format*, double);
void __real_format_set_bold(lxw_format*);
void __real_format_set_num_format(lxw_format*, const char*);
void __real_format_set_num_format_index(lxw_format*, uint8_t);
void __real_format_set_align(lxw_format*, uint8_t);
void __real_format_set_text_wrap(lxw_format*);
void __real_format_set_shrink(lxw_format*);
void __real_format_set_left(lxw_format*, uint8_t);
void __real_format_set_top(lxw_format*, uint8_t);
void __real_format_set_right(lxw_format*, uint8_t);
void __real_format_set_bottom(lxw_format*, uint8_t);
lxw_error __real_worksheet_set_column(lxw_worksheet*, lxw_col_t, lxw_col_t, double, lxw_format*);
lxw_error __real_worksheet_set_row(lxw_worksheet*, lxw_row_t, double, lxw_format*);
lxw_error __real_worksheet_write_blank(lxw_worksheet*, lxw_row_t, lxw_col_t, lxw_format*);
lxw_error __real_worksheet_write_number(lxw_worksheet*, lxw_row_t, lxw_col_t, double, lxw_format*);
lxw_error __real_worksheet_write_string(lxw_worksheet*, lxw_row_t, lxw_col_t, const char*,
                                        lxw_format*);
lxw_error __real_worksheet_merge_range(lxw_worksheet*, lxw_row_t, lxw_col_t, lxw_row_t, lxw_col_t,
                                       const char*, lxw_format*);
lxw_error __real_worksheet_print_area(lxw_worksheet*, lxw_row_t, lxw_col_t, lxw_row_t, lxw_col_t);
void __real_worksheet_set_margins(lxw_worksheet*, double, double, double, double);
void __real_worksheet_gridlines(lxw_worksheet*, uint8_t);
lxw_error __real_worksheet_repeat_rows(lxw_worksheet*, lxw_row_t, lxw_row_t);
void __real_worksheet_set_selection(lxw_worksheet*, lxw_row_t, lxw_col_t, lxw_row_t, lxw_col_t);
void __real_worksheet_activate(lxw_worksheet*);
lxw_error __real_worksheet_write_formula_num(lxw_worksheet*, lxw_row_t, lxw_col_t, const char*,
                                             lxw_format*, double);
void __real_worksheet_set_paper(lxw_worksheet*, uint8_t);
void __real_worksheet_set_landscape(lxw_worksheet*);
void __real_worksheet_fit_to_pages(lxw_worksheet*, uint16_t, uint16_t);
lxw_error __real_worksheet_set_footer(lxw_worksheet*, const char*);
}

namespace bench::tape {
namespace {

struct Recorder {
    bool on = false;
    Tape current;
    Tape done;
    std::unordered_map<const void*, int> formats;
    std::unordered_map<const void*, int> sheets;

    int fmt(const lxw_format* f) const {
        if (!f)
            return -1;
        auto i = formats.find(f);
        return i == formats.end() ? -1 : i->second;
    }
    int sheet(const void* s) const {
        auto i = sheets.find(s);
        return i == sheets.end() ? -1 : i->second;
    }
    Op& add(Kind k) {
        Op op;
        op.kind = k;
        current.ops.push_back(std::move(op));
        return current.ops.back();
    }
};

Recorder g;

} // namespace

void startRecording() {
    g = Recorder();
    g.on = true;
}

Tape stopRecording() {
    g.on = false;
    Tape t = std::move(g.done);
    g = Recorder();
    return t;
}

} // namespace bench::tape

using bench::tape::g;
using bench::tape::Kind;

extern "C" {

lxw_workbook* __wrap_workbook_new_opt(const char* file, lxw_workbook_options* o) {
    if (g.on) {
        g.current = bench::tape::Tape();
        g.formats.clear();
        g.sheets.clear();
        g.add(Kind::NewWorkbook).a = o && o->constant_memory ? 1 : 0;
    }
    return __real_workbook_new_opt(file, o);
}

lxw_format* __wrap_workbook_add_format(lxw_workbook* wb) {
    lxw_format* f = __real_workbook_add_format(wb);
    if (g.on && f) {
        const int i = g.current.formats++;
        g.formats[f] = i;
        g.add(Kind::AddFormat).sheet = i;
    }
    return f;
}

lxw_worksheet* __wrap_workbook_add_worksheet(lxw_workbook* wb, const char* name) {
    lxw_worksheet* ws = __real_workbook_add_worksheet(wb, name);
    if (g.on && ws) {
        const int i = g.current.sheets++;
        g.sheets[ws] = i;
        auto& op = g.add(Kind::AddWorksheet);
        op.sheet = i;
        op.s = name ? name : "";
    }
    return ws;
}

lxw_error __wrap_workbook_close(lxw_workbook* wb) {
    if (g.on) {
        g.add(Kind::Close);
        g.done = std::move(g.current);
        g.current = bench::tape::Tape();
    }
    return __real_workbook_close(wb);
}

static bench::tape::Op* formatOp(Kind k, lxw_format* f) {
    if (!g.on)
        return nullptr;
    auto& op = g.add(k);
    op.sheet = g.fmt(f);
    return &op;
}

void __wrap_format_set_font_name(lxw_format* f, const char* name) {
    if (auto* op = formatOp(Kind::FontName, f))
        op->s = name ? name : "";
    __real_format_set_font_name(f, name);
}
void __wrap_format_set_font_size(lxw_format* f, double size) {
    if (auto* op = formatOp(Kind::FontSize, f))
        op->x = size;
    __real_format_set_font_size(f, size);
}
void __wrap_format_set_bold(lxw_format* f) {
    formatOp(Kind::Bold, f);
    __real_format_set_bold(f);
}
void __wrap_format_set_num_format(lxw_format* f, const char* nf) {
    if (auto* op = formatOp(Kind::NumFormat, f))
        op->s = nf ? nf : "";
    __real_format_set_num_format(f, nf);
}
void __wrap_format_set_num_format_index(lxw_format* f, uint8_t i) {
    if (auto* op = formatOp(Kind::NumFormatIndex, f))
        op->a = i;
    __real_format_set_num_format_index(f, i);
}
void __wrap_format_set_align(lxw_format* f, uint8_t a) {
    if (auto* op = formatOp(Kind::Align, f))
        op->a = a;
    __real_format_set_align(f, a);
}
void __wrap_format_set_text_wrap(lxw_format* f) {
    formatOp(Kind::Wrap, f);
    __real_format_set_text_wrap(f);
}
void __wrap_format_set_shrink(lxw_format* f) {
    formatOp(Kind::Shrink, f);
    __real_format_set_shrink(f);
}
void __wrap_format_set_left(lxw_format* f, uint8_t s) {
    if (auto* op = formatOp(Kind::Left, f))
        op->a = s;
    __real_format_set_left(f, s);
}
void __wrap_format_set_top(lxw_format* f, uint8_t s) {
    if (auto* op = formatOp(Kind::Top, f))
        op->a = s;
    __real_format_set_top(f, s);
}
void __wrap_format_set_right(lxw_format* f, uint8_t s) {
    if (auto* op = formatOp(Kind::Right, f))
        op->a = s;
    __real_format_set_right(f, s);
}
void __wrap_format_set_bottom(lxw_format* f, uint8_t s) {
    if (auto* op = formatOp(Kind::Bottom, f))
        op->a = s;
    __real_format_set_bottom(f, s);
}

static bench::tape::Op* sheetOp(Kind k, const lxw_worksheet* ws, const lxw_format* f = nullptr) {
    if (!g.on)
        return nullptr;
    auto& op = g.add(k);
    op.sheet = g.sheet(ws);
    op.fmt = g.fmt(f);
    return &op;
}

lxw_error __wrap_worksheet_set_column(lxw_worksheet* ws, lxw_col_t a, lxw_col_t b, double w,
                                      lxw_format* f) {
    if (auto* op = sheetOp(Kind::SetColumn, ws, f)) {
        op->a = a;
        op->b = b;
        op->x = w;
    }
    return __real_worksheet_set_column(ws, a, b, w, f);
}
lxw_error __wrap_worksheet_set_row(lxw_worksheet* ws, lxw_row_t r, double h, lxw_format* f) {
    if (auto* op = sheetOp(Kind::SetRow, ws, f)) {
        op->a = r;
        op->x = h;
    }
    return __real_worksheet_set_row(ws, r, h, f);
}
lxw_error __wrap_worksheet_write_blank(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, lxw_format* f) {
    if (auto* op = sheetOp(Kind::Blank, ws, f)) {
        op->a = r;
        op->b = c;
    }
    return __real_worksheet_write_blank(ws, r, c, f);
}
lxw_error __wrap_worksheet_write_number(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, double v,
                                        lxw_format* f) {
    if (auto* op = sheetOp(Kind::Number, ws, f)) {
        op->a = r;
        op->b = c;
        op->x = v;
    }
    return __real_worksheet_write_number(ws, r, c, v, f);
}
lxw_error __wrap_worksheet_write_string(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c, const char* s,
                                        lxw_format* f) {
    if (auto* op = sheetOp(Kind::String, ws, f)) {
        op->a = r;
        op->b = c;
        op->s = s ? s : "";
    }
    return __real_worksheet_write_string(ws, r, c, s, f);
}
lxw_error __wrap_worksheet_merge_range(lxw_worksheet* ws, lxw_row_t r1, lxw_col_t c1, lxw_row_t r2,
                                       lxw_col_t c2, const char* s, lxw_format* f) {
    if (auto* op = sheetOp(Kind::Merge, ws, f)) {
        op->a = r1;
        op->b = c1;
        op->c = r2;
        op->d = c2;
        op->s = s ? s : "";
    }
    return __real_worksheet_merge_range(ws, r1, c1, r2, c2, s, f);
}
lxw_error __wrap_worksheet_print_area(lxw_worksheet* ws, lxw_row_t r1, lxw_col_t c1, lxw_row_t r2,
                                      lxw_col_t c2) {
    if (auto* op = sheetOp(Kind::PrintArea, ws)) {
        op->a = r1;
        op->b = c1;
        op->c = r2;
        op->d = c2;
    }
    return __real_worksheet_print_area(ws, r1, c1, r2, c2);
}
void __wrap_worksheet_set_margins(lxw_worksheet* ws, double l, double r, double t, double b) {
    if (auto* op = sheetOp(Kind::Margins, ws)) {
        op->x = l;
        op->y = r;
        op->z = t;
        op->w = b;
    }
    __real_worksheet_set_margins(ws, l, r, t, b);
}
void __wrap_worksheet_gridlines(lxw_worksheet* ws, uint8_t o) {
    if (auto* op = sheetOp(Kind::Gridlines, ws))
        op->a = o;
    __real_worksheet_gridlines(ws, o);
}
lxw_error __wrap_worksheet_repeat_rows(lxw_worksheet* ws, lxw_row_t a, lxw_row_t b) {
    if (auto* op = sheetOp(Kind::RepeatRows, ws)) {
        op->a = a;
        op->b = b;
    }
    return __real_worksheet_repeat_rows(ws, a, b);
}
void __wrap_worksheet_set_selection(lxw_worksheet* ws, lxw_row_t r1, lxw_col_t c1, lxw_row_t r2,
                                    lxw_col_t c2) {
    if (auto* op = sheetOp(Kind::Selection, ws)) {
        op->a = r1;
        op->b = c1;
        op->c = r2;
        op->d = c2;
    }
    __real_worksheet_set_selection(ws, r1, c1, r2, c2);
}
void __wrap_worksheet_activate(lxw_worksheet* ws) {
    sheetOp(Kind::Activate, ws);
    __real_worksheet_activate(ws);
}
lxw_error __wrap_worksheet_write_formula_num(lxw_worksheet* ws, lxw_row_t r, lxw_col_t c,
                                             const char* s, lxw_format* f, double v) {
    if (auto* op = sheetOp(Kind::Formula, ws, f)) {
        op->a = r;
        op->b = c;
        op->x = v;
        op->s = s ? s : "";
    }
    return __real_worksheet_write_formula_num(ws, r, c, s, f, v);
}
void __wrap_worksheet_set_paper(lxw_worksheet* ws, uint8_t paper) {
    if (auto* op = sheetOp(Kind::Paper, ws))
        op->a = paper;
    __real_worksheet_set_paper(ws, paper);
}
void __wrap_worksheet_set_landscape(lxw_worksheet* ws) {
    sheetOp(Kind::Landscape, ws);
    __real_worksheet_set_landscape(ws);
}
void __wrap_worksheet_fit_to_pages(lxw_worksheet* ws, uint16_t wide, uint16_t tall) {
    if (auto* op = sheetOp(Kind::FitToPages, ws)) {
        op->a = wide;
        op->b = tall;
    }
    __real_worksheet_fit_to_pages(ws, wide, tall);
}
lxw_error __wrap_worksheet_set_footer(lxw_worksheet* ws, const char* s) {
    if (auto* op = sheetOp(Kind::Footer, ws))
        op->s = s ? s : "";
    return __real_worksheet_set_footer(ws, s);
}

} // extern "C"

namespace bench::tape {

bool replay(const Tape& t, const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    std::vector<lxw_format*> formats(size_t(t.formats), nullptr);
    std::vector<lxw_worksheet*> sheets(size_t(t.sheets), nullptr);
    lxw_workbook* wb = nullptr;
    bool ok = true;
    auto f = [&](int i) { return i < 0 ? nullptr : formats[size_t(i)]; };
    for (const Op& op : t.ops) {
        switch (op.kind) {
        case Kind::NewWorkbook: {
            lxw_workbook_options o{};
            o.constant_memory = op.a ? LXW_TRUE : LXW_FALSE;
            wb = __real_workbook_new_opt(file.constData(), &o);
            if (!wb)
                return false;
            break;
        }
        case Kind::AddFormat:
            formats[size_t(op.sheet)] = __real_workbook_add_format(wb);
            break;
        case Kind::FontName:
            __real_format_set_font_name(f(op.sheet), op.s.c_str());
            break;
        case Kind::FontSize:
            __real_format_set_font_size(f(op.sheet), op.x);
            break;
        case Kind::Bold:
            __real_format_set_bold(f(op.sheet));
            break;
        case Kind::NumFormat:
            __real_format_set_num_format(f(op.sheet), op.s.c_str());
            break;
        case Kind::NumFormatIndex:
            __real_format_set_num_format_index(f(op.sheet), uint8_t(op.a));
            break;
        case Kind::Align:
            __real_format_set_align(f(op.sheet), uint8_t(op.a));
            break;
        case Kind::Wrap:
            __real_format_set_text_wrap(f(op.sheet));
            break;
        case Kind::Shrink:
            __real_format_set_shrink(f(op.sheet));
            break;
        case Kind::Left:
            __real_format_set_left(f(op.sheet), uint8_t(op.a));
            break;
        case Kind::Top:
            __real_format_set_top(f(op.sheet), uint8_t(op.a));
            break;
        case Kind::Right:
            __real_format_set_right(f(op.sheet), uint8_t(op.a));
            break;
        case Kind::Bottom:
            __real_format_set_bottom(f(op.sheet), uint8_t(op.a));
            break;
        case Kind::AddWorksheet:
            sheets[size_t(op.sheet)] = __real_workbook_add_worksheet(wb, op.s.c_str());
            break;
        case Kind::SetColumn:
            ok &= !__real_worksheet_set_column(sheets[size_t(op.sheet)], lxw_col_t(op.a),
                                               lxw_col_t(op.b), op.x, f(op.fmt));
            break;
        case Kind::SetRow:
            ok &= !__real_worksheet_set_row(sheets[size_t(op.sheet)], op.a, op.x, f(op.fmt));
            break;
        case Kind::Blank:
            ok &= !__real_worksheet_write_blank(sheets[size_t(op.sheet)], op.a, lxw_col_t(op.b),
                                                f(op.fmt));
            break;
        case Kind::Number:
            ok &= !__real_worksheet_write_number(sheets[size_t(op.sheet)], op.a, lxw_col_t(op.b),
                                                 op.x, f(op.fmt));
            break;
        case Kind::String:
            ok &= !__real_worksheet_write_string(sheets[size_t(op.sheet)], op.a, lxw_col_t(op.b),
                                                 op.s.c_str(), f(op.fmt));
            break;
        case Kind::Merge:
            ok &= !__real_worksheet_merge_range(sheets[size_t(op.sheet)], op.a, lxw_col_t(op.b),
                                                op.c, lxw_col_t(op.d), op.s.c_str(), f(op.fmt));
            break;
        case Kind::PrintArea:
            ok &= !__real_worksheet_print_area(sheets[size_t(op.sheet)], op.a, lxw_col_t(op.b),
                                               op.c, lxw_col_t(op.d));
            break;
        case Kind::Margins:
            __real_worksheet_set_margins(sheets[size_t(op.sheet)], op.x, op.y, op.z, op.w);
            break;
        case Kind::Gridlines:
            __real_worksheet_gridlines(sheets[size_t(op.sheet)], uint8_t(op.a));
            break;
        case Kind::RepeatRows:
            ok &= !__real_worksheet_repeat_rows(sheets[size_t(op.sheet)], op.a, op.b);
            break;
        case Kind::Selection:
            __real_worksheet_set_selection(sheets[size_t(op.sheet)], op.a, lxw_col_t(op.b), op.c,
                                           lxw_col_t(op.d));
            break;
        case Kind::Activate:
            __real_worksheet_activate(sheets[size_t(op.sheet)]);
            break;
        case Kind::Formula:
            ok &= !__real_worksheet_write_formula_num(
                sheets[size_t(op.sheet)], op.a, lxw_col_t(op.b), op.s.c_str(), f(op.fmt), op.x);
            break;
        case Kind::Paper:
            __real_worksheet_set_paper(sheets[size_t(op.sheet)], uint8_t(op.a));
            break;
        case Kind::Landscape:
            __real_worksheet_set_landscape(sheets[size_t(op.sheet)]);
            break;
        case Kind::FitToPages:
            __real_worksheet_fit_to_pages(sheets[size_t(op.sheet)], uint16_t(op.a), uint16_t(op.b));
            break;
        case Kind::Footer:
            ok &= !__real_worksheet_set_footer(sheets[size_t(op.sheet)], op.s.c_str());
            break;
        case Kind::Close:
            ok &= !__real_workbook_close(wb);
            wb = nullptr;
            break;
        }
    }
    return ok && !wb;
}

QByteArray toJson(const Tape& t) {
    static const char* const names[] = {"new_workbook",
                                        "add_format",
                                        "font_name",
                                        "font_size",
                                        "bold",
                                        "num_format",
                                        "num_format_index",
                                        "align",
                                        "wrap",
                                        "shrink",
                                        "left",
                                        "top",
                                        "right",
                                        "bottom",
                                        "add_worksheet",
                                        "set_column",
                                        "set_row",
                                        "blank",
                                        "number",
                                        "string",
                                        "merge",
                                        "print_area",
                                        "margins",
                                        "gridlines",
                                        "repeat_rows",
                                        "selection",
                                        "activate",
                                        "formula",
                                        "paper",
                                        "landscape",
                                        "fit_to_pages",
                                        "footer",
                                        "close"};
    QJsonArray ops;
    for (const Op& op : t.ops) {
        QJsonArray o{QString::fromLatin1(names[int(op.kind)]),
                     op.sheet,
                     op.fmt,
                     qint64(op.a),
                     qint64(op.b),
                     qint64(op.c),
                     qint64(op.d),
                     op.x,
                     op.y,
                     op.z,
                     op.w,
                     QString::fromUtf8(op.s.data(), qsizetype(op.s.size()))};
        ops.append(o);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("ops"), ops}}).toJson(QJsonDocument::Compact);
}

} // namespace bench::tape
