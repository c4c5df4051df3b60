#pragma once

#include "base/Result.h"
#include "data/Refusal.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>

class Database;

// The article catalogue in the database: the list, and the insert, update and delete of one
// article. Articles may share a code; order lines keep their own copy of an article.
namespace articles {

// The list of the panel: the key first, then the columns in the order the list shows them.
inline constexpr const char* kList =
    "SELECT ID, CODICE, ARTICOLO, FORMATO, PESO, AGG FROM ARTICOLO "
    "ORDER BY ARTICOLO COLLATE ITALIANO, ID;";

// The label of the weight field, as the messages about its value name it.
inline constexpr const char* kWeightField = "Peso Collo (KG/LIT)";

struct Article {
    QString code;
    QString description;
    QString format;
    std::optional<double> weight; // no value: no weight given
};

// Reads the weight field's text (Italian number form); the error names the field.
Result<std::optional<double>> weightField(const QString& text);

// Run before the user is asked to confirm; the writes run them again in their transaction.
// `id` is the article last clicked in the list; no value when none is held.
Result<Refusal> checkUpdate(Database& db, std::optional<std::int64_t> id);
Result<Refusal> checkDelete(Database& db, std::optional<std::int64_t> id);

// Insert and update stamp AGG with `today`.
Status insert(Database& db, const Article& article, const QDate& today);
Result<Refusal> update(Database& db, std::optional<std::int64_t> id, const Article& article,
                       const QDate& today);
Result<Refusal> remove(Database& db, std::optional<std::int64_t> id);

} // namespace articles
