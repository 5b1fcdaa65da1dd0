#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class DisplayBox;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPainter;
class QPushButton;
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
  void EnforceMinimumSize();

  // Refills the list box from the shared image list and redraws.
  void RefreshListBox();

  void cboView_Click();
  void chkView_Click();
  void lstImageList_Click();
  void vistaro_Paint(QPainter* painter);
  void vistaro_Resize();

  // The list commands: each changes the shared image list, then refills the
  // list box from it.
  void cmdImageListAdd_Click();
  void cmdImageListAddOpen_Click();
  void cmdImageListRemove_Click();
  void cmdImageListUp_Click();
  void cmdImageListDown_Click();
  // The 1-based positions of the selected list box entries, from the top.
  QList<int> SelectedPositions() const;

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
  QListWidget* lstImageList_ = nullptr;
  QPushButton* cmdImageListAddOpen_ = nullptr;

  bool loaded_ = false;
  // Where the next open-file dialog starts: where the last successful one
  // ended. Empty when the window is created; never stored.
  QString LastDialogFolder;
};
