#include "MainFrm.h"

#include "AboutFrm.h"
#include "FileListModel.h"
#include "Launchers.h"
#include "core/LogImpl.h"
#include "core/Settings.h"
#include "platform/AppPaths.h"
#include "widgets/LogView.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString KSectionMain = QStringLiteral("MainForm");
const QString KSectionColumns = QStringLiteral("lstFileColumns");
const QString KDefaultUpdateUrl = QStringLiteral("https://github.com/tabulyx/tabulyx/releases");
const QString KNotBuiltTip = QStringLiteral("该功能尚在开发中，暂不可用");

const int KPreviewMinWidth = 500;
const int KLogPanelMinHeight = 60;
// A column wider than this is a damaged setting, not a wish.
const int KMaxColumnWidth = 10000;

// One command of the window: its action name, caption and shortcut, and its handler (null while
// the command's feature is not built: the action then stays disabled).
struct TActionDef {
  const char *Name;
  const char *Caption;
  QKeySequence Shortcut;
  void (TMainForm::*Handler)();
};

const TActionDef KActions[] = {
    {"actAddFile", "添加文件", {}, &TMainForm::actAddFileExecute},
    {"actAddDir", "添加目录", {}, &TMainForm::actAddDirExecute},
    {"actOpenFileList", "打开文件列表", {}, &TMainForm::actOpenFileListExecute},
    {"actExportFileList", "导出文件列表", {}, &TMainForm::actExportFileListExecute},
    {"actXlsToPdf", "导出PDF", {}, nullptr},
    {"actOpenFile", "打开", QKeySequence(Qt::CTRL | Qt::Key_O), nullptr},
    {"actOpenPath", "打开路径", QKeySequence(Qt::CTRL | Qt::Key_Return), nullptr},
    {"actCopyFile", "复制完整路径和文件名", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), nullptr},
    {"actDelete", "删除", QKeySequence(Qt::Key_Delete), nullptr},
    {"actRename", "重命名", QKeySequence(Qt::Key_F2), nullptr},
    {"actExit", "退出", {}, &TMainForm::actExitExecute},
    {"actCut", "剪切", {}, nullptr},
    {"actCopy", "复制", QKeySequence(Qt::CTRL | Qt::Key_C), nullptr},
    {"actPaste", "粘贴", QKeySequence(Qt::CTRL | Qt::Key_V), nullptr},
    {"actXlsSave", "保存预览", QKeySequence(Qt::CTRL | Qt::Key_S), nullptr},
    {"actCopyToDir", "复制到文件夹", {}, nullptr},
    {"actMoveToDir", "移动到文件夹", {}, nullptr},
    {"actAll", "全选", {}, &TMainForm::actAllExecute},
    {"actInvert", "反选", {}, &TMainForm::actInvertExecute},
    {"actPreview", "预览", {}, &TMainForm::actPreviewExecute},
    {"actStatus", "状态栏", {}, &TMainForm::actStatusExecute},
    {"actLog", "运行日志", {}, &TMainForm::actLogExecute},
    {"actRefresh", "刷新", {}, &TMainForm::actRefreshExecute},
    {"actSearch", "高级搜索", {}, nullptr},
    {"actBookAdd", "工作簿新建", {}, nullptr},
    {"actBookMerge", "工作簿合并", {}, nullptr},
    {"actBookSplit", "工作簿拆分", {}, nullptr},
    {"actSheetAdd", "工作表新建", {}, nullptr},
    {"actSheetMerge", "工作表合并", {}, nullptr},
    {"actSheetSplit", "工作表拆分", {}, nullptr},
    {"actCellAdd", "新建列", {}, nullptr},
    {"actCellMerge", "单元格合并", {}, nullptr},
    {"actCellSplit", "单元格拆分", {}, nullptr},
    {"actCellClean", "单元格清洗", {}, nullptr},
    {"actCalc", "计算器", {}, &TMainForm::actCalcExecute},
    {"actNote", "记事本", {}, &TMainForm::actNoteExecute},
    {"actHelp", "帮助", {}, &TMainForm::actHelpExecute},
    {"actUpdate", "检查更新", {}, &TMainForm::actUpdateExecute},
    {"actAbout", "关于", {}, &TMainForm::actAboutExecute},
};

// Menus of the menu bar; "|" is a separator line.
struct TMenuDef {
  const char *Name;
  const char *Title;
  QStringList Items;
};

