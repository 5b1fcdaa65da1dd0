#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class DisplayBox;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListView;
class ImageListModel;
class QPainter;
class QPushButton;
class QUrl;
struct TwipRect;
struct TwipSize;

// The program's one window: the display box with its view controls on the
// left, the image list with its commands on the right. Every control is a
// child whose objectName is its name.
class frmMain : public QWidget {
  Q_OBJECT

 public:
  explicit frmMain(QWidget* parent = nullptr);

  // Loads the window (caption, view modes, list, last selection) the first
  // time it is shown, before it becomes visible and before its first layout.
  void setVisible(bool visible) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  void CreateImageView();
  void CreateImageList();
  QPushButton* CreateButton(const char* name, const QString& caption, const TwipRect& design);
  void SetTabOrder();
  void WireEvents();

  void Form_Load();
  void Form_Unload();
  void Form_Resize();
  void RestoreLastSelected();
  // Shows the rows the loading has appended to the shared list; the stored
  // current entry becomes current when its row arrives.
  void ListRowsArrived(int first, int count);
  void EnforceMinimumSize();

  // Refills the list box from the shared image list, makes the row current
  // (none for -1, the last row for one past the end) without selecting it,
  // and redraws.
  void RefreshListBox(int currentRow);
  // The list box's current row; -1 for none.
  int CurrentRow() const;

  void cboView_Click();
  void chkView_Click();
  void lstImageList_Click();
  void vistaro_Paint(QPainter* painter);

  // Beyond the classic window, what users of any list window expect: Enter
  // presses "&Add" unless an open popup takes it, the Delete key removes the
  // selected entries, dropped files and folders are added, and an entry can
  // be made the wallpaper at once (double click or its context menu).
  void EnableListShortcuts();
  bool eventFilter(QObject* watched, QEvent* event) override;
  void lstImageList_ContextMenu(const QPoint& position);
  // Sets the row's entry as the wallpaper, as the rotation would, and
  // remembers it; a refusal is reported in a message box.
  void SetAsWallpaper(int row);
  // The files a drop names: files as they are, a folder's picture files
  // sorted by name (hidden ones left out).
  static QStringList DroppedFiles(const QList<QUrl>& urls);
  void vistaro_Resize();

  // The list commands: each changes the shared image list, then refills the
  // list box from it. The current entry stays current: after an addition the
  // same row (the first one when there was none), after a move the row it
  // moved to, after a removal the entry that took its place.
  void cmdImageListAdd_Click();
  void cmdImageListAddOpen_Click();
  void cmdImageListRemove_Click();
  void cmdImageListUp_Click();
  void cmdImageListDown_Click();
  // "+" (up) or "-": moves the selected entries and keeps them selected.
  void MoveSelection(bool up);
  // The selected entries' 1-based positions.
  QList<int> SelectedPositions() const;
  // Adds the names that name existing files, then refills the list box.
  void AddEntries(const QStringList& names);

  // Asks the display box to repaint; its paint event draws what the list,
  // the check box and the view mode say at that moment.
  void DrawImage();

  // Twips <-> pixels at the screen's logical resolution.
  void Place(QWidget* control, const TwipRect& rect);
  TwipSize SizeInTwips(const QWidget* control) const;
  int ToPixelsX(float twips) const;
  int ToPixelsY(float twips) const;

  DisplayBox* vistaro_ = nullptr;
  QGroupBox* fraImageView_ = nullptr;
  QComboBox* cboView_ = nullptr;
  QCheckBox* chkView_ = nullptr;
  QGroupBox* fraImageList_ = nullptr;
  QPushButton* cmdImageListRemove_ = nullptr;
  QPushButton* cmdImageListDown_ = nullptr;
  QPushButton* cmdImageListUp_ = nullptr;
  QPushButton* cmdImageListAdd_ = nullptr;
  QLineEdit* txtImageListAdd_ = nullptr;
  QListView* lstImageList_ = nullptr;
  ImageListModel* entries_ = nullptr;
  QPushButton* cmdImageListAddOpen_ = nullptr;

  bool loaded_ = false;
  // An Enter that the open view-mode list took, until its key press arrives.
  bool enterTakenByPopup_ = false;
  // The stored current entry while its row has not arrived yet; null
  // otherwise.
  QString pendingCurrent_;
  // Where the next open-file dialog starts: where the last successful one
  // ended. Empty when the window is created; never stored.
  QString LastDialogFolder;
};
