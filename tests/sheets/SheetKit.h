#pragma once

// Helpers of the spreadsheet tests: reading a written file back with an independent reader
// (openpyxl), and storing orders.

#include "data/Database.h"
#include "support/Fixture.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <clocale>
#include <optional>

namespace kit {

// The C library's locale of the process for a while, as a desktop of that language sets it;
// the one the test runs under again afterwards.
class ProcessLocale {
public:
    explicit ProcessLocale(const char* name) : active(std::setlocale(LC_ALL, name) != nullptr) {}
    ~ProcessLocale() { std::setlocale(LC_ALL, ""); }
    const bool active;
};

// The locales a desktop may have, with a decimal comma and with a full stop.
inline void addLocaleRows() {
    QTest::addColumn<QByteArray>("locale");
    for (const char* name : {"it_IT.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "en_US.UTF-8"})
        QTest::newRow(name) << QByteArray(name);
}

// Everything read_xlsx.py tells of the file; cells named "Sheet!A1" when given.
inline QJsonObject readXlsx(const QString& path, const QStringList& cells = {}) {
    QProcess p;
    const QString script = sourceDir() + QStringLiteral("/tests/sheets/read_xlsx.py");
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{script, path} + cells);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning("read_xlsx.py: %s", p.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// The archive's folder of a year's order sheets in the test's home.
inline QString archiveFolder(const QString& year = QStringLiteral("2026")) {
    return QDir::home().filePath(QStringLiteral("Documents/Gestione Ordini/Ordini/") + year);
}

// A command-line tool's output for a file: pdftotext, pdfinfo, pdffonts.
inline QString toolOutput(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning("%s: %s", qPrintable(tool), p.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct Line {
    QString articolo;
    QString codice;
    std::optional<double> peso;
    std::optional<double> qvendita;
    std::optional<double> prezzo;
    QString note;
};

struct Header {
    QString anno = QStringLiteral("2026");
    QString nr = QStringLiteral("7");
    QString cliente = QStringLiteral("101");
    QString datao = QStringLiteral("2026-12-01");
    QString datac = QStringLiteral("2026-12-15");
    QString dest = QStringLiteral("MAGAZZINO");
    QString citta = QStringLiteral("LODI");
    QString pr = QStringLiteral("LO");
};

// Stores the lines of an order, all in one transaction.
inline void storeOrder(Database& db, const Header& h, const QList<Line>& lines) {
    Status s = db.write([&]() -> Status {
        auto st = db.prepare(
            "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO, "
            "CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE) VALUES "
            "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, 'CT 6X1', ?11, ?12, 1, ?13, 5, ?14);");
        if (!st)
            return st.error();
        for (const Line& l : lines) {
            st->reset();
            st->bind(1, h.anno).bind(2, h.nr).bind(3, h.cliente);
            st->bindTextOrNull(4, h.datao).bindTextOrNull(5, h.datac);
            st->bind(6, h.dest).bind(7, h.citta).bind(8, h.pr);
            st->bind(9, l.articolo).bind(10, l.codice).bind(11, l.peso).bind(12, l.qvendita);
            st->bind(13, l.prezzo).bindTextOrNull(14, l.note);
            if (Status r = st->run(); !r)
                return r;
        }
        return {};
    });
    if (!s)
        qFatal("storeOrder: %s", qPrintable(s.error().text));
}

} // namespace kit