const TMenuDef KMenus[] = {
    {"mnuFile", "文件(&F)",
     {"actAddFile", "actAddDir", "|", "actOpenFileList", "actExportFileList", "|", "actXlsToPdf", "|", "actOpenFile",
      "actOpenPath", "actCopyFile", "|", "actDelete", "actRename", "|", "actExit"}},
    {"mnuEdit", "编辑(&E)",
     {"actCut", "actCopy", "actPaste", "|", "actCopyToDir", "actMoveToDir", "|", "actAll", "actInvert"}},
    {"mnuView", "视图(&V)", {"actPreview", "actStatus", "actLog", "|", "actRefresh"}},
    {"mnuSearch", "搜索(&S)", {"actSearch"}},
    {"mnuTable", "表格(&B)",
     {"actBookAdd", "actBookMerge", "actBookSplit", "|", "actSheetAdd", "actSheetMerge", "actSheetSplit", "|",
      "actCellAdd", "actCellMerge", "actCellSplit", "actCellClean"}},
    {"mnuTools", "工具(&T)", {"actCalc", "actNote"}},
    {"mnuHelp", "帮助(&H)", {"actHelp", "|", "actUpdate", "|", "actAbout"}},
};

const QStringList KPopupItems = {"actOpenFile", "actOpenPath", "actCopyFile", "|", "actRename", "actDelete"};

// A status bar panel that asks for its design width but may be squeezed on a small screen.
class TStatusPanel : public QLabel {
public:
  TStatusPanel(int AWidth, int AMinWidth, QWidget *AParent) : QLabel(AParent), FWidth(AWidth) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMinimumWidth(AMinWidth);
  }
  QSize sizeHint() const override { return QSize(FWidth, QLabel::sizeHint().height()); }

private:
  int FWidth;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Creation and destruction

TMainForm::TMainForm(const TMainFormPlaces &APlaces, QWidget *AParent) : QMainWindow(AParent), FPlaces(APlaces) {
  if (FPlaces.IniPath.isEmpty())
    FPlaces.IniPath = SettingsFilePath();
  if (FPlaces.LogDir.isEmpty())
    FPlaces.LogDir = AppPaths::LogDir();
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("TabulyxTabulyxV3.0.0.0"));
  setWindowIcon(QIcon(QStringLiteral(":/tabulyx/tabulyx-256.png")));
  CreateActions();
  CreateLayout();
  CreateMenus();
  resize(1723, 773 + menuBar()->sizeHint().height() + 20);
  FormCreate();
}

TMainForm::~TMainForm() { FormDestroy(); }

void TMainForm::FormCreate() {
  FLogger = std::make_unique<TLogger>(cxrchdtLog, FPlaces.LogDir);
  FLogPopup = std::make_unique<TLogPopupBox>();
  FLogger->SetPopupSink(FLogPopup.get());
  GLogger = FLogger.get();

  dxsprdshtXls->setMinimumWidth(std::min(KPreviewMinWidth, ScreenWidth() * 4 / 5));
  dxsprdshtXls->setMaximumWidth(ScreenWidth() * 4 / 5);

  LoadSettings();

  // The status bar is shown at every start, whatever the settings say; the next exit stores it.
  Action(QStringLiteral("actStatus"))->setChecked(true);
  dxstsbr->setVisible(true);

  setAcceptDrops(true);
  SetAppExceptionHandler([this](const TCaughtException &AError) { AppException(AError); });
  UpdateFileCount();
  LogInfo(QStringLiteral("程序启动"));
}

void TMainForm::FormDestroy() {
  SetAppExceptionHandler({});
  RunGuarded([this] { SaveSettings(); });
  if (FLogger) {
    LogInfo(QStringLiteral("程序退出"));
    GLogger = nullptr;
    FLogger.reset();
  }
}

bool TMainForm::FormCloseQuery() {
  // A modified preview will be offered for saving here once the preview can be edited.
  return true;
}

void TMainForm::closeEvent(QCloseEvent *AEvent) {
  if (!FormCloseQuery()) {
    AEvent->ignore();
    return;
  }
  CapturePanelSizes();
  AEvent->accept();
}

