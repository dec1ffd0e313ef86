#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtDebug>

namespace zanto {

bool installQtTranslations()
{
    // Dates, numbers and the file types Qt names (from the MIME database)
    // follow the default locale.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    // The application owns it: a translator must outlive every text it gives.
    auto* translator = new QTranslator(QCoreApplication::instance());
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_", folder)
        || !QCoreApplication::installTranslator(translator)) {
        qWarning().noquote() << "Qt's Japanese translations were not found in" << folder;
        delete translator;
        return false;
    }
    return true;
}

} // namespace zanto
