#pragma once
// The main window: menus and actions, the file list with its filter, the preview area, the log
// panel bound to the logger, the status bar, dropped files, and the window's persisted settings.

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>

#include "AppException.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QStatusBar;
class QTreeView;
class QWidget;
class TFileListModel;
class TLogger;
class TLogPopupBox;
class TLogView;

// Where the window keeps its settings and logs; empty fields take the program's usual places
// (tests point both at a temporary folder).
struct TMainFormPlaces {
  QString IniPath;
  QString LogDir;
};

class TMainForm : public QMainWindow {
  Q_OBJECT
public:
  explicit TMainForm(const TMainFormPlaces &APlaces = TMainFormPlaces(), QWidget *AParent = nullptr);
  ~TMainForm() override;

  // The one way new files enter the list (see FileList part below).
  void AddFiles(const QStringList &AList);
  void AddDirectory(const QString &ADir);
  // Paths named on the command line: workbooks are added, folders as "添加目录" adds them.
  void AddCommandLinePaths(const QStringList &APaths);

  // Row access for the commands on files.
  QString GetItemFilePath(int AItem) const;
  QString GetSelectedFilePath() const;
  QList<int> SelectedRows() const; // in row order
  void UpdateItemPath(int AItem, const QString &AOldPath, const QString &ANewPath);
  void UpdateFileCount();

  QAction *Action(const QString &AName) const;
  TFileListModel *FileList() const { return FFiles; }
  QString CurrentDir() const { return FCurrentDir; }
  QString StatusPanelText(int APanel) const;
  QString UpdateUrl() const { return FUpdateUrl; }

  // Logs an exception that no command handled; installed as the application's handler.
  void AppException(const TCaughtException &AError);

  // Handlers of the actions and controls.
  void actAddFileExecute();
  void actAddDirExecute();
  void actOpenFileListExecute();
  void actExportFileListExecute();
  void actExitExecute();
  void actAllExecute();
  void actInvertExecute();
  void actPreviewExecute();
  void actStatusExecute();
  void actLogExecute();
  void actRefreshExecute();
  void actCalcExecute();
  void actNoteExecute();
  void actHelpExecute();
  void actUpdateExecute();
  void actAboutExecute();
  void btnFilterPropertiesChange();
  void lstFileChange();
  void lstFileColumnClick(int AColumn);

  // Texts shown by the Help and About commands.
  static QString HelpText();
  static QString ProductVersionLine();

protected:
  void closeEvent(QCloseEvent *AEvent) override;
  void dragEnterEvent(QDragEnterEvent *AEvent) override;
  void dropEvent(QDropEvent *AEvent) override;

private:
  void FormCreate();
  void FormDestroy();
  bool FormCloseQuery();
  void CreateActions();
  void CreateMenus();
  void CreateLayout();
  void LoadSettings();
  void SaveSettings();
  void CapturePanelSizes();
  void ApplyPanelSizes();
  void SetLogPanelVisible(bool AVisible);
  void SetPreviewVisible(bool AVisible);
  void ApplyFilter(const QString &AText);
  void LaunchTool(const QStringList &ACandidates, const QString &AToolName);
  int ScreenWidth() const;
  int ScreenHeight() const;

  TMainFormPlaces FPlaces;
  // File list: master list and visible rows, the folder of "添加目录", the sort direction flag.
  TFileListModel *FFiles = nullptr;
  QString FCurrentDir;
  bool FSortDescending = false;
  // Preview state, used once the preview is built.
  QString FPreviewFilePath;
  bool FLoading = false;
  // Sizes kept while the panels are hidden.
  int FPreviewWidth = 800;
  int FLogPanelHeight = 206;
  QString FUpdateUrl;

  std::unique_ptr<TLogger> FLogger;
  std::unique_ptr<TLogPopupBox> FLogPopup;

  // Components.
  QStatusBar *dxstsbr = nullptr;
  QList<QLabel *> FStatusPanels;
  QWidget *dxpnlLog = nullptr;
  TLogView *cxrchdtLog = nullptr;
  QSplitter *FBottomSplitter = nullptr; // its handle is cxspltrBottom
  QWidget *dxpnlTop = nullptr;
  QSplitter *FRightSplitter = nullptr; // its handle is cxspltrRight
  QWidget *dxpnlLeft = nullptr;
  QLineEdit *btnFilter = nullptr;
  QTreeView *lstFile = nullptr;
  QWidget *dxsprdshtXls = nullptr;
  QMenu *dxbrpmn1 = nullptr;
};