void TMainForm::CreateActions() {
  for (const TActionDef &def : KActions) {
    auto *action = new QAction(QString::fromUtf8(def.Caption), this);
    action->setObjectName(QString::fromLatin1(def.Name));
    if (!def.Shortcut.isEmpty())
      action->setShortcut(def.Shortcut);
    if (def.Handler) {
      const auto handler = def.Handler;
      connect(action, &QAction::triggered, this, [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
    } else {
      action->setEnabled(false);
      action->setToolTip(QString::fromUtf8(def.Caption) + QStringLiteral("：") + KNotBuiltTip);
    }
    addAction(action); // shortcuts work without a menu, as "保存预览" needs
  }
  for (const char *name : {"actPreview", "actStatus", "actLog"})
    Action(QString::fromLatin1(name))->setCheckable(true);
}

QAction *TMainForm::Action(const QString &AName) const { return findChild<QAction *>(AName); }

void TMainForm::CreateMenus() {
  auto fill = [this](QMenu *AMenu, const QStringList &AItems) {
    AMenu->setToolTipsVisible(true);
    for (const QString &item : AItems) {
      if (item == QLatin1String("|"))
        AMenu->addSeparator();
      else
        AMenu->addAction(Action(item));
    }
  };
  for (const TMenuDef &def : KMenus) {
    QMenu *menu = menuBar()->addMenu(QString::fromUtf8(def.Title));
    menu->setObjectName(QString::fromLatin1(def.Name));
    fill(menu, def.Items);
  }
  dxbrpmn1 = new QMenu(this);
  dxbrpmn1->setObjectName(QStringLiteral("dxbrpmn1"));
  fill(dxbrpmn1, KPopupItems);
  lstFile->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lstFile, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &APos) { dxbrpmn1->popup(lstFile->viewport()->mapToGlobal(APos)); });
}

