// Program entry of the desktop program.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tabulyx"));
  QMainWindow w;
  w.setWindowTitle(QStringLiteral("Tabulyx"));
  w.resize(1000, 700);
  w.show();
  return QApplication::exec();
}
