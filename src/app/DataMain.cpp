#include "DataMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

TDataMain::TDataMain() {
  for (const QString &dir : TranslationDirs()) {
    if (FTranslator.load(QStringLiteral("qtbase_zh_CN"), dir)) {
      FLoaded = QCoreApplication::installTranslator(&FTranslator);
      break;
    }
  }
}

TDataMain::~TDataMain() {
  if (FLoaded)
    QCoreApplication::removeTranslator(&FTranslator);
}

QStringList TDataMain::TranslationDirs() {
  // A "translations" folder beside the executable comes first, so a copied-out program (as on
  // Windows) brings its own; then the folder of the Qt installation.
  return {QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
          QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}