void TMainForm::CreateLayout() {
  // Status bar: six panels; 0 to 2 are written by the list and the preview, 3 to 5 stay empty.
  dxstsbr = new QStatusBar(this);
  dxstsbr->setObjectName(QStringLiteral("dxstsbr"));
  dxstsbr->setSizeGripEnabled(true);
  // The count and the file details keep a readable width when the window is narrow.
  const int widths[] = {100, 600, 300, 400, 500, 500};
  const int minWidths[] = {100, 300, 80, 0, 0, 0};
  for (int index = 0; index < 6; ++index) {
    auto *panel = new TStatusPanel(widths[index], minWidths[index], dxstsbr);
    panel->setObjectName(QStringLiteral("dxstsbrPanel%1").arg(index));
    dxstsbr->addWidget(panel);
    FStatusPanels << panel;
  }
  setStatusBar(dxstsbr);

  // File side: the filter box above the list.
  dxpnlLeft = new QWidget;
  dxpnlLeft->setObjectName(QStringLiteral("dxpnlLeft"));
  auto *left = new QVBoxLayout(dxpnlLeft);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(2);
  btnFilter = new QLineEdit;
  btnFilter->setObjectName(QStringLiteral("btnFilter"));
  btnFilter->setPlaceholderText(QStringLiteral("筛选：输入文件名或路径中的文字（区分大小写）"));
  btnFilter->setClearButtonEnabled(true);
  btnFilter->setAcceptDrops(false); // files dropped here go to the list, not into the filter text
  // The ellipsis button is part of the box's look only.
  QPixmap dots(16, 16);
  dots.fill(Qt::transparent);
  {
    QPainter painter(&dots);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(dots.rect(), Qt::AlignCenter, QStringLiteral("…"));
  }
  QAction *ellipsis = btnFilter->addAction(QIcon(dots), QLineEdit::TrailingPosition);
  ellipsis->setText(QStringLiteral("…"));
  ellipsis->setObjectName(QStringLiteral("btnFilterEllipsis"));
  connect(btnFilter, &QLineEdit::textChanged, this, [this] { RunGuarded([this] { btnFilterPropertiesChange(); }); });
  left->addWidget(btnFilter);

  FFiles = new TFileListModel(this);
  lstFile = new QTreeView;
  lstFile->setObjectName(QStringLiteral("lstFile"));
  lstFile->setRootIsDecorated(false);
  lstFile->setItemsExpandable(false);
  lstFile->setUniformRowHeights(true);
  lstFile->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstFile->setSelectionBehavior(QAbstractItemView::SelectRows);
  lstFile->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstFile->setAllColumnsShowFocus(true);
  lstFile->setModel(FFiles);
  QHeaderView *header = lstFile->header();
  header->setStretchLastSection(false);
  header->setSectionsClickable(true);
  header->setSectionsMovable(false);
  int column = 0;
  for (int width : {300, 500, 100, 150})
    header->resizeSection(column++, width);
  connect(header, &QHeaderView::sectionClicked, this,
          [this](int AColumn) { RunGuarded([this, AColumn] { lstFileColumnClick(AColumn); }); });
  connect(lstFile->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { RunGuarded([this] { lstFileChange(); }); });
  connect(lstFile->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { RunGuarded([this] { lstFileChange(); }); });
  left->addWidget(lstFile, 1);

  // The preview area on the right; it shows a workbook once the preview is built.
  auto *preview = new QLabel(QStringLiteral("预览功能尚在开发中"));
  preview->setObjectName(QStringLiteral("dxsprdshtXls"));
  preview->setAlignment(Qt::AlignCenter);
  preview->setFrameShape(QFrame::StyledPanel);
  preview->setStyleSheet(QStringLiteral("color: gray;"));
  dxsprdshtXls = preview;

  FRightSplitter = new QSplitter(Qt::Horizontal);
  FRightSplitter->setObjectName(QStringLiteral("splTop"));
  FRightSplitter->setChildrenCollapsible(false);
  FRightSplitter->setHandleWidth(8);
  FRightSplitter->addWidget(dxpnlLeft);
  FRightSplitter->addWidget(dxsprdshtXls);
  FRightSplitter->setStretchFactor(0, 1);
  FRightSplitter->setStretchFactor(1, 0);
  FRightSplitter->handle(1)->setObjectName(QStringLiteral("cxspltrRight"));

  dxpnlTop = new QWidget;
  dxpnlTop->setObjectName(QStringLiteral("dxpnlTop"));
  auto *top = new QHBoxLayout(dxpnlTop);
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(FRightSplitter);

  // Log panel at the bottom.
  dxpnlLog = new QWidget;
  dxpnlLog->setObjectName(QStringLiteral("dxpnlLog"));
  auto *log = new QVBoxLayout(dxpnlLog);
  log->setContentsMargins(0, 0, 0, 0);
  cxrchdtLog = new TLogView;
  cxrchdtLog->setObjectName(QStringLiteral("cxrchdtLog"));
  cxrchdtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  cxrchdtLog->setMinimumHeight(20);
  dxpnlLog->setMinimumHeight(KLogPanelMinHeight);
  log->addWidget(cxrchdtLog);

  FBottomSplitter = new QSplitter(Qt::Vertical);
  FBottomSplitter->setObjectName(QStringLiteral("splMain"));
  FBottomSplitter->setChildrenCollapsible(false);
  FBottomSplitter->setHandleWidth(6);
  FBottomSplitter->addWidget(dxpnlTop);
  FBottomSplitter->addWidget(dxpnlLog);
  FBottomSplitter->setStretchFactor(0, 1);
  FBottomSplitter->setStretchFactor(1, 0);
  FBottomSplitter->handle(1)->setObjectName(QStringLiteral("cxspltrBottom"));
  setCentralWidget(FBottomSplitter);

  connect(FBottomSplitter, &QSplitter::splitterMoved, this, [this] { CapturePanelSizes(); });
  connect(FRightSplitter, &QSplitter::splitterMoved, this, [this] { CapturePanelSizes(); });
}

int TMainForm::ScreenWidth() const {
  const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->geometry().width() : 1920;
}

int TMainForm::ScreenHeight() const {
  const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->geometry().height() : 1080;
}

// ---------------------------------------------------------------------------------------------
// Settings

void TMainForm::LoadSettings() {
  const TIniFile ini(FPlaces.IniPath);
  FPreviewWidth = std::min(std::max(ini.ReadInteger(KSectionMain, QStringLiteral("lstFileWidth"), 800), KPreviewMinWidth),
                           ScreenWidth() * 4 / 5);
  FLogPanelHeight =
      std::min(std::max(ini.ReadInteger(KSectionMain, QStringLiteral("LogPanelHeight"), 206), KLogPanelMinHeight),
               ScreenHeight() * 4 / 5);
  const bool statusVisible = ini.ReadBool(KSectionMain, QStringLiteral("StatusVisible"), true);
  Action(QStringLiteral("actStatus"))->setChecked(statusVisible);
  dxstsbr->setVisible(statusVisible);
  Action(QStringLiteral("actPreview"))->setChecked(ini.ReadBool(KSectionMain, QStringLiteral("PreviewVisible"), false));
  Action(QStringLiteral("actLog"))->setChecked(ini.ReadBool(KSectionMain, QStringLiteral("LogVisible"), false));
  FLogger->SetDebugEnabled(ini.ReadBool(KSectionMain, QStringLiteral("DebugEnabled"), false));
  FUpdateUrl = ini.ReadString(KSectionMain, QStringLiteral("UpdateUrl"), KDefaultUpdateUrl).trimmed();
  if (FUpdateUrl.isEmpty())
    FUpdateUrl = KDefaultUpdateUrl;

  QHeaderView *header = lstFile->header();
  const int columns = header->count();
  const int count = std::min(ini.ReadInteger(KSectionColumns, QStringLiteral("Count"), columns), columns);
  for (int i = 0; i < count; ++i) {
    const int width = ini.ReadInteger(KSectionColumns, QStringLiteral("Col%1").arg(i), header->sectionSize(i));
    if (width > 0)
      header->resizeSection(i, std::min(width, KMaxColumnWidth));
  }
  ApplyPanelSizes();
  SetPreviewVisible(Action(QStringLiteral("actPreview"))->isChecked());
  SetLogPanelVisible(Action(QStringLiteral("actLog"))->isChecked());
}

