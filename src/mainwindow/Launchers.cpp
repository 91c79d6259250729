#include "Launchers.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace Launchers {

QStringList CalculatorCandidates() {
#if defined(Q_OS_WIN)
  return {QStringLiteral("calc.exe")};
#else
  return {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),        QStringLiteral("mate-calc"),
          QStringLiteral("galculator"),       QStringLiteral("qalculate-qt"), QStringLiteral("qalculate-gtk"),
          QStringLiteral("xfce4-calculator"), QStringLiteral("xcalc")};
#endif
}

QStringList TextEditorCandidates() {
#if defined(Q_OS_WIN)
  return {QStringLiteral("notepad.exe")};
#else
  return {QStringLiteral("gnome-text-editor"), QStringLiteral("gedit"),  QStringLiteral("kate"),
          QStringLiteral("kwrite"),            QStringLiteral("mousepad"), QStringLiteral("pluma"),
          QStringLiteral("xed"),               QStringLiteral("featherpad"), QStringLiteral("leafpad"),
          QStringLiteral("geany")};
#endif
}

QString FindFirstProgram(const QStringList &ACandidates, const QStringList &ASearchPaths) {
  for (const QString &name : ACandidates) {
    const QString found = QStandardPaths::findExecutable(name, ASearchPaths);
    if (!found.isEmpty())
      return found;
  }
  return QString();
}

bool StartProgram(const QString &AProgram) {
  return !AProgram.isEmpty() && QProcess::startDetached(AProgram, QStringList());
}

bool OpenUrl(const QString &AUrl) { return QDesktopServices::openUrl(QUrl(AUrl)); }

bool OpenLocalPath(const QString &APath) { return QDesktopServices::openUrl(QUrl::fromLocalFile(APath)); }

} // namespace Launchers
