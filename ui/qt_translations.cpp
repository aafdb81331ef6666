#include "qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

CQtTranslations::~CQtTranslations()
{
    if (installed)
        QCoreApplication::removeTranslator(&translator);
}

bool CQtTranslations::Install(const QLocale& locale)
{
    if (installed) {
        QCoreApplication::removeTranslator(&translator);
        installed = false;
    }
    if (!translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    installed = QCoreApplication::installTranslator(&translator);
    return installed;
}
