#pragma once
// The About box: the program's icon, product name and version line, and an OK button.

#include <QDialog>

class TAboutForm : public QDialog {
  Q_OBJECT
public:
  explicit TAboutForm(QWidget *AParent = nullptr);
};
