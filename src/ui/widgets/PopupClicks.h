#pragma once

class QCompleter;

// A click outside an open list of suggestions closes the list and still reaches what it was
// aimed at: a button is pressed at the first click, a field takes the focus and the next keys.
void passOutsideClicks(QCompleter* completer);
