#pragma once

#include <QString>

namespace modMain {

// "Zorvane Vistaro " and the version numbers: "Zorvane Vistaro 0.2.5".
QString VersionTitle();

// The application title and the settings' application name, the product
// name of the version record: "Zorvane Vistaro 0.2".
QString ApplicationTitle();

}  // namespace modMain
