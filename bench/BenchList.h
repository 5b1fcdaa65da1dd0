#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// What the list benchmarks share: the command line "PROGRAM FOLDER COUNT",
// where FOLDER holds the files 1.jpg to COUNT.jpg (scripts/bench.sh makes
// them), and a temporary configuration folder for the settings, kept as long
// as the object lives.
class BenchList {
 public:
  BenchList(int argc, char** argv, int least) {
    if (argc != 3 || std::atoi(argv[2]) < least) {
      std::fprintf(stderr, "usage: %s FOLDER COUNT (at least %d)\n", argv[0], least);
      std::exit(2);
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    names_.reserve(count);
    for (int i = 1; i <= count; ++i) names_.append(folder + QStringLiteral("/%1.jpg").arg(i));
  }
  const QStringList& Names() const { return names_; }
  int Count() const { return static_cast<int>(names_.size()); }

 private:
  QTemporaryDir config_;
  QStringList names_;
};
