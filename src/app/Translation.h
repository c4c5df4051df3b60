#pragma once

class QCoreApplication;

// Installs Qt's own Italian translation, so standard buttons read Sì, No, Annulla, and the
// words it lacks for the file pickers. False when the translation is not installed on the
// machine.
bool installItalianTranslation(QCoreApplication& app);
