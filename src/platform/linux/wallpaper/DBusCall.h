#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

// Makes a blocking call and tells whether the service answered without an
// error; an error, or no bus at all, is traced as a refusal naming the
// desktop. The answer goes to reply when one is asked for.
bool CallAccepted(const QDBusConnection& bus, const QDBusMessage& call, const QString& desktop,
                  QDBusMessage* reply = nullptr);
