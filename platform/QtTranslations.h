#pragma once

// Qt's own texts (standard buttons, file dialog labels) come in Japanese, whatever the locale, so
// they match the rest of the program. Both programs call this once, right after the application
// object is made.
namespace QtTranslations {

// Loads Qt's Japanese catalogue into the application, which owns it; false (after a warning on
// the console) when the catalogue is not installed, and Qt's texts stay English.
bool installJapanese();

} // namespace QtTranslations
