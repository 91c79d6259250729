#include "BaseDialogFrm.h"

#include "core/Settings.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <typeinfo>

namespace {

QString GSettingsPath;

constexpr int KMinFormWidth = 400;
constexpr int KMinFormHeight = 300;
constexpr int KMinGridHeight = 80;
constexpr int KMinColumnWidth = 20;
constexpr int KDesignGridHeight = 200;

QString ColumnsSection(const QString &ASection) { return ASection + QStringLiteral(".lstBookColumns"); }

// Lays out AWidget and its children at their current sizes now. A hidden widget defers its resize
// events until it is shown, so its layouts would otherwise still hold the sizes of construction.
void LayOutNow(QWidget *AWidget) {
  if (QLayout *layout = AWidget->layout()) {
    layout->invalidate();
    layout->activate();
  }
  for (QObject *child : AWidget->children()) {
    auto *widget = qobject_cast<QWidget *>(child);
    if (widget && !widget->isWindow())
      LayOutNow(widget);
  }
}

} // namespace

TBaseDialogForm::TBaseDialogForm(QWidget *AParent) : QDialog(AParent) {
  setObjectName(QStringLiteral("BaseDialogForm"));
  resize(800, 560);

  auto *mainLayout = new QVBoxLayout(this);
  mainLayout->setContentsMargins(0, 0, 0, 0);
  mainLayout->setSpacing(0);

  dxpnlTop = new QWidget(this);
  dxpnlTop->setObjectName(QStringLiteral("dxpnlTop"));
  auto *topLayout = new QVBoxLayout(dxpnlTop);
  topLayout->setContentsMargins(0, 0, 0, 0);

  cxspltrBottom = new QSplitter(Qt::Vertical, dxpnlTop);
  cxspltrBottom->setObjectName(QStringLiteral("cxspltrBottom"));
  cxspltrBottom->setHandleWidth(6);
  cxspltrBottom->setChildrenCollapsible(false);
  topLayout->addWidget(cxspltrBottom);

  lstBook = new QTreeWidget(cxspltrBottom);
  lstBook->setObjectName(QStringLiteral("lstBook"));
  lstBook->setColumnCount(0);
  lstBook->setRootIsDecorated(false);
  lstBook->setItemsExpandable(false);
  lstBook->setUniformRowHeights(true);
  lstBook->setAllColumnsShowFocus(true);
  lstBook->setSelectionBehavior(QAbstractItemView::SelectRows);
  lstBook->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstBook->header()->setStretchLastSection(false);
  lstBook->header()->setMinimumSectionSize(KMinColumnWidth);
  // The stored grid height may take four fifths of the dialog, leaving the list only a sliver;
  // the list's own size hint must not veto that.
  lstBook->setMinimumHeight(1);
  cxspltrBottom->addWidget(lstBook);

  cxvrtclgrdBook = new QWidget(cxspltrBottom);
  cxvrtclgrdBook->setObjectName(QStringLiteral("cxvrtclgrdBook"));
  cxvrtclgrdBook->setMinimumHeight(1);
  cxspltrBottom->addWidget(cxvrtclgrdBook);
  cxspltrBottom->setStretchFactor(0, 1); // growing the dialog grows the list, not the grid
  cxspltrBottom->setStretchFactor(1, 0);
  mainLayout->addWidget(dxpnlTop, 1);

  dxpnlBottom = new QWidget(this);
  dxpnlBottom->setObjectName(QStringLiteral("dxpnlBottom"));
  dxpnlBottom->setFixedHeight(41);
  auto *bottomLayout = new QHBoxLayout(dxpnlBottom);
  bottomLayout->setContentsMargins(8, 5, 8, 6);
  bottomLayout->addStretch(1);
  btnOK = new QPushButton(QStringLiteral("确定"), dxpnlBottom);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setFixedSize(80, 30);
  btnOK->setAutoDefault(false);
  btnCancel = new QPushButton(QStringLiteral("关闭"), dxpnlBottom);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setFixedSize(80, 30);
  btnCancel->setAutoDefault(false);
  dxpnlBtn = new QWidget(dxpnlBottom);
  dxpnlBtn->setObjectName(QStringLiteral("dxpnlBtn"));
  dxpnlBtn->setFixedWidth(228);
  dxpnlBtn->setLayout(new QHBoxLayout);
  dxpnlBtn->layout()->setContentsMargins(0, 0, 0, 0);
  // The buttons sit at the right inside dxpnlBtn, which a descendant may extend.
  static_cast<QHBoxLayout *>(dxpnlBtn->layout())->addStretch(1);
  dxpnlBtn->layout()->addWidget(btnOK);
  dxpnlBtn->layout()->addWidget(btnCancel);
  bottomLayout->addWidget(dxpnlBtn, 0, Qt::AlignTop | Qt::AlignRight);
  mainLayout->addWidget(dxpnlBottom);

  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  SetGridHeight(KDesignGridHeight);
}

