#pragma once

#include <functional>

class QWidget;
struct AppContext;

// The article menu's "Importa listino…" and "Annulla ultimo listino".
namespace pricelists {

// Picks the file, reads it off the window's thread with a progress bar and Annulla, and opens
// the import window on it; a file that cannot be read is told in a box. `applied` runs once
// the list is applied.
void ImportaListino(AppContext& ctx, QWidget* parent, std::function<void()> applied = {});
// Whether a list was undone (the article lists shown are then to be filled again).
bool AnnullaUltimoListino(AppContext& ctx);

} // namespace pricelists
