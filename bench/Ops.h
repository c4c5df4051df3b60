#pragma once

#include "Measure.h"

#include <QString>

#include <functional>

// The benchmarks, each run in a process of its own so that its peak memory is its own.
namespace bench {

struct Options {
    QString dir;     // holds the large Ordine.mdb
    QString workDir; // where exported workbooks may be written
    int warmups = 1;
    int runs = 7;
};

using Emit = std::function<void(const Row&)>;

// Each returns false (after telling why on stderr) when it could not run.
bool listsBench(const Options& o,
                const Emit& emit); // CaricaClienti, CaricaOrdiniAnno, CaricaRigheOrdine
bool yearBench(const Options& o, const Emit& emit);    // year choice in mode 1, NuovoNumeroOrdine
bool combosBench(const Options& o, const Emit& emit);  // Cbo5: fill, completion, scrolling
bool startupBench(const Options& o, const Emit& emit); // start-up to the window shown
bool sheetsBench(const Options& o, const Emit& emit);  // StampaOrdineV
bool exportBench(const Options& o, const Emit& emit);  // Ado2excel
bool searchBench(const Options& o, const Emit& emit);  // Cerca, history, totals, repeat
bool backupBench(const Options& o, const Emit& emit);  // "Copia di sicurezza…" against cp
// Opening the file under a personal password against the built-in key.
bool passwordBench(const Options& o, const Emit& emit);
// The window "Statistiche": each view opened, and redrawn after a change of filter.
bool statsBench(const Options& o, const Emit& emit);
// Synchronisation with the agency's server: the first sync of the file, then one new order.
bool syncBench(const Options& o, const Emit& emit);
// "Importa listino" on a list of 50,000 articles: read and previewed, applied.
bool priceListBench(const Options& o, const Emit& emit);
// "Invia ordine…" of the 200-line order to the tests' SMTP server, and the window's longest
// pause meanwhile.
bool mailBench(const Options& o, const Emit& emit);

// The two children of the start-up benchmark; each prints when its window is shown.
int startupChild(bool ours, const QString& dir);

} // namespace bench
