#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a run of a helper program gave.
struct Finished {
  int status = -1;
  QByteArray out;
  QByteArray err;
};

// Runs a program to its end (at most a minute) with the test's environment.
Finished RunTool(const QString& program, const QStringList& arguments);

// Checks the files an installed tree holds besides the program: the launcher
// passes desktop-file-validate, the icon has every theme size, and the manual
// page names this version and renders without a single groff warning.
// `prefix` is the folder holding bin/, lib/ and share/. Fails the running
// test through QtTest.
void CheckInstalledFiles(const QString& prefix);
