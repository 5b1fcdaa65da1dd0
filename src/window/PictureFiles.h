#pragma once

#include <QString>
#include <QStringList>

// The picture files the window adds: those of the formats the installed
// image readers know, so that a reader installed later (a plugin) counts
// at once.

// "*.<format>" for every format the installed readers know, sorted.
QStringList PicturePatterns();

// The folder's picture files as full names in the platform's separators,
// sorted by name; hidden files and sub-folders left out.
QStringList PictureFilesIn(const QString& folder);