TBaseDialogForm::~TBaseDialogForm() {
  // The descendant is gone here, so only the layout can still be saved (under the section fixed
  // while it was alive).
  if (FInitialized && !FFinalized) {
    FFinalized = true;
    SaveLayout();
  }
}

QString TBaseDialogForm::GetIniSectionName() const {
  const QString name = QString::fromLatin1(metaObject()->className());
  return name.startsWith(QLatin1Char('T')) ? name.mid(1) : name;
}

void TBaseDialogForm::SetSettingsPath(const QString &APath) { GSettingsPath = APath; }

QString TBaseDialogForm::SettingsPath() {
  return GSettingsPath.isEmpty() ? SettingsFilePath() : GSettingsPath;
}

void TBaseDialogForm::done(int AResult) {
  Finalize();
  QDialog::done(AResult);
}

void TBaseDialogForm::SetOptionGrid(QWidget *AGrid) {
  const int height = cxvrtclgrdBook ? GridHeight() : KDesignGridHeight;
  delete cxvrtclgrdBook;
  cxvrtclgrdBook = AGrid;
  if (!AGrid)
    return;
  cxspltrBottom->insertWidget(1, AGrid);
  cxspltrBottom->setStretchFactor(1, 0);
  SetGridHeight(height);
}

void TBaseDialogForm::Initialize() {
  Q_ASSERT(!FInitialized);
  // Without Q_OBJECT a descendant reports our class name and would share our settings section.
  Q_ASSERT_X(typeid(*this) == typeid(TBaseDialogForm) || metaObject() != &TBaseDialogForm::staticMetaObject,
             "TBaseDialogForm::Initialize", "descendant lacks Q_OBJECT");
  FInitialized = true;
  FIniSection = GetIniSectionName();
  FormCreate();
  LoadLayout();
}

void TBaseDialogForm::Finalize() {
  if (!FInitialized || FFinalized)
    return;
  FFinalized = true;
  SaveLayout();
  FormDestroy();
}

int TBaseDialogForm::GridHeight() const {
  if (!cxvrtclgrdBook)
    return 0;
  const QList<int> sizes = cxspltrBottom->sizes();
  const int index = cxspltrBottom->indexOf(cxvrtclgrdBook);
  return index >= 0 && index < sizes.size() ? sizes[index] : cxvrtclgrdBook->height();
}

void TBaseDialogForm::SetGridHeight(int AHeight) {
  if (!cxvrtclgrdBook)
    return;
  // Lay the dialog out at its current size first: the splitter shares out what it has, so it must
  // know its own height before it can give the grid an exact one.
  if (isVisible())
    layout()->activate();
  else
    LayOutNow(this);
  const int total = cxspltrBottom->height() - cxspltrBottom->handleWidth();
  cxspltrBottom->setSizes({std::max(0, total - AHeight), AHeight});
}

void TBaseDialogForm::LoadLayout() {
  const TIniFile ini(SettingsPath());
  const QString section = FIniSection;

  const QSize screenSize = screen()->size(); // the screen the dialog will open on
  const int maxWidth = std::max(KMinFormWidth, screenSize.width() * 9 / 10);
  const int maxHeight = std::max(KMinFormHeight, screenSize.height() * 9 / 10);
  const int width = std::clamp(ini.ReadInteger(section, QStringLiteral("FormWidth"), this->width()),
                               KMinFormWidth, maxWidth);
  const int height = std::clamp(ini.ReadInteger(section, QStringLiteral("FormHeight"), this->height()),
                                KMinFormHeight, maxHeight);
  resize(width, height);

  if (cxvrtclgrdBook) {
    const int grid = std::max(KMinGridHeight, ini.ReadInteger(section, QStringLiteral("GridHeight"), GridHeight()));
    const int bound = std::max(KMinGridHeight, this->height() * 4 / 5);
    SetGridHeight(std::min(grid, bound));
  }

  const int columns = lstBook->columnCount();
  if (columns > 0) {
    const QString colSection = ColumnsSection(section);
    const int count = std::min(columns, ini.ReadInteger(colSection, QStringLiteral("ColumnCount"), columns));
    for (int i = 0; i < count; ++i) {
      const int w = ini.ReadInteger(colSection, QStringLiteral("Col") + QString::number(i), lstBook->columnWidth(i));
      lstBook->setColumnWidth(i, std::max(KMinColumnWidth, w));
    }
  }
}

void TBaseDialogForm::SaveLayout() {
  TIniFile ini(SettingsPath());
  const QString section = FIniSection;
  ini.WriteInteger(section, QStringLiteral("FormWidth"), width());
  ini.WriteInteger(section, QStringLiteral("FormHeight"), height());
  if (cxvrtclgrdBook)
    ini.WriteInteger(section, QStringLiteral("GridHeight"), GridHeight());
  const int columns = lstBook->columnCount();
  if (columns > 0) {
    const QString colSection = ColumnsSection(section);
    ini.WriteInteger(colSection, QStringLiteral("ColumnCount"), columns);
    for (int i = 0; i < columns; ++i)
      ini.WriteInteger(colSection, QStringLiteral("Col") + QString::number(i), lstBook->columnWidth(i));
  }
}
