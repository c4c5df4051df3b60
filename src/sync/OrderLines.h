#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

class Database;
class Statement;

namespace pg {
class Rows;
}

// The lines of one order as they travel between the file and the server.
namespace orderlines {

struct Line {
    std::optional<QString> idCl, dataO, dataC, dest, citta, pr, articolo, codice, formato;
    std::optional<double> peso, qVendita, qOmaggio, prezzo, sconto;
    std::optional<QString> note;
};

struct Order {
    QString anno;
    QString nr;
    std::vector<Line> lines;
};

// The columns of ORDINE after ANNO and NR, in the order Line holds them.
inline constexpr int kLineColumns = 16;

// Reads a line from the statement's columns, starting at `first`.
Line fromStatement(const Statement& st, int first);
// Reads a line from the server's row, starting at `first`.
Line fromRows(const pg::Rows& rows, int row, int first);

// The line's fields in the server's COPY text form, each followed by a tab.
void appendCopy(QByteArray& out, const Line& line);

// What identifies the content of an order: the same lines in the same order give the same
// fingerprint on every machine; a deleted order has one of its own.
QByteArray fingerprint(const std::vector<Line>& lines);
QByteArray deletedFingerprint();

// Replaces the order's lines in the file with the given ones (none: the order goes).
Status replaceLocal(Database& db, const QString& anno, const QString& nr,
                    const std::vector<Line>& lines);

} // namespace orderlines
