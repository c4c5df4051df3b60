// gestione-leggixls: reads a .xls price list for Gestione Ordini, in a process of its own.
// libfreexl trusts the file: on a damaged one it may read past its own memory, crash or loop;
// here that costs only this process, which the program watches (time limits, its output
// bounded and checked) and whose memory is limited.
//
//   gestione-leggixls FILE ROWS COLUMNS
//
// The sheets and their cells go to the standard output as records (see XlsStream.h): at most
// ROWS rows a sheet (a longer sheet is refused), the first COLUMNS columns of each row.

#include "files/ChildLimits.h"
#include "files/FileInPlace.h"
#include "pricelists/XlsStream.h"

#include <freexl.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace pricelists;

// Far beyond what reading a list needs: libfreexl keeps the whole file and its strings.
constexpr rlim_t kMemoryBytes = rlim_t(2) << 30;
constexpr rlim_t kCpuSeconds = 600;

int g_out = -1;

bool send(const QByteArray& bytes) {
    return inplace::writeAll(g_out, bytes) == 0;
}

int refuse(xlsstream::Refusal why, const QByteArray& detail = {}) {
    return send(xlsstream::refusal(why, detail)) ? 0 : 1;
}

// A count from the command line: digits only, at least one, within bounds.
long countOf(const char* text, long most) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < 1 || n > most)
        return -1;
    return n;
}

struct Closer {
    const void* handle = nullptr;
    ~Closer() {
        if (handle)
            freexl_close(handle);
    }
};

int readAll(const char* path, unsigned int maxRows, unsigned short maxColumns) {
    using xlsstream::Refusal;
    Closer book;
    const int rc = freexl_open(path, &book.handle);
    if (rc != FREEXL_OK || !book.handle)
        return refuse(Refusal::NotOpened, QByteArray::number(rc));
    unsigned int sheets = 0;
    if (freexl_get_info(book.handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK ||
        sheets > unsigned(xlsstream::kMaxSheets))
        return refuse(Refusal::NotCounted);
    for (unsigned int s = 0; s < sheets; ++s) {
        const char* name = nullptr;
        QByteArray sheetName;
        if (freexl_get_worksheet_name(book.handle, static_cast<unsigned short>(s), &name) ==
                FREEXL_OK &&
            name)
            sheetName = QByteArray(name).left(xlsstream::kMaxName);
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(book.handle, static_cast<unsigned short>(s)) !=
                FREEXL_OK ||
            freexl_worksheet_dimensions(book.handle, &rows, &columns) != FREEXL_OK)
            return refuse(Refusal::SheetUnread, sheetName);
        if (rows > maxRows)
            return refuse(Refusal::TooManyRows, sheetName);
        if (!send(xlsstream::sheet(sheetName)))
            return 1;
        const unsigned short lastColumn = std::min(columns, maxColumns);
        for (unsigned int r = 0; r < rows; ++r) {
            if ((r & 1023) == 0 &&
                !send(xlsstream::progress(10 + int(90.0 * (s + double(r) / rows) / sheets))))
                return 1;
            for (unsigned short c = 0; c < lastColumn; ++c) {
                FreeXL_CellValue v{};
                if (freexl_get_cell_value(book.handle, r, c, &v) != FREEXL_OK)
                    continue;
                QByteArray out;
                switch (v.type) {
                case FREEXL_CELL_INT:
                    out = xlsstream::number(r, c, double(v.value.int_value));
                    break;
                case FREEXL_CELL_DOUBLE:
                    out = std::isfinite(v.value.double_value)
                              ? xlsstream::number(r, c, v.value.double_value)
                              : xlsstream::unreadable(r, c);
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (v.value.text_value && *v.value.text_value)
                        out = xlsstream::text(r, c, v.value.text_value,
                                              std::strlen(v.value.text_value));
                    break;
                default:
                    break;
                }
                if (!out.isEmpty() && !send(out))
                    return 1;
            }
        }
    }
    return send(xlsstream::end()) ? 0 : 1;
}

int run(int argc, char** argv) {
    // The records get a descriptor of their own; whatever the library prints, even on the
    // standard output, goes to the standard error.
    g_out = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (g_out < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;
    const long rows = argc == 4 ? countOf(argv[2], 100000000) : -1;
    const long columns = argc == 4 ? countOf(argv[3], 65535) : -1;
    if (rows < 0 || columns < 0) {
        const char usage[] = "uso: gestione-leggixls FILE RIGHE COLONNE\n";
        (void)!::write(STDERR_FILENO, usage, sizeof usage - 1);
        return 2;
    }
    if (!send(QByteArray(xlsstream::kMark, xlsstream::kMarkSize)))
        return 1;
    return readAll(argv[1], unsigned(rows), static_cast<unsigned short>(columns));
}

} // namespace

int main(int argc, char** argv) {
    limitReader(kMemoryBytes, kCpuSeconds);
    // The records are written unbuffered and the file is closed: nothing is left for the
    // handlers at exit, which are skipped.
    ::_exit(run(argc, argv));
}
