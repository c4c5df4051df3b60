#pragma once

#include <QString>

// What the user chose for the window's look, kept between runs in the program's settings
// (readable by the owner alone).
namespace viewsettings {

struct View {
    int zoom = 100; // percent, one of the zoom's steps
    bool maximised = false;
};

// What was kept; a missing, unreadable or meaningless setting gives the default.
View load();
// Keeps `view`. On failure, the text says which file could not be written.
bool save(const View& view, QString* error);

} // namespace viewsettings
