#pragma once

class QCoreApplication;

// Qt's own texts (standard buttons, the file dialog, the calendars' tool tips)
// in Portuguese: installs Qt's qtbase_pt_BR.qm, taken from beside the program,
// where the Windows package ships it, or else from Qt's translations folder.
// False when neither has it; Qt's texts then stay in English.
bool instalarTraducaoDoQt(QCoreApplication &app);
