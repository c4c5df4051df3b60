#pragma once

#include <QCoreApplication>
#include <QString>

// The texts of the price-list import that name a file or a sheet.
namespace pricelists::msg {

inline QString fileName(const QString& path) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

inline QString notWhatItSays(const QString& path, const QString& kind) {
    return QStringLiteral("Il file «%1» non è un %2: il suo contenuto non è quello che il nome "
                          "dice. Nulla è stato importato.")
        .arg(fileName(path), kind);
}
inline QString damaged(const QString& path, const QString& cause) {
    return QStringLiteral("Il file «%1» è danneggiato e non si legge (%2). Nulla è stato "
                          "importato.")
        .arg(fileName(path), cause);
}
// The library's own words, in English, go last, after "Dettaglio:".
inline QString damagedDetail(const QString& path, const QString& detail) {
    return QStringLiteral("Il file «%1» è danneggiato e non si legge. Nulla è stato importato. "
                          "Dettaglio: %2")
        .arg(fileName(path), detail);
}
inline QString tooBig(const QString& path, qint64 megabytes) {
    return QStringLiteral("Il file «%1» una volta aperto occuperebbe più di %2 MB: non viene "
                          "letto. Nulla è stato importato.")
        .arg(fileName(path))
        .arg(megabytes);
}
inline QString tooManyRows(const QString& sheet, int rows) {
    return QStringLiteral("Il foglio «%1» ha più di %2 righe: un listino così lungo non viene "
                          "letto. Nulla è stato importato.")
        .arg(sheet)
        .arg(rows);
}
inline QString unknownKind(const QString& path) {
    return QStringLiteral("Il file «%1» non è un listino che il programma sa leggere: sono letti "
                          "i file .xlsx, .xls, .ods e .csv.")
        .arg(fileName(path));
}
inline QString cannotOpen(const QString& path, const QString& cause) {
    return QStringLiteral("Il file «%1» non si apre: %2.").arg(fileName(path), cause);
}
inline QString nothingRead(const QString& path) {
    return QStringLiteral("Nel file «%1» non è stato letto alcun valore, benché il foglio ne "
                          "dichiari: il listino non viene importato.")
        .arg(fileName(path));
}
// Why a .xls file's own reader gave nothing usable, for damaged() above.
inline QString xlsStopped() {
    return QStringLiteral("la sua lettura si è interrotta");
}
inline QString xlsGarbled() {
    return QStringLiteral("la sua lettura ha dato dati non validi");
}
inline QString xlsHung(int seconds) {
    return QStringLiteral("la sua lettura non è finita entro %1 secondi").arg(seconds);
}
inline QString xlsReaderMissing(const QString& path, const QString& program) {
    return QStringLiteral("Il file «%1» non si legge: il programma che legge i fogli .xls (%2) non "
                          "si può avviare. Nulla è stato importato.")
        .arg(fileName(path), program);
}
inline QString cancelled() {
    return QStringLiteral("Lettura del listino annullata.");
}

} // namespace pricelists::msg
