#pragma once

class QCoreApplication;

// Installs Qt's own Italian translation, so standard buttons read Sì, No, Annulla. False when
// the translation is not installed on the machine.
bool installItalianTranslation(QCoreApplication& app);
