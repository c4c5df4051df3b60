#pragma once

class QCoreApplication;

// The toolkit's own file and folder pickers (shown where the desktop offers none of its own)
// wholly in Italian and with nothing cut: the words its translation lacks, and columns wide
// enough for their Italian headings and contents.
void makePickersItalian(QCoreApplication& app);
