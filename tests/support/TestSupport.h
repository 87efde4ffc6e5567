#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

// Small helpers shared by the test binaries.
namespace TestSupport {

// A fresh folder, removed with its content at the end of the test. Path() ends with "/".
class TempFolder
{
public:
    TempFolder();
    [[nodiscard]] QString Path() const;
    [[nodiscard]] QString File(const QString& name) const { return Path() + name; }
    void Write(const QString& name, const QByteArray& content) const;
    [[nodiscard]] QByteArray Read(const QString& name) const;
    [[nodiscard]] bool Exists(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// Sets (or, with nullopt, unsets) an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::optional<QString>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};

// Polls the condition (processing Qt events meanwhile) until it holds or the deadline passes.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds deadline = std::chrono::milliseconds(10000));

// The test helper program (built beside the test binaries).
[[nodiscard]] QString HelperPath();

// Writes a shell script with the execute bit.
void WriteScript(const QString& path, const QByteArray& body);

} // namespace TestSupport
