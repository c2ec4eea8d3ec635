// Helpers of the desktop application's tests: reading a written file and
// running the command line beside the window.
#pragma once

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs the command line with the test's settings file; true on exit status 0.
inline bool RunVelmora(const QString& settings, const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("VELMORA_SETTINGS"), settings);
  p.setProcessEnvironment(env);
  p.start(QString::fromLocal8Bit(qgetenv("VELMORA_BIN")), args);
  if (!p.waitForFinished(120000)) return false;
  if (p.exitCode() != 0) qWarning() << p.readAllStandardError();
  return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
