#pragma once

#include <QString>

#include <cstdio>
#include <optional>

// A personal password for the database tool, never taken from the command line (where other
// users of the machine see it): from the terminal without echo, or, when the input is not a
// terminal (a script), the first line of the input. Nothing when none was read.
std::optional<QString> readPassword(const char* prompt, std::FILE* in = stdin,
                                    std::FILE* out = stderr);
