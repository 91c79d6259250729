#pragma once
// Makes Qt's own texts (dialog buttons, context menus of text boxes, file dialogs) Simplified
// Chinese by loading Qt's translation at start; it lives as long as the application.

#include <QString>
#include <QTranslator>

class TDataMain {
public:
  TDataMain();
  ~TDataMain();

  // True when Qt's Chinese translation was found and installed.
  bool Localized() const { return FLoaded; }
  // The folders searched for "qtbase_zh_CN.qm", in order.
  static QStringList TranslationDirs();

private:
  QTranslator FTranslator;
  bool FLoaded = false;
};
