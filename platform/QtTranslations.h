#pragma once

// Qt's own texts (standard buttons, file dialog labels) come in Japanese, whatever the locale, so
// they match the rest of the program. Both programs call this once, right after the application
// object is made.
namespace QtTranslations {

// Loads Qt's Japanese catalogue into the application, which owns it, with the few texts of the
// programs' dialogs it lacks, and makes Japanese the default locale (the names of file types);
// false (after a warning on the console) when the catalogue is not installed, and Qt's texts stay
// English. A second call changes nothing.
bool installJapanese();

} // namespace QtTranslations
