#include "AboutFrm.h"

#include "MainFrm.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutForm::TAboutForm(QWidget *AParent) : QDialog(AParent) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("About"));
  setModal(true);

  auto *icon = new QLabel;
  icon->setObjectName(QStringLiteral("imgIcon"));
  icon->setPixmap(QIcon(QStringLiteral(":/tabulyx/tabulyx-256.png")).pixmap(64, 64));

  auto *product = new QLabel(QStringLiteral("Tabulyx"));
  product->setObjectName(QStringLiteral("lblProduct"));
  QFont big = product->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  product->setFont(big);
  auto *version = new QLabel(TMainForm::ProductVersionLine());
  version->setObjectName(QStringLiteral("lblVersion"));
  auto *about = new QLabel(QStringLiteral("Excel 工作簿批量处理工具"));
  about->setObjectName(QStringLiteral("lblComment"));

  auto *texts = new QVBoxLayout;
  texts->addWidget(product);
  texts->addWidget(version);
  texts->addWidget(about);
  texts->addStretch(1);
  auto *body = new QHBoxLayout;
  body->addWidget(icon, 0, Qt::AlignTop);
  body->addSpacing(12);
  body->addLayout(texts, 1);

  auto *ok = new QPushButton(QStringLiteral("确定"));
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);

  auto *layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed dialog
}
