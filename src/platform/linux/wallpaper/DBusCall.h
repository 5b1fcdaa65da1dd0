#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

// Makes a blocking call to the desktop and returns its answer. No session
// bus, or no service answering the call's name, refuses the wallpaper as a
// desktop that cannot be reached; an error answer, as the desktop not taking
// the file. desktop names it in the cause ("XFCE", "Plasma").
QDBusMessage CallDesktop(const QDBusConnection& bus, const QDBusMessage& call,
                         const QString& desktop, const QString& file);

// Refuses the wallpaper for an error answer to the call, as CallDesktop does.
[[noreturn]] void RefuseForAnswer(const QDBusMessage& call, const QDBusMessage& answer,
                                  const QString& desktop, const QString& file);
