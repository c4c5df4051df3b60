#pragma once

#include <cstdio>
#include <memory>
#include <set>

// The workbook library's work files. libxlsxwriter writes each part of a workbook into a work
// file of its own, made by its function lxw_tmpfile, and copies it into the archive; it does not
// look at the result of those writes, so a full disk gives a part cut short that is zipped as if
// whole. This program defines lxw_tmpfile itself (the library calls it through its symbol table,
// where the program's definition comes first): while a Watch is active on the thread, each work
// file is an unnamed owner-only file in the library's folder, written through a stream that
// notes every write that fails. Outside a Watch the library's own function makes it.
namespace sheets::workfiles {

class Watch {
public:
    Watch();
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // The work files made while the watch was active.
    int files() const;
    // The error of the first write (or close) of one of them that failed; 0 when none did.
    int failure() const;
    // Closes the work files the library left open once it is done with the workbook (it keeps
    // one of a streamed workbook open for good); their failures count as the others'.
    void closeLeft();

    // What the work files report to; a file the library closes late still reaches it.
    struct State {
        int files = 0;
        int failure = 0;
        // The streams of the work files not closed yet.
        std::set<FILE*> open;
    };

private:
    Watch* m_outer;
    std::shared_ptr<State> m_state;

    friend FILE* watchedFile(const char* dir);
};

} // namespace sheets::workfiles

extern "C" FILE* lxw_tmpfile(char* tmpdir);
