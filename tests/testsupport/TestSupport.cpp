#include "TestSupport.h"

#include "KeldaError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

TestSandbox::TestSandbox() {
    QDir().mkpath(exeDir());
    QDir().mkpath(configHome());
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    qunsetenv("removedrive");
    platform.exePath = exePath().toStdString();
    setPlatform(&platform);
}

TestSandbox::~TestSandbox() {
    setPlatform(nullptr);
    qunsetenv("removedrive");
}

QString TestSandbox::writeFile(const QString& relativePath, const QByteArray& content) const {
    const QString path = m_dir.path() + "/" + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

QString errorOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const KeldaError& error) {
        return error.message();
    }
    return {};
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList relativeSorted(const QStringList& paths, const QString& root) {
    QStringList relative;
    for (const QString& path : paths)
        relative.append(path.startsWith(root) ? path.mid(root.size()) : "<outside> " + path);
    relative.sort();
    return relative;
}
