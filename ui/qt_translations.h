// Qt's own texts (the file dialog's buttons, context menus, message boxes) in
// the user's language, from the translations that come with Qt. The panel's
// own texts are not translated: they stay as they are in every language.
#pragma once

#include <QLocale>
#include <QTranslator>

class CQtTranslations {
public:
    CQtTranslations() = default;
    CQtTranslations(const CQtTranslations&) = delete;
    CQtTranslations& operator=(const CQtTranslations&) = delete;
    ~CQtTranslations();

    // Installs qtbase_<language> into the running application; false when
    // Qt has no translation for the locale (English needs none). Call it
    // once a Q(Core)Application exists.
    bool Install(const QLocale& locale = QLocale());

private:
    QTranslator translator;
    bool installed = false;
};
