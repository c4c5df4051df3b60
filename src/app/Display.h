#pragma once

// Whether the toolkit will find a graphical display to start on. Without one the toolkit aborts
// with an English advice to reinstall; the program says so in Italian and ends instead.
bool displayAvailable(int argc, char** argv);

// The text printed on standard error when no display is found.
const char* noDisplayMessage();

// From here on a fatal message of the toolkit about its display or platform ends the program
// with noDisplayMessage() and exit status 1, not an abort.
void endQuietlyWithoutDisplay();
