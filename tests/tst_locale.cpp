// Runs before every other test: the suite asks for the Italian locale, and a machine where that
// locale is not installed silently runs everything in "C", where a decimal comma written into
// a file by mistake cannot show. This fails, naming the locale, unless it is really active.

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main() {
    const char* wanted = std::getenv("LC_ALL");
    if (!wanted || !*wanted)
        wanted = "it_IT.UTF-8";
    const char* active = std::setlocale(LC_ALL, "");
    const char* point = std::localeconv()->decimal_point;
    if (!active || std::strcmp(active, wanted) != 0 || std::strcmp(point, ",") != 0) {
        std::fprintf(stderr,
                     "The tests need the locale %s, which is not active (the C library gives "
                     "\"%s\", decimal point \"%s\"). Install it with scripts/setup.sh.\n",
                     wanted, active ? active : "(none)", point);
        return 1;
    }
    std::printf("locale %s active, decimal point \"%s\"\n", active, point);
    return 0;
}
