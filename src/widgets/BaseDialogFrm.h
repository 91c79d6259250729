#pragma once
// The common ancestor of every option dialog: a plan list on top, an option grid below, OK and
// close buttons at the bottom, and the saving and restoring of its size, grid height and list
// column widths in the settings file.
//
// Life cycle (C++ cannot call a descendant's virtuals from the base constructor or destructor):
//   - a descendant builds its widgets and columns in its constructor and calls Initialize() as its
//     constructor's last statement; Initialize runs FormCreate() and then LoadLayout(), so the
//     options are loaded before the geometry is restored;
//   - when the dialog is closed (accept, reject, Escape, window close) Finalize() runs once:
//     SaveLayout() and then FormDestroy(), so the geometry is saved before the options. A dialog
//     destroyed without ever being closed saves its layout in the base destructor; a descendant
//     whose FormDestroy must run in that case too calls Finalize() from its own destructor.
//   - FormDestroy only stores options: the caller reads the results after exec() returns.
// Descendants must declare Q_OBJECT: the settings section comes from the class name.

#include <QDialog>
#include <QString>

class QPushButton;
class QSplitter;
class QTreeWidget;

class TBaseDialogForm : public QDialog {
  Q_OBJECT
public:
  explicit TBaseDialogForm(QWidget *AParent = nullptr);
  ~TBaseDialogForm() override;

  // The settings section: the class name without a leading "T" ("TBookSplitForm" gives
  // "BookSplitForm"). Descendants may return a fixed text instead.
  virtual QString GetIniSectionName() const;

  // Settings file used by every dialog; empty (the default) means SettingsFilePath(). Tests point
  // it to a temporary file.
  static void SetSettingsPath(const QString &APath);
  static QString SettingsPath();

  void done(int AResult) override;

  // The components every descendant inherits (objectName = member name).
  QWidget *dxpnlBottom = nullptr;
  QPushButton *btnOK = nullptr;     // "确定"; the descendant connects its btnOKClick
  QPushButton *btnCancel = nullptr; // "关闭"; rejects the dialog
  QWidget *dxpnlBtn = nullptr;
  QWidget *dxpnlTop = nullptr;
  // A report-style list with whole-row selection. A QTreeWidget: plans are refilled completely as
  // text rows on every rebuild, so an item widget needs no model class per dialog; descendants
  // set the columns with setHeaderLabels and widths with setColumnWidth.
  QTreeWidget *lstBook = nullptr;
  QSplitter *cxspltrBottom = nullptr; // vertical splitter between lstBook and the grid, 6 px handle
  // The option grid area, 200 px high; a placeholder until SetOptionGrid puts the real grid here.
  QWidget *cxvrtclgrdBook = nullptr;

protected:
  // Replaces the option grid area by AGrid (taking ownership, keeping the height); null removes
  // the grid, and the layout then keeps no grid height. Call before Initialize().
  void SetOptionGrid(QWidget *AGrid);

  // See the life cycle above.
  void Initialize();
  void Finalize();
  virtual void FormCreate() {}
  virtual void FormDestroy() {}

  int GridHeight() const;
  void SetGridHeight(int AHeight);

private:
  void LoadLayout();
  void SaveLayout();

  QString FIniSection; // fixed by Initialize(), when the descendant's virtuals are callable
  bool FInitialized = false;
  bool FFinalized = false;
};
