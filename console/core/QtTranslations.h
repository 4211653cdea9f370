// Qt's own texts (the buttons and labels of file dialogs, message boxes and
// context menus) in the language of the system locale, from the
// translations Qt ships (Debian: qt6-translations-l10n).
//
// Thread-safety: GUI thread only, after the QApplication exists.
#pragma once

#include <QLocale>

namespace warden::console {

// Installs Qt's translation for `locale` in the application. False when
// none is found for it (the texts then stay in English).
bool InstallQtTranslations(const QLocale& locale = QLocale::system());

}  // namespace warden::console
