#include "app/traducao.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

bool instalarTraducaoDoQt(QCoreApplication &app)
{
    auto tradutor = std::make_unique<QTranslator>();
    for (const QString &pasta : {QCoreApplication::applicationDirPath(),
                                 QLibraryInfo::location(QLibraryInfo::TranslationsPath)}) {
        if (tradutor->load(QStringLiteral("qtbase_pt_BR"), pasta)) {
            tradutor->setParent(&app);
            return QCoreApplication::installTranslator(tradutor.release());
        }
    }
    return false;
}