void TMainForm::SaveSettings() {
  TIniFile ini(FPlaces.IniPath);
  ini.WriteInteger(KSectionMain, QStringLiteral("lstFileWidth"), FPreviewWidth);
  ini.WriteBool(KSectionMain, QStringLiteral("PreviewVisible"), Action(QStringLiteral("actPreview"))->isChecked());
  ini.WriteBool(KSectionMain, QStringLiteral("StatusVisible"), Action(QStringLiteral("actStatus"))->isChecked());
  ini.WriteBool(KSectionMain, QStringLiteral("LogVisible"), Action(QStringLiteral("actLog"))->isChecked());
  ini.WriteInteger(KSectionMain, QStringLiteral("LogPanelHeight"), FLogPanelHeight);
  if (FLogger)
    ini.WriteBool(KSectionMain, QStringLiteral("DebugEnabled"), FLogger->DebugEnabled());
  ini.WriteString(KSectionMain, QStringLiteral("UpdateUrl"), FUpdateUrl);
  const QHeaderView *header = lstFile->header();
  ini.WriteInteger(KSectionColumns, QStringLiteral("Count"), header->count());
  for (int i = 0; i < header->count(); ++i)
    ini.WriteInteger(KSectionColumns, QStringLiteral("Col%1").arg(i), header->sectionSize(i));
}

// Remembers the panel sizes the user set, while the window is on screen and the panels shown.
void TMainForm::CapturePanelSizes() {
  if (!isVisible())
    return;
  if (dxsprdshtXls->isVisibleTo(this) && dxsprdshtXls->width() > 0)
    FPreviewWidth = dxsprdshtXls->width();
  if (dxpnlLog->isVisibleTo(this) && dxpnlLog->height() > 0)
    FLogPanelHeight = dxpnlLog->height();
}

// Gives the preview and the log panel their kept sizes; the other side takes the rest.
void TMainForm::ApplyPanelSizes() {
  const int wide = std::max(FRightSplitter->width(), FPreviewWidth + 300);
  FRightSplitter->setSizes({wide - FPreviewWidth, FPreviewWidth});
  const int high = std::max(FBottomSplitter->height(), FLogPanelHeight + 200);
  FBottomSplitter->setSizes({high - FLogPanelHeight, FLogPanelHeight});
}

// ---------------------------------------------------------------------------------------------
// View toggles

void TMainForm::SetLogPanelVisible(bool AVisible) {
  if (!AVisible)
    CapturePanelSizes();
  dxpnlLog->setVisible(AVisible);
  FBottomSplitter->handle(1)->setVisible(AVisible); // cxspltrBottom, at once rather than on relayout
  if (AVisible)
    ApplyPanelSizes();
}

void TMainForm::SetPreviewVisible(bool AVisible) {
  if (!AVisible)
    CapturePanelSizes();
  dxsprdshtXls->setVisible(AVisible);
  FRightSplitter->handle(1)->setVisible(AVisible); // cxspltrRight
  if (AVisible)
    ApplyPanelSizes();
}

void TMainForm::actStatusExecute() {
  // The action toggles its own check mark before this runs.
  dxstsbr->setVisible(Action(QStringLiteral("actStatus"))->isChecked());
}

void TMainForm::actLogExecute() { SetLogPanelVisible(Action(QStringLiteral("actLog"))->isChecked()); }

