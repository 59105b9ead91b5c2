#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmor {

// Read-only resources shipped with the application, looked up by name and extension.
// The default bundle is compiled in (":/bundle"); tests point it at a fixture folder.
class Bundle {
public:
    explicit Bundle(QString root) : root_(std::move(root)) {}

    // Path of "name.ext" when the bundle has it.
    std::optional<QString> url(const QString& name, const QString& extension) const;
    std::optional<QByteArray> data(const QString& name, const QString& extension) const;
    // Every resource with the extension, in any folder, sorted by path.
    QStringList urls(const QString& extension) const;

    const QString& root() const { return root_; }

    static Bundle main();
    // Points Bundle::main() at another folder; an empty root restores the compiled-in one.
    static void setMainRoot(const QString& root);

private:
    QString root_;
};

} // namespace velmor
