#pragma once

#include <QWidget>

// The main window. For now a bare window whose caption is the version title;
// closing it stores the list.
class frmMain : public QWidget {
  Q_OBJECT

 public:
  explicit frmMain(QWidget* parent = nullptr);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Form_Load();
  void Form_Unload();
};