void TMainForm::actPreviewExecute() {
  const bool visible = Action(QStringLiteral("actPreview"))->isChecked();
  SetPreviewVisible(visible);
  LogInfo(visible ? QStringLiteral("显示预览面板") : QStringLiteral("隐藏预览面板"));
}

void TMainForm::actExitExecute() { close(); }

// ---------------------------------------------------------------------------------------------
// Dropped files

void TMainForm::dragEnterEvent(QDragEnterEvent *AEvent) {
  if (AEvent->mimeData()->hasUrls())
    AEvent->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent *AEvent) {
  QStringList retained;
  for (const QUrl &url : AEvent->mimeData()->urls()) {
    if (!url.isLocalFile())
      continue;
    const QString path = QDir::toNativeSeparators(url.toLocalFile());
    // Folders are not expanded: only existing workbook files count.
    if (QFileInfo(path).isFile() && IsWorkbookPath(path))
      retained << path;
  }
  if (!retained.isEmpty())
    AddFiles(retained);
  AEvent->acceptProposedAction();
}

// ---------------------------------------------------------------------------------------------
// Unhandled exceptions

void TMainForm::AppException(const TCaughtException &AError) {
  const QString text = QStringLiteral("未处理异常[") + AError.ClassName + QStringLiteral("]: ") + AError.Message;
  if (GLogger)
    LogError(text);
  else
    TMessageBoxes::Error(this, text);
}

// ---------------------------------------------------------------------------------------------
// Tools and help

void TMainForm::LaunchTool(const QStringList &ACandidates, const QString &AToolName) {
  const QString program = Launchers::FindFirstProgram(ACandidates);
  if (program.isEmpty()) {
    LogWarning(QStringLiteral("未找到可用的") + AToolName + QStringLiteral("程序，请先安装其中之一：") +
                   ACandidates.join(QStringLiteral("、")),
               TLogPopup::lpYes);
    return;
  }
  if (!Launchers::StartProgram(program))
    LogWarning(QStringLiteral("无法启动") + AToolName + QStringLiteral(": ") + program, TLogPopup::lpYes);
}

void TMainForm::actCalcExecute() { LaunchTool(Launchers::CalculatorCandidates(), QStringLiteral("计算器")); }

void TMainForm::actNoteExecute() { LaunchTool(Launchers::TextEditorCandidates(), QStringLiteral("文本编辑器")); }

void TMainForm::actUpdateExecute() {
  if (!Launchers::OpenUrl(FUpdateUrl))
    LogWarning(QStringLiteral("无法打开更新页面，请在浏览器中访问: ") + FUpdateUrl, TLogPopup::lpYes);
}

QString TMainForm::ProductVersionLine() { return QStringLiteral("Tabulyx V3.0.0.0"); }

QString TMainForm::HelpText() {
  static const char *const lines[] = {
      "Tabulyx V3.0.0.0\u3000使用说明",
      "",
      "【流程】添加文件/目录(或直接拖入) → 选中(多选/全选/反选) → 预览 → 批量处理",
      "",
      "【批量处理】",
      "· 新建：工作簿 / 工作表 / 新建列",
      "· 合并：工作簿 / 工作表 / 单元格",
      "· 拆分：工作簿 / 工作表 / 单元格",
      "· 单元格清洗：按条件批量清理单元格",
      "· 导出 PDF：将选中工作簿批量转 PDF",
      "· 高级搜索：跨文件按内容检索并导出结果",
      "· 批量重命名：按规则重命名选中文件",
      "",
      "【文件管理】打开 / 打开路径 / 复制完整路径；复制、剪切、粘贴；",
      "\u3000复制到 / 移动到文件夹；删除(Del)、重命名(F2)",
      "",
      "【列表与视图】打开 / 导出文件列表；刷新；运行日志(操作可追溯)",
      "",
      "【提示】处理前自动检测文件是否被 Excel/WPS 占用；采用原子保存，",
      "\u3000避免中途失败损坏原文件，重要数据请先备份",
  };
  QString text;
  for (const char *line : lines)
    text += QString::fromUtf8(line) + QLatin1Char('\n');
  return text;
}

void TMainForm::actHelpExecute() { TMessageBoxes::Information(this, HelpText(), QStringLiteral("帮助")); }

void TMainForm::actAboutExecute() {
  TAboutForm about(this);
  about.exec();
}

QString TMainForm::StatusPanelText(int APanel) const {
  return APanel >= 0 && APanel < FStatusPanels.size() ? FStatusPanels[APanel]->text() : QString();
}
